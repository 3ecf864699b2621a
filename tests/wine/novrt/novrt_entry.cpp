// The double's entry point: nothing to set up, every export is a forwarder.
#include <windows.h>

extern "C" BOOL WINAPI NovrtEntry(HINSTANCE /*module*/, DWORD /*reason*/, LPVOID /*reserved*/) {
  return TRUE;
}
