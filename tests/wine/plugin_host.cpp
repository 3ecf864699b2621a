// The test host: load order, entry calls and the two in-process patches (see plugin_host.h).
#include "tests/wine/plugin_host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <set>

#include "sim/host_model.h"

namespace plugin_host {
namespace {

// E9 xxxxxxxx: JMP +5+xxxxxxxx, written over a routine's first five bytes.
constexpr size_t kJumpSize = 5;
constexpr unsigned char kJumpOpcode = 0xE9;

struct Patch {
  unsigned char* at = nullptr;
  unsigned char original[kJumpSize] = {};
  unsigned char jump[kJumpSize] = {};
};

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "plugin_host: %s (error %lu)\n", what, GetLastError());
  std::fflush(stderr);
  std::abort();
}

void WriteCode(unsigned char* at, const unsigned char* bytes) {
  DWORD former = 0;
  if (!VirtualProtect(at, kJumpSize, PAGE_EXECUTE_READWRITE, &former)) {
    Fail("VirtualProtect refused to open a routine for patching");
  }
  std::memcpy(at, bytes, kJumpSize);
  DWORD ignored = 0;
  VirtualProtect(at, kJumpSize, former, &ignored);
  FlushInstructionCache(GetCurrentProcess(), at, kJumpSize);
}

void Prepare(Patch& patch, void* routine, const void* recorder) {
  patch.at = static_cast<unsigned char*>(routine);
  std::memcpy(patch.original, patch.at, kJumpSize);
  const int32_t displacement = static_cast<int32_t>(
      reinterpret_cast<uintptr_t>(recorder) - (reinterpret_cast<uintptr_t>(patch.at) + kJumpSize));
  patch.jump[0] = kJumpOpcode;
  std::memcpy(patch.jump + 1, &displacement, sizeof displacement);
}

// Recorder state: process-wide, like the patches.
struct Recorder {
  bool installed = false;
  Patch messageBox;
  Patch getProcAddress;
  std::vector<MessageBoxCall> boxes;
  std::deque<int> answers;
  int defaultAnswer = kAnswerAbort;
  std::vector<LookupCall> lookups;
  std::set<unsigned> hidden;
  bool hostActive = false;
};

Recorder& State() {
  static Recorder* recorder = new Recorder();
  return *recorder;
}

std::string TextOrEmpty(const char* text) { return text != nullptr ? std::string(text) : ""; }

bool IsOrdinal(LPCSTR name) { return (reinterpret_cast<uintptr_t>(name) >> 16) == 0; }

HMODULE ModuleHolding(const void* address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCSTR>(address), &module)) {
    return nullptr;
  }
  return module;
}

FARPROC CallRealGetProcAddress(HMODULE module, LPCSTR name) {
  Recorder& state = State();
  if (!state.installed) return GetProcAddress(module, name);
  WriteCode(state.getProcAddress.at, state.getProcAddress.original);
  const FARPROC answer = GetProcAddress(module, name);
  const DWORD error = GetLastError();
  WriteCode(state.getProcAddress.at, state.getProcAddress.jump);
  SetLastError(error);
  return answer;
}

int WINAPI MessageBoxRecorder(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
  Recorder& state = State();
  MessageBoxCall call;
  call.owner = owner;
  call.text = TextOrEmpty(text);
  call.caption = TextOrEmpty(caption);
  call.style = style;
  call.answer = state.defaultAnswer;
  if (!state.answers.empty()) {
    call.answer = state.answers.front();
    state.answers.pop_front();
  }
  state.boxes.push_back(call);
  return call.answer;
}

FARPROC WINAPI GetProcAddressRecorder(HMODULE module, LPCSTR name) {
  // Reached by the patched jump, so the return address is the caller's of GetProcAddress.
  const void* caller = __builtin_return_address(0);
  Recorder& state = State();
  LookupCall call;
  call.module = module;
  call.byOrdinal = IsOrdinal(name);
  if (call.byOrdinal) {
    call.ordinal = static_cast<unsigned>(reinterpret_cast<uintptr_t>(name));
  } else {
    call.name = TextOrEmpty(name);
  }
  call.callerModule = ModuleHolding(caller);
  const HMODULE zefira = GetModuleHandleA("ZEFIRA.dll");
  call.inHostLibrary = zefira != nullptr && module == zefira;
  if (call.inHostLibrary && call.byOrdinal && state.hidden.count(call.ordinal) != 0) {
    state.lookups.push_back(call);
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  call.answer = CallRealGetProcAddress(module, name);
  const DWORD error = GetLastError();
  state.lookups.push_back(call);
  SetLastError(error);
  return call.answer;
}

void InstallPatches() {
  Recorder& state = State();
  if (state.installed) return;
  HMODULE user32 = LoadLibraryA("user32.dll");
  HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  if (user32 == nullptr || kernel32 == nullptr) Fail("user32 or kernel32 is not available");
  // Looked up through kernel32 so that a forwarded export lands on the routine that a
  // plug-in's import of kernel32!GetProcAddress is bound to.
  FARPROC messageBox = GetProcAddress(user32, "MessageBoxA");
  FARPROC getProcAddress = GetProcAddress(kernel32, "GetProcAddress");
  if (messageBox == nullptr || getProcAddress == nullptr) Fail("no routine to patch");
  Prepare(state.messageBox, reinterpret_cast<void*>(messageBox),
          reinterpret_cast<const void*>(&MessageBoxRecorder));
  Prepare(state.getProcAddress, reinterpret_cast<void*>(getProcAddress),
          reinterpret_cast<const void*>(&GetProcAddressRecorder));
  WriteCode(state.messageBox.at, state.messageBox.jump);
  WriteCode(state.getProcAddress.at, state.getProcAddress.jump);
  state.installed = true;
}

// The calling thread's translator goes back to none. The runtime exports the setter only under
// its C++ name here, so it is looked up by that name.
void ClearSeTranslator() {
  HMODULE runtime = GetModuleHandleA("msvcrt.dll");
  if (runtime == nullptr) return;
  typedef void*(__cdecl * SetTranslator)(void*);
  auto set = reinterpret_cast<SetTranslator>(reinterpret_cast<void*>(CallRealGetProcAddress(
      runtime, "?_set_se_translator@@YAP6AXIPAU_EXCEPTION_POINTERS@@@ZP6AXI0@Z@Z")));
  if (set == nullptr) {
    set = reinterpret_cast<SetTranslator>(
        reinterpret_cast<void*>(CallRealGetProcAddress(runtime, "_set_se_translator")));
  }
  if (set != nullptr) set(nullptr);
}

}  // namespace

FARPROC RealGetProcAddress(HMODULE module, LPCSTR name) {
  return CallRealGetProcAddress(module, name);
}

const void* PatchedGetProcAddress() {
  InstallPatches();
  return State().getProcAddress.at;
}

const void* PatchedMessageBoxA() {
  InstallPatches();
  return State().messageBox.at;
}

const void* ImportedAddress(HMODULE module, const char* dll, const char* name) {
  if (module == nullptr) return nullptr;
  const auto* base = reinterpret_cast<const unsigned char*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (directory.VirtualAddress == 0) return nullptr;
  for (const auto* import =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
       import->Name != 0; ++import) {
    if (_stricmp(reinterpret_cast<const char*>(base + import->Name), dll) != 0) continue;
    const DWORD lookupRva =
        import->OriginalFirstThunk != 0 ? import->OriginalFirstThunk : import->FirstThunk;
    const auto* lookup = reinterpret_cast<const IMAGE_THUNK_DATA32*>(base + lookupRva);
    const auto* bound = reinterpret_cast<const IMAGE_THUNK_DATA32*>(base + import->FirstThunk);
    for (; lookup->u1.AddressOfData != 0; ++lookup, ++bound) {
      if (IMAGE_SNAP_BY_ORDINAL32(lookup->u1.Ordinal)) continue;
      const auto* byName =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + lookup->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) == 0) {
        return reinterpret_cast<const void*>(static_cast<uintptr_t>(bound->u1.Function));
      }
    }
  }
  return nullptr;
}

PluginHost::PluginHost() {
  if (State().hostActive) Fail("one PluginHost at a time");
  InstallPatches();
  State().hostActive = true;
  Reset();
}

PluginHost::~PluginHost() {
  Unload();
  Reset();
  State().hostActive = false;
}

void PluginHost::SetMessageBoxAnswers(std::vector<int> answers) {
  State().answers.assign(answers.begin(), answers.end());
}
void PluginHost::SetDefaultMessageBoxAnswer(int answer) { State().defaultAnswer = answer; }
void PluginHost::HideHostOrdinal(unsigned ordinal) { State().hidden.insert(ordinal); }
void PluginHost::ShowHostOrdinal(unsigned ordinal) { State().hidden.erase(ordinal); }

bool PluginHost::Load(const std::string& path) {
  if (plugin_ != nullptr) Fail("Load while a plug-in is loaded: Unload first");
  loadError_ = 0;
  if (zefira_ == nullptr) {
    zefira_ = LoadLibraryA("ZEFIRA.dll");
    if (zefira_ == nullptr) Fail("ZEFIRA.dll cannot be loaded: it belongs next to the test");
  }
  plugin_ = LoadLibraryA(path.c_str());
  if (plugin_ == nullptr) loadError_ = GetLastError();
  return plugin_ != nullptr;
}

FARPROC PluginHost::PluginEntry(unsigned ordinal) const {
  if (plugin_ == nullptr) return nullptr;
  return CallRealGetProcAddress(plugin_, MAKEINTRESOURCEA(ordinal));
}

namespace {
FARPROC RequiredEntry(const PluginHost& host, unsigned ordinal) {
  if (!host.Loaded()) Fail("a plug-in entry was called with no plug-in loaded");
  FARPROC entry = host.PluginEntry(ordinal);
  if (entry == nullptr) {
    std::fprintf(stderr, "plugin_host: the plug-in exports no ordinal %u\n", ordinal);
    Fail("missing plug-in entry");
  }
  return entry;
}
}  // namespace

int PluginHost::Attach(void* context, char* nameBuffer) {
  typedef int(__stdcall * AttachEntry)(void*, char*);
  auto entry = reinterpret_cast<AttachEntry>(reinterpret_cast<void*>(RequiredEntry(*this, 30001)));
  return entry(context, nameBuffer);
}

int PluginHost::Detach() {
  char name[64] = {};
  return Attach(nullptr, name);
}

int PluginHost::Report(int flag) {
  typedef int(__stdcall * ReportEntry)(int);
  auto entry = reinterpret_cast<ReportEntry>(reinterpret_cast<void*>(RequiredEntry(*this, 30008)));
  return entry(flag);
}

int PluginHost::Entry30009() {
  typedef int (*QueryEntry)();
  auto entry = reinterpret_cast<QueryEntry>(reinterpret_cast<void*>(RequiredEntry(*this, 30009)));
  return entry();
}

void PluginHost::Unload() {
  if (plugin_ != nullptr) {
    FreeLibrary(plugin_);
    plugin_ = nullptr;
    ClearSeTranslator();
  }
  if (zefira_ != nullptr) {
    FreeLibrary(zefira_);
    zefira_ = nullptr;
  }
}

void PluginHost::Reset() {
  Recorder& state = State();
  state.boxes.clear();
  state.answers.clear();
  state.defaultAnswer = kAnswerAbort;
  state.lookups.clear();
  state.hidden.clear();
  loadError_ = 0;
  sim::Host().Reset();
}

const std::vector<MessageBoxCall>& PluginHost::MessageBoxes() const { return State().boxes; }
const std::vector<LookupCall>& PluginHost::Lookups() const { return State().lookups; }

std::vector<unsigned> PluginHost::HostOrdinalLookups() const {
  std::vector<unsigned> ordinals;
  for (const LookupCall& call : State().lookups) {
    if (call.inHostLibrary && call.byOrdinal) ordinals.push_back(call.ordinal);
  }
  return ordinals;
}

void PluginHost::ClearRecordings() {
  State().boxes.clear();
  State().lookups.clear();
}

}  // namespace plugin_host
