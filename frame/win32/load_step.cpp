// The load step and the library's entry point.
//
// The load step runs on process attach before the runtime initialises itself (before its
// pseudo-relocations, start-up initializers and constructors): it calls platform functions
// only and touches no data the runtime has yet to set up.
#include <cstring>

#include "frame/win32/frame_win32.h"
#include "host/host_entries.h"
#include "host/module_record.h"

// The delay-load mechanism reads this hook afresh before each notification. Its first value,
// stub 2, answers 0 to everything, which leaves delay-loading unchanged; being a constant, it
// is in place before any code of the library runs.
PfnDliHook __pfnDliNotifyHook2 = &FallbackStub2;

// The runtime's own library entry (dllcrt2.o).
extern "C" BOOL WINAPI DllMainCRTStartup(HANDLE module, DWORD reason, LPVOID reserved);

void LocateHostLibrary() {
  if (g_moduleRecord.hostLibrary != nullptr) return;
  // Present already: the platform bound ZEFIRA's ordinal 30005 before any code here ran.
  const HMODULE host = GetModuleHandleA(kHostLibraryName);
  g_moduleRecord.hostLibrary = host;
  if (host == nullptr) return;
  // Null when the host has no hook: delay-loading then runs without notifications.
  __pfnDliNotifyHook2 =
      FunctionCast<PfnDliHook>(GetProcAddress(host, MAKEINTRESOURCEA(kOrdHostDelayLoadHook)));
}

extern "C" BOOL WINAPI PluginLoadStep(HINSTANCE module, DWORD reason, LPVOID /*reserved*/) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  g_moduleRecord.module = module;
  if (GetModuleFileNameA(module, g_moduleRecord.path, kModulePathSize) == 0) {
    std::memset(g_moduleRecord.path, 0, sizeof g_moduleRecord.path);
  }
  // A path cut at the buffer's end is still terminated (older systems leave it open).
  g_moduleRecord.path[kModulePathSize - 1] = '\0';
  LocateHostLibrary();
  ApplyRuntimeAdjustments();
  return TRUE;
}

extern "C" BOOL WINAPI PluginLibraryEntry(HINSTANCE module, DWORD reason, LPVOID reserved) {
  PluginLoadStep(module, reason, reserved);
  return DllMainCRTStartup(module, reason, reserved);
}
