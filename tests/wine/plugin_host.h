// The test host: loads a plug-in DLL the way the host program does and watches the two platform
// calls a test must observe from outside the plug-in.
//
// Loading: LoadLibraryA("ZEFIRA.dll") first, then LoadLibraryA(plug-in path); entries 30001,
// 30008 and 30009 are then looked up by ordinal and called. The simulated host behind ZEFIRA.dll
// is sim::Host() (hostsim.dll), shared with the test.
//
// Watching: before the first load, the first five bytes of user32!MessageBoxA and of
// kernel32!GetProcAddress in this process become a jump (E9 rel32) to a recorder, so that calls
// made while the plug-in loads are caught as well. The MessageBoxA recorder never shows a box: it
// answers from a script. The GetProcAddress recorder answers null for the ZEFIRA ordinals a test
// hides and otherwise calls the real routine (its five bytes put back around the call). Tests
// are single-threaded; so is this.
//
// One PluginHost at a time. A test may load, unload and load again in one process; the
// destructor unloads and resets everything, the simulated host included.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace plugin_host {

// Answers of the platform message box (its IDABORT .. IDIGNORE).
enum : int { kAnswerAbort = IDABORT, kAnswerRetry = IDRETRY, kAnswerIgnore = IDIGNORE };

// One MessageBoxA call: the bytes of its text and caption (null recorded as ""), its style.
struct MessageBoxCall {
  HWND owner = nullptr;
  std::string text;
  std::string caption;
  unsigned style = 0;
  int answer = 0;
};

// One GetProcAddress call made in this process while the recorder is in place (the test host's
// own lookups of the plug-in's entries are not recorded).
struct LookupCall {
  HMODULE module = nullptr;
  bool inHostLibrary = false;  // module was ZEFIRA.dll when the call was made
  bool byOrdinal = false;
  unsigned ordinal = 0;            // when byOrdinal
  std::string name;                // otherwise
  HMODULE callerModule = nullptr;  // the module holding the return address; null if none
  FARPROC answer = nullptr;
};

class PluginHost {
 public:
  PluginHost();   // puts the patches in place (once per process) and resets everything
  ~PluginHost();  // Unload() and Reset()
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  // ---- scripting ---------------------------------------------------------------------------
  // Message box answers, used in order; when they run out every box gets the default.
  void SetMessageBoxAnswers(std::vector<int> answers);
  void SetDefaultMessageBoxAnswer(int answer);  // kAnswerAbort until changed
  // GetProcAddress(ZEFIRA, ordinal) answers null (error 127) for a hidden ordinal, as a host
  // that lacks the entry would. 30007 may be hidden as well as any entry of the table.
  void HideHostOrdinal(unsigned ordinal);
  void ShowHostOrdinal(unsigned ordinal);

  // ---- loading and the plug-in's entries -------------------------------------------------
  // LoadLibraryA("ZEFIRA.dll"), then LoadLibraryA(path). True when the plug-in loaded; false
  // otherwise with LoadError() holding GetLastError() of the failed load.
  bool Load(const std::string& path);
  bool Loaded() const { return plugin_ != nullptr; }
  HMODULE Plugin() const { return plugin_; }
  HMODULE Zefira() const { return zefira_; }
  DWORD LoadError() const { return loadError_; }

  // 30001 (stdcall: context, name buffer): attach with a context, detach with null.
  int Attach(void* context, char* nameBuffer);
  int Detach();
  int Report(int flag);  // 30008 (stdcall)
  int Entry30009();      // 30009 (no arguments)
  // The plug-in's export by ordinal, looked up without being recorded; null when absent.
  FARPROC PluginEntry(unsigned ordinal) const;

  // FreeLibrary of the plug-in and of the test host's ZEFIRA reference; clears the calling
  // thread's structured-exception translator, which may point into the unloaded plug-in.
  void Unload();
  // Clears recordings and scripts (hidden ordinals included) and resets sim::Host().
  void Reset();

  // ---- recordings --------------------------------------------------------------------------
  const std::vector<MessageBoxCall>& MessageBoxes() const;
  const std::vector<LookupCall>& Lookups() const;
  // The ordinals looked up in ZEFIRA, in order (what a binding walk asked for).
  std::vector<unsigned> HostOrdinalLookups() const;
  void ClearRecordings();

 private:
  HMODULE zefira_ = nullptr;
  HMODULE plugin_ = nullptr;
  DWORD loadError_ = 0;
};

// GetProcAddress as the platform answers it, bypassing the recorder and never recorded.
FARPROC RealGetProcAddress(HMODULE module, LPCSTR name);
// Where the GetProcAddress patch was written: kernel32's GetProcAddress as this process sees it.
const void* PatchedGetProcAddress();
// Where the MessageBoxA patch was written.
const void* PatchedMessageBoxA();
// The address bound in `module`'s import table for `dll`!`name` (imported by name); null when
// the module does not import it that way. Compares dll names without regard to case.
const void* ImportedAddress(HMODULE module, const char* dll, const char* name);

}  // namespace plugin_host
