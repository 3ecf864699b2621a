// ZEFIRA.dll, the host library double: it exports the host's ordinals by number only, nothing
// else, and each ordinal reaches the simulated host as that entry, removing its own arguments
// exactly when the host's entry does.
#include <windows.h>
// delayimp.h needs the platform's types first.
#include <delayimp.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "host/host_entries.h"
#include "host/host_types.h"
#include "sim/host_model.h"
#include "tests/wine/measured_call.h"

namespace {

// The host's ordinals: the 27 entries the plug-in binds, the translator and the delay-load hook.
const std::set<unsigned> kHostOrdinals = {
    52028, 52029, 52158, 38417, 21285, 21287, 52224, 52178, 52256, 52023,
    52030, 52265, 52266, 30204, 52434, 52534, 52305, 52228, 52230, 52232,
    52234, 52465, 52289, 52541, 52286, 52451, 52412, 30005, 30007,
};

uint32_t Word(const void* address) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(address));
}
void PushDouble(std::vector<uint32_t>& words, double value) {
  uint32_t halves[2];
  std::memcpy(halves, &value, sizeof halves);
  words.push_back(halves[0]);
  words.push_back(halves[1]);
}

class ZefiraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zefira_ = LoadLibraryA("ZEFIRA.dll");
    ASSERT_NE(zefira_, nullptr) << "ZEFIRA.dll belongs next to the test program";
    sim::Host().Reset();
    CreateDirectoryA("zefira_exports_files", nullptr);
    sim::Host().SetFileDirectory("zefira_exports_files");
  }
  void TearDown() override {
    sim::Host().Reset();
    if (zefira_ != nullptr) FreeLibrary(zefira_);
  }
  HMODULE zefira_ = nullptr;
};

TEST_F(ZefiraTest, ExportsExactlyTheHostOrdinalsAndNoNames) {
  const auto* base = reinterpret_cast<const unsigned char*>(zefira_);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  ASSERT_NE(directory.VirtualAddress, 0u);
  const auto* exports =
      reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
  EXPECT_EQ(exports->NumberOfNames, 0u) << "ordinals only";
  EXPECT_STREQ(reinterpret_cast<const char*>(base + exports->Name), "ZEFIRA.dll");

  const auto* functions = reinterpret_cast<const DWORD*>(base + exports->AddressOfFunctions);
  std::set<unsigned> exported;
  for (DWORD i = 0; i < exports->NumberOfFunctions; ++i) {
    if (functions[i] == 0) continue;
    exported.insert(exports->Base + i);
    const bool forwarder = functions[i] >= directory.VirtualAddress &&
                           functions[i] < directory.VirtualAddress + directory.Size;
    EXPECT_FALSE(forwarder) << "ordinal " << exports->Base + i << " is a forwarder";
  }
  EXPECT_EQ(exported, kHostOrdinals);
  EXPECT_EQ(GetProcAddress(zefira_, "HostMessage@12"), nullptr);
  EXPECT_EQ(GetProcAddress(zefira_, "HostMessage"), nullptr);
}

// Buffers the calls below point into.
struct Scratch {
  char title[8] = "Uwaga";
  char text[8] = "tekst";
  char format[16] = "n=%d";
  char converted[8] = "\x86\x92\x98 a";  // ąłŚ a (Mazovia)
  int32_t dialogValue = 0x00010000;
  char today[12] = {};
  uint16_t vatCode = 5;
  int32_t settingValue = 5;
  void* block = nullptr;
  HostFile file = nullptr;
  DelayLoadInfo delayInfo = {};
};

struct EntryCase {
  unsigned ordinal;
  unsigned recordedOrdinal;  // what the model records the call as
  int removedBytes;          // 0: the caller removes them (cdecl)
  bool returnsDouble;
  std::function<std::vector<uint32_t>(Scratch&)> arguments;
  std::function<void(Scratch&, const sim::Call&, uint32_t eax, double result)> check;
};

std::vector<EntryCase> EntryCases() {
  using V = std::vector<uint32_t>;
  using I = std::vector<int64_t>;
  using T = std::vector<std::string>;
  return {
      {52028, kOrdHostMessage, 12, false,
       [](Scratch& s) {
         return V{Word(s.title), Word(s.text), 0x5001};
       },
       [](Scratch&, const sim::Call& c, uint32_t, double) {
         EXPECT_EQ(c.texts, (T{"Uwaga", "tekst"}));
         EXPECT_EQ(c.ints[2], 0x5001);
       }},
      {52029, kOrdHostMessageF, 0, false,
       [](Scratch& s) {
         return V{Word(s.title), Word(s.format), 0xC001, 42};
       },
       [](Scratch&, const sim::Call& c, uint32_t, double) {
         EXPECT_EQ(c.texts, (T{"Uwaga", "n=%d", "n=42"}));
       }},
      {52158, kOrdHostConvertText, 16, false,
       [](Scratch& s) {
         return V{Word(s.converted), Word(s.converted), 1, 3};
       },
       [](Scratch& s, const sim::Call& c, uint32_t, double) {
         EXPECT_EQ(std::string(s.converted), sim::Utf8ToWindows1250("ąłŚ a"));
         EXPECT_EQ(c.texts, (T{sim::Utf8ToMazovia("ąłŚ a")}));
       }},
      {38417, kOrdUnused38417, 0, false, [](Scratch&) { return V{}; },
       [](Scratch&, const sim::Call&, uint32_t eax, double) { EXPECT_EQ(eax, 0u); }},
      {21285, kOrdHostCalloc, 0, false,
       [](Scratch&) {
         return V{1, 205825};
       },
       [](Scratch&, const sim::Call& c, uint32_t eax, double) {
         EXPECT_EQ(c.ints, (I{1, 205825}));
         ASSERT_NE(eax, 0u);
         EXPECT_EQ(sim::Host().OutstandingBlocks(), 1);
         sim::Host().Free(reinterpret_cast<void*>(eax));
       }},
      {21287, kOrdHostFree, 0, false,
       [](Scratch& s) {
         s.block = sim::Host().Calloc(1, 8);
         return V{Word(s.block)};
       },
       [](Scratch&, const sim::Call&, uint32_t, double) {
         EXPECT_EQ(sim::Host().OutstandingBlocks(), 0);
       }},
      {52224, kOrdHostProfile, 0, false,
       [](Scratch& s) {
         // The fifth argument is a va_list: here, the address of the one int value.
         return V{2, Word(kPluginName), Word("Pytaj"), Word("%d"), Word(&s.settingValue)};
       },
       [](Scratch&, const sim::Call& c, uint32_t eax, double) {
         EXPECT_EQ(eax, 0u);
         EXPECT_EQ(c.ints[4], 5);
         EXPECT_EQ(sim::Host().Setting(kPluginName, "Pytaj"), std::optional<std::string>("5"));
       }},
      {52178, kOrdHostRoundToInt, 8, false,
       [](Scratch&) {
         V words;
         PushDouble(words, -2.5);
         return words;
       },
       [](Scratch&, const sim::Call& c, uint32_t eax, double) {
         EXPECT_EQ(c.doubles, std::vector<double>{-2.5});
         EXPECT_EQ(static_cast<int32_t>(eax), -3);
       }},
      {52256, kOrdHostTableByNumber, 4, false, [](Scratch&) { return V{112}; },
       [](Scratch&, const sim::Call&, uint32_t eax, double) {
         EXPECT_EQ(eax, Word(sim::Host().Table(kTableDocument)));
       }},
      {52023, kOrdHostShowDialog, 0, false,
       [](Scratch& s) {
         sim::Host().SetDialogResult(int16_t{1});
         return V{1194, Word(&s.dialogValue), 0, Word(s.text)};
       },
       [](Scratch& s, const sim::Call& c, uint32_t, double) {
         EXPECT_EQ(c.ints[4], 0) << "value seen before the dialog";
         EXPECT_EQ(s.dialogValue, 0x00010001);
       }},
      {52030, kOrdHostErrorMessage, 4, false, [](Scratch& s) { return V{Word(s.text)}; },
       [](Scratch&, const sim::Call& c, uint32_t, double) { EXPECT_EQ(c.texts, T{"tekst"}); }},
      {52265, kOrdHostCurrentWord, 0, false, [](Scratch&) { return V{}; },
       [](Scratch&, const sim::Call&, uint32_t eax, double) {
         *reinterpret_cast<int16_t*>(eax) = 77;
         EXPECT_EQ(sim::Host().ContextWord(), 77);
       }},
      {52266, kOrdHostCurrentLong, 0, false, [](Scratch&) { return V{}; },
       [](Scratch&, const sim::Call&, uint32_t eax, double) {
         *reinterpret_cast<int32_t*>(eax) = -25536;
         EXPECT_EQ(sim::Host().ContextLong(), -25536);
       }},
      {30204, kOrdHostTodayText, 4, false, [](Scratch& s) { return V{Word(s.today)}; },
       [](Scratch& s, const sim::Call&, uint32_t, double) { EXPECT_STREQ(s.today, "2026-12-11"); }},
      {52434, kOrdHostQuietMode, 4, false, [](Scratch&) { return V{1}; },
       [](Scratch&, const sim::Call& c, uint32_t, double) { EXPECT_EQ(c.ints, I{1}); }},
      {52534, kOrdHostFileOpen, 20, false,
       [](Scratch&) {
         sim::Host().FailFileOpen(true);
         return V{Word("f.txt"), Word("wt"), 64, 0, 0xFFFFFFFFu};
       },
       [](Scratch&, const sim::Call& c, uint32_t eax, double) {
         EXPECT_EQ(eax, 0u);
         EXPECT_EQ(c.texts, (T{"f.txt", "wt"}));
         EXPECT_EQ(c.ints[4], -1);
       }},
      {52305, kOrdHostFileClose, 4, false,
       [](Scratch& s) {
         s.file = sim::Host().FileOpen("close.txt", "wt", 64, 0, -1);
         return V{Word(s.file)};
       },
       [](Scratch& s, const sim::Call& c, uint32_t eax, double) {
         EXPECT_EQ(eax, 0u);
         EXPECT_EQ(c.ints[0], sim::AddressValue(s.file));
       }},
      {52228, kOrdHostProgressOpen, 4, false, [](Scratch&) { return V{812}; },
       [](Scratch&, const sim::Call& c, uint32_t, double) { EXPECT_EQ(c.ints, I{812}); }},
      {52230, kOrdHostProgressClose, 0, false, [](Scratch&) { return V{}; },
       [](Scratch&, const sim::Call& c, uint32_t, double) { EXPECT_TRUE(c.ints.empty()); }},
      {52232, kOrdHostProgressStep, 8, false,
       [](Scratch&) {
         return V{10, 25};
       },
       [](Scratch&, const sim::Call& c, uint32_t, double) {
         EXPECT_EQ(c.ints, (I{10, 25}));
       }},
      {52234, kOrdHostProgressPoll, 0, false, [](Scratch&) { return V{}; },
       [](Scratch&, const sim::Call& c, uint32_t, double) { EXPECT_TRUE(c.ints.empty()); }},
      {52465, kOrdHostTablePrepare, 8, false,
       [](Scratch&) {
         return V{Word(sim::Host().Table(kTableK9)), 255};
       },
       [](Scratch&, const sim::Call& c, uint32_t, double) {
         EXPECT_EQ(c.ints, (I{sim::AddressValue(sim::Host().Table(kTableK9)), 255}));
       }},
      {52289, kOrdHostGrossPrice, 20, true,
       [](Scratch&) {
         V words{2, 5};
         PushDouble(words, 1000000.0);
         words.push_back(100);
         return words;
       },
       [](Scratch&, const sim::Call& c, uint32_t, double result) {
         EXPECT_EQ(c.ints, (I{2, 5, 100}));
         EXPECT_EQ(c.doubles, std::vector<double>{1000000.0});
         EXPECT_DOUBLE_EQ(result, 1230000.0);
       }},
      {52541, kOrdHostFilePrintf, 0, false,
       [](Scratch& s) {
         s.file = sim::Host().FileOpen("printf.txt", "wb", 64, 0, -1);
         return V{Word(s.file), Word("%s|%d"), Word("a"), 7};
       },
       [](Scratch& s, const sim::Call& c, uint32_t, double) {
         EXPECT_EQ(c.texts, (T{"%s|%d", "a|7"}));
         sim::Host().FileClose(s.file);
         EXPECT_EQ(sim::Host().FileBytes("printf.txt"), "a|7");
       }},
      {52286, kOrdHostReadRecord, 20, false,
       [](Scratch&) {
         return V{1, 2, 3, 0, 4};
       },
       [](Scratch&, const sim::Call& c, uint32_t eax, double) {
         EXPECT_EQ(c.ints, (I{1, 2, 3, 0, 4}));
         EXPECT_EQ(eax, 1u);
       }},
      {52451, kOrdHostVatText, 16, false,
       [](Scratch& s) {
         return V{0, 0, Word(&s.vatCode), 'S'};
       },
       [](Scratch&, const sim::Call& c, uint32_t eax, double) {
         EXPECT_EQ(c.ints[4], 5);
         EXPECT_STREQ(reinterpret_cast<const char*>(eax), "23");
       }},
      {52412, kOrdHostFindRecord, 8, false,
       [](Scratch&) {
         sim::Host().SetFindResult(0x10000);
         return V{0xFFFFFFFFu, 0};
       },
       [](Scratch&, const sim::Call& c, uint32_t eax, double) {
         EXPECT_EQ(c.ints, (I{-1, 0}));
         EXPECT_EQ(eax, 0x10000u);
       }},
      {30005, kOrdHostSeTranslator, 0, false,
       [](Scratch& s) {
         return V{0xC0000005u, Word(&s)};
       },
       [](Scratch& s, const sim::Call& c, uint32_t, double) {
         EXPECT_EQ(c.ints, (I{int64_t{0xC0000005u}, sim::AddressValue(&s)}));
       }},
      {30007, kOrdHostDelayLoadHook, 8, false,
       [](Scratch& s) {
         s.delayInfo.cb = sizeof s.delayInfo;
         s.delayInfo.szDll = "NOVRT.dll";
         s.delayInfo.dlp.fImportByName = TRUE;
         s.delayInfo.dlp.szProcName = "GetFileInformationByHandleEx";
         sim::Host().SetDelayLoadAnswer(2, 0x1234);
         return V{2, Word(&s.delayInfo)};
       },
       [](Scratch&, const sim::Call& c, uint32_t eax, double) {
         EXPECT_EQ(c.ints, (I{2, 0}));
         EXPECT_EQ(c.texts, (T{"NOVRT.dll", "GetFileInformationByHandleEx"}));
         EXPECT_EQ(eax, 0x1234u);
       }},
  };
}

TEST_F(ZefiraTest, EveryOrdinalReachesItsEntryWithItsCallingConvention) {
  std::set<unsigned> covered;
  for (const EntryCase& entry : EntryCases()) {
    SCOPED_TRACE(entry.ordinal);
    covered.insert(entry.ordinal);
    sim::Host().Reset();
    sim::Host().SetFileDirectory("zefira_exports_files");
    Scratch scratch;
    const std::vector<uint32_t> words = entry.arguments(scratch);
    const void* routine =
        reinterpret_cast<const void*>(GetProcAddress(zefira_, MAKEINTRESOURCEA(entry.ordinal)));
    ASSERT_NE(routine, nullptr);
    sim::Host().ClearCalls();

    CallOutcome outcome = {};
    MeasuredCall(routine, words.data(), static_cast<int>(words.size()), entry.returnsDouble ? 1 : 0,
                 &outcome);
    const int removed = static_cast<int>(4 * words.size()) - outcome.bytesLeft;
    const uint32_t eax = outcome.eax;
    const double result = outcome.result;

    EXPECT_EQ(removed, entry.removedBytes);
    const std::vector<sim::Call> calls = sim::Host().Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].ordinal, entry.recordedOrdinal);
    entry.check(scratch, calls[0], eax, result);
  }
  EXPECT_EQ(covered, kHostOrdinals) << "every export has a case";
}

// The hook's answers as scripted per notification, a named service winning over "any".
TEST_F(ZefiraTest, DelayLoadHookAnswersPerNotificationAndService) {
  typedef FARPROC(__stdcall * Hook)(unsigned, PDelayLoadInfo);
  auto hook = reinterpret_cast<Hook>(
      reinterpret_cast<void*>(GetProcAddress(zefira_, MAKEINTRESOURCEA(30007))));
  ASSERT_NE(hook, nullptr);
  sim::Host().SetDelayLoadAnswer(1, 0x10000000);
  sim::Host().SetDelayLoadAnswer(2, 0x2000);
  sim::Host().SetDelayLoadAnswer(2, 0x3000, "GetFileInformationByHandleEx");

  struct Case {
    unsigned notification;
    const char* service;  // null: by ordinal 12
    uintptr_t expected;
    std::string recordedService;
  };
  const Case cases[] = {
      {0, "GetConsoleMode", 0, "GetConsoleMode"},
      {1, "GetConsoleMode", 0x10000000, "GetConsoleMode"},
      {2, "GetConsoleMode", 0x2000, "GetConsoleMode"},
      {2, "GetFileInformationByHandleEx", 0x3000, "GetFileInformationByHandleEx"},
      {2, nullptr, 0x2000, "#12"},
      {5, "GetConsoleMode", 0, "GetConsoleMode"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.recordedService + " " + std::to_string(c.notification));
    DelayLoadInfo info = {};
    info.cb = sizeof info;
    info.szDll = "NOVRT.dll";
    info.dlp.fImportByName = c.service != nullptr;
    if (c.service != nullptr) {
      info.dlp.szProcName = c.service;
    } else {
      info.dlp.dwOrdinal = 12;
    }
    sim::Host().ClearCalls();
    EXPECT_EQ(reinterpret_cast<uintptr_t>(hook(c.notification, &info)), c.expected);
    const std::vector<sim::Call> calls = sim::Host().CallsTo(kOrdHostDelayLoadHook);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].ints, (std::vector<int64_t>{c.notification, c.service ? 0 : 12}));
    EXPECT_EQ(calls[0].texts, (std::vector<std::string>{"NOVRT.dll", c.recordedService}));
  }
}

// The file the host writes in text mode gets CRLF line ends from the C runtime.
TEST_F(ZefiraTest, TextModeFilesGetCarriageReturns) {
  typedef HostFile(__stdcall * Open)(const char*, const char*, int, int, int);
  typedef int(__cdecl * Printf)(HostFile, const char*, ...);
  typedef int(__stdcall * Close)(HostFile);
  auto open = reinterpret_cast<Open>(
      reinterpret_cast<void*>(GetProcAddress(zefira_, MAKEINTRESOURCEA(52534))));
  auto print = reinterpret_cast<Printf>(
      reinterpret_cast<void*>(GetProcAddress(zefira_, MAKEINTRESOURCEA(52541))));
  auto close = reinterpret_cast<Close>(
      reinterpret_cast<void*>(GetProcAddress(zefira_, MAKEINTRESOURCEA(52305))));
  HostFile file = open("crlf.txt", "wt", 64, 0, -1);
  ASSERT_NE(file, nullptr);
  print(file, "[Poz%02d]\nNazwa=%s\n", 1, "x");
  close(file);
  EXPECT_EQ(sim::Host().FileBytes("crlf.txt"), "[Poz01]\r\nNazwa=x\r\n");
}

}  // namespace
