// The three ZEFIRA ordinals that are not host entries of the plug-in's entry table: the
// structured-exception translator (30005), the delay-load notification hook (30007) and the
// entry the plug-in binds but never calls (38417). Each records its call in the model.
#include <windows.h>
// delayimp.h needs the platform's types first.
#include <delayimp.h>

#include "sim/host_model.h"

extern "C" {

void __cdecl HostSeTranslator(unsigned code, EXCEPTION_POINTERS* exceptionPointers) {
  sim::Host().SeTranslator(code, exceptionPointers);
}

FARPROC __stdcall HostDelayLoadHook(unsigned notification, PDelayLoadInfo info) {
  const char* library = info != nullptr ? info->szDll : nullptr;
  const char* name = nullptr;
  unsigned ordinal = 0;
  if (info != nullptr) {
    if (info->dlp.fImportByName) {
      name = info->dlp.szProcName;
    } else {
      ordinal = info->dlp.dwOrdinal;
    }
  }
  return reinterpret_cast<FARPROC>(sim::Host().DelayLoadHook(notification, library, name, ordinal));
}

int __stdcall HostUnused38417(void) { return sim::Host().Unused38417(); }

}  // extern "C"
