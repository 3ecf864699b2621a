// The load-time adjustments of the plug-in's runtime: formatted numbers never show a negative
// zero, and the runtime's file-information service comes from NOVRT.dll.
#include "export/digit_conversion.h"
#include "frame/negative_zero_filter.h"
#include "frame/win32/frame_win32.h"
#include "frame/win32/trampoline.h"

void* g_fileInformationContinuation = reinterpret_cast<void*>(&RuntimeFileInformation);

namespace {

template <typename Function>
void* CodeAddress(Function* routine) {
  return reinterpret_cast<void*>(routine);
}

}  // namespace

// Unpatched, the service finds the platform's GetFileInformationByHandleEx among the system's
// libraries at each use, and fails as "not implemented" where the system has none. It keeps
// the hot-patch prologue and is never inlined or cloned, so every call goes through its entry.
extern "C" __attribute__((ms_hook_prologue, noipa, used)) BOOL WINAPI RuntimeFileInformation(
    HANDLE file, FILE_INFO_BY_HANDLE_CLASS infoClass, LPVOID buffer, DWORD bufferSize) {
  typedef BOOL(WINAPI * Service)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
  const HMODULE system = GetModuleHandleA("kernel32.dll");
  const auto service = FunctionCast<Service>(
      system != nullptr ? GetProcAddress(system, "GetFileInformationByHandleEx") : nullptr);
  if (service == nullptr) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
  }
  return service(file, infoClass, buffer, bufferSize);
}

extern "C" int ApplyRuntimeAdjustments() {
  PatchRoutineEntry(CodeAddress(&ConvertDigits), reinterpret_cast<void**>(&g_digitContinuation),
                    CodeAddress(&NegativeZeroFilter));
  return PatchRoutineEntry(CodeAddress(&RuntimeFileInformation), &g_fileInformationContinuation,
                           CodeAddress(&NovrtGetFileInformationByHandleEx));
}
