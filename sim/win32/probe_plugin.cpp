// A tiny stand-in plug-in for testing the test host itself: it does at load what the real
// plug-in does (a static import of ZEFIRA's 30005, a GetProcAddress of a host ordinal through
// its kernel32 import, a platform message box when the ordinal is missing) and exports the
// three entries by ordinal.
#include <windows.h>

#include <cstring>

extern "C" {
// Bound by the loader from ZEFIRA.dll, ordinal 30005 (import library made from zefira.def).
void __cdecl HostSeTranslator(unsigned code, EXCEPTION_POINTERS* exceptionPointers);
}

namespace {

typedef int(__stdcall* HostMessageEntry)(const char*, const char*, int);

HostMessageEntry g_hostMessage = nullptr;
FARPROC g_tickCount = nullptr;
int g_boxAnswer = 0;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  g_hostMessage = reinterpret_cast<HostMessageEntry>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ZEFIRA"), reinterpret_cast<LPCSTR>(52028))));
  g_tickCount = GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount");
  if (g_hostMessage == nullptr) {
    g_boxAnswer = MessageBoxA(nullptr, "brak wpisu 52028", "probe_plugin", 0x2012);
    if (g_boxAnswer != IDIGNORE) return FALSE;
  }
  return TRUE;
}

extern "C" {

// 30001: copies the name; with a context, shows it through the host's 52028 entry.
int __stdcall ProbeAttach(void* context, char* nameBuffer) {
  if (nameBuffer != nullptr) std::memcpy(nameBuffer, "probe_plugin", sizeof "probe_plugin");
  if (context == nullptr) return 1;
  if (g_hostMessage != nullptr) g_hostMessage("probe", static_cast<const char*>(context), 1);
  return 0;
}

// 30008: passes the flag to the host's translator (30005) and answers it doubled.
int __stdcall ProbeReport(int flag) {
  HostSeTranslator(static_cast<unsigned>(flag), nullptr);
  return flag * 2;
}

// 30009: the answer of the load-time message box (0 when none was shown).
int ProbeQuery(void) { return g_boxAnswer; }

}  // extern "C"
