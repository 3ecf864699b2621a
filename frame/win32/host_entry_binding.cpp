// Binding the host entries by ordinal in the host library while the library loads, with the
// missing-entry box and the fallback stubs for an entry the host lacks.
#include "frame/fallback_rule.h"
#include "frame/missing_entry_text.h"
#include "frame/win32/frame_win32.h"
#include "host/host_entries.h"
#include "host/host_types.h"
#include "host/module_record.h"

bool g_ignoreAllMissingEntries = false;

namespace {

// MessageBoxA: task-modal, error icon, Abort / Retry / Ignore.
constexpr UINT kMissingEntryBoxStyle = MB_TASKMODAL | MB_ICONERROR | MB_ABORTRETRYIGNORE;
static_assert(kMissingEntryBoxStyle == 0x2012, "the box the host's users know");

HMODULE HostLibrary() { return static_cast<HMODULE>(g_moduleRecord.hostLibrary); }

FARPROC LookUp(uintptr_t entry) {
  const HMODULE host = HostLibrary();
  if (host == nullptr) return nullptr;
  return GetProcAddress(host, reinterpret_cast<LPCSTR>(entry));
}

// Whether the box may convert its texts through HostConvertText without jumping to nothing or
// recursing: a bound slot, or a lazy slot whose lookup will succeed. Without a conversion the
// texts are shown as composed (Mazovia).
bool CanConvertText() {
  const HostEntryRow* row = FindHostEntryRow(kOrdHostConvertText);
  if (row == nullptr) return false;
  const HostEntryTarget target = *row->slot;
  if (target == nullptr) return false;
  if (target == row->lazyEntry) return LookUp(kOrdHostConvertText) != nullptr;
  return true;
}

}  // namespace

const HostEntryRow* FindHostEntryRow(uint32_t ordinal) {
  for (const HostEntryRow* row = g_hostEntryRows; row != g_hostEntryRowsEnd; ++row) {
    if (row->ordinal == ordinal) return row;
  }
  return nullptr;
}

int RunHostEntryInitializers() {
  for (const HostEntryRow* row = g_hostEntryRows; row != g_hostEntryRowsEnd; ++row) {
    if (row->initializer() != 0) return -1;
  }
  return 0;
}

extern "C" void ResolveHostEntry(uintptr_t entry, HostEntryTarget* slot) {
  *slot = reinterpret_cast<HostEntryTarget>(LookUp(entry));
  if (*slot != nullptr) return;
  // The slot stays empty while the box is shown.
  if (ShowMissingEntryDialog(entry, nullptr) == 0) {
    *slot = nullptr;
    return;
  }
  PickFallbackStub(entry, slot);
}

extern "C" void PickFallbackStub(uintptr_t entry, HostEntryTarget* slot) {
  const int stub = FallbackStubNumber(entry);
  *slot = stub == kNoFallback ? nullptr : g_fallbackStubs[stub];
}

extern "C" int ShowMissingEntryDialog(uintptr_t entry, const char* moduleName) {
  if (g_ignoreAllMissingEntries) return 1;

  char modulePath[kModulePathSize];
  if (moduleName == nullptr) {
    if (GetModuleFileNameA(static_cast<HMODULE>(g_moduleRecord.module), modulePath,
                           sizeof modulePath) == 0) {
      moduleName = kUnknownModuleName;
    } else {
      modulePath[sizeof modulePath - 1] = '\0';
      moduleName = modulePath;
    }
  }
  char entryText[kMissingEntryTextSize];
  FormatEntryText(entryText, sizeof entryText, entry);
  char pluginName[kPluginNameSize];
  CopyPluginName(pluginName);

  char text[kMissingEntryTextSize];
  ComposeMissingEntryText(text, sizeof text, moduleName, entryText, pluginName);
  ReplaceMarkupBytes(text);
  char title[kMissingEntryTitleSize];
  size_t length = 0;
  for (; length + 1 < sizeof title && kMissingEntryTitle[length] != '\0'; ++length) {
    title[length] = kMissingEntryTitle[length];
  }
  title[length] = '\0';

  if (CanConvertText()) {
    HostConvertText(text, text, kCodeMazovia, kCodeWindows1250);
    HostConvertText(title, title, kCodeMazovia, kCodeWindows1250);
  }

  int answer;
  do {
    answer = MessageBoxA(nullptr, text, title, kMissingEntryBoxStyle);
  } while (answer == IDRETRY);
  if (answer != IDIGNORE) return 0;
  g_ignoreAllMissingEntries = true;
  return 1;
}
