// The Win32 frame's routines, shared between its files (and the probe DLL of the tests).
#pragma once

#include <windows.h>
// after windows.h
#include <delayimp.h>

#include <cstdint>

#include "frame/win32/host_entry_table.h"

// The host library's name as the load step finds it among the loaded modules.
inline constexpr char kHostLibraryName[] = "ZEFIRA";

// A looked-up routine as the function type it has.
template <typename Function>
inline Function FunctionCast(FARPROC routine) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(routine));
}

// ---- load step and entry points --------------------------------------------------------------
// The process-attach work before the runtime initialises itself; 1 on every notification.
extern "C" BOOL WINAPI PluginLoadStep(HINSTANCE module, DWORD reason, LPVOID reserved);
// Finds the loaded host library and takes its delay-load notification hook (once).
void LocateHostLibrary();
// The library's entry point: the load step, then the runtime's own library entry.
extern "C" BOOL WINAPI PluginLibraryEntry(HINSTANCE module, DWORD reason, LPVOID reserved);

// 30001, 30008, 30009.
extern "C" int WINAPI PluginAttach(const void* context, char* nameBuffer);
extern "C" int WINAPI PluginReport(int reportFlag);
extern "C" int PluginAnswerZero();

// ---- host entry binding ------------------------------------------------------------------------
// 1 to go on with a fallback (Ignore), 0 to stop (Abort). `moduleName` null: the plug-in's file.
extern "C" int ShowMissingEntryDialog(uintptr_t entry, const char* moduleName);
// Stores the entry's fallback stub, or null when it has none, into `slot`.
extern "C" void PickFallbackStub(uintptr_t entry, HostEntryTarget* slot);
// Set by the first Ignore; every later missing entry is then handled as Ignore without a box.
extern bool g_ignoreAllMissingEntries;
// g_fallbackStubs[n]: stub n, which answers 0 and removes n argument words.
extern "C" const HostEntryTarget g_fallbackStubs[];
// Stub 2, also the delay-load notification hook's value before the load step.
extern "C" FARPROC WINAPI FallbackStub2(unsigned notification, PDelayLoadInfo info);

// ---- runtime adjustments -----------------------------------------------------------------------
// The two load-time patches; the second patch's result.
extern "C" int ApplyRuntimeAdjustments();
// The runtime's file-information service (patched to NOVRT.dll's at load).
extern "C" BOOL WINAPI RuntimeFileInformation(HANDLE file, FILE_INFO_BY_HANDLE_CLASS infoClass,
                                              LPVOID buffer, DWORD bufferSize);
// Where patch 2 would continue: the service itself until patched. Nothing calls through it.
extern void* g_fileInformationContinuation;
// NOVRT.dll's GetFileInformationByHandleEx: a jump through its delay-import slot.
extern "C" BOOL WINAPI
NovrtGetFileInformationByHandleEx(HANDLE file, FILE_INFO_BY_HANDLE_CLASS infoClass, LPVOID buffer,
                                  DWORD bufferSize) __asm__("_GetFileInformationByHandleEx@16");

// Registers the host's structured-exception translator (ordinal 30005) for the calling thread.
void InstallHostSeTranslator();
// The registered routine: a jump to the host's 30005.
extern "C" void HostSeTranslatorForward(unsigned code, EXCEPTION_POINTERS* pointers);
