// The runtime calls DllMain after its own start-up (initializers and constructors). On process
// attach it binds the host entries; a failure fails the load of the library.
#include "frame/win32/frame_win32.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE /*module*/, DWORD reason, LPVOID /*reserved*/) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  return RunHostEntryInitializers() == 0 ? TRUE : FALSE;
}
