// Host entry binding and the load step, through the probe DLL (the plug-in's frame and core with
// their routines and records exported by name): entry rows and slots, lazy entries, load-time
// initializers, fallback stubs, and the module record and delay-load hook the load step sets.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/module_record.h"
#include "tests/wine/frame_test_support.h"
#include "tests/wine/measured_call.h"
#include "tests/wine/plugin_host.h"

namespace {

using plugin_host::kAnswerAbort;
using plugin_host::kAnswerIgnore;
using plugin_host::PluginHost;

// A row of the probe's host entry table (host_entry_table.S).
struct Row {
  uint32_t ordinal;
  void** slot;
  void* lazyEntry;
  void* initializer;
};

void ExpectRegistersKept(const CallOutcome& outcome) {
  EXPECT_EQ(outcome.ebx, kMarkerEbx);
  EXPECT_EQ(outcome.esi, kMarkerEsi);
  EXPECT_EQ(outcome.edi, kMarkerEdi);
}

uint32_t Word(const void* address) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(address));
}

class FrameBindingTest : public ::testing::Test {
 protected:
  void LoadProbe() {
    ASSERT_TRUE(host_.Load(frame_test::ProbePath())) << "error " << host_.LoadError();
  }
  void* Export(const char* name) {
    return reinterpret_cast<void*>(plugin_host::RealGetProcAddress(host_.Plugin(), name));
  }
  std::vector<Row> Rows() {
    const auto* first = static_cast<const Row*>(Export("g_hostEntryRows"));
    const auto* end = static_cast<const Row*>(Export("g_hostEntryRowsEnd"));
    return std::vector<Row>(first, end);
  }
  Row RowOf(unsigned ordinal) {
    for (const Row& row : Rows()) {
      if (row.ordinal == ordinal) return row;
    }
    ADD_FAILURE() << "no row for " << ordinal;
    return {};
  }
  void* HostFunction(unsigned ordinal) {
    return reinterpret_cast<void*>(
        plugin_host::RealGetProcAddress(host_.Zefira(), MAKEINTRESOURCEA(ordinal)));
  }
  void* const* FallbackStubs() { return static_cast<void* const*>(Export("g_fallbackStubs")); }

  PluginHost host_;
};

TEST_F(FrameBindingTest, RowsFollowTheBindingOrderAndHoldTheHostsFunctions) {
  LoadProbe();
  const std::vector<Row> rows = Rows();
  std::vector<unsigned> ordinals;
  for (const Row& row : rows) {
    ordinals.push_back(row.ordinal);
    EXPECT_EQ(*row.slot, HostFunction(row.ordinal)) << row.ordinal;
    EXPECT_NE(*row.slot, row.lazyEntry) << row.ordinal;
  }
  EXPECT_EQ(ordinals, frame_test::BindingOrder());
}

TEST_F(FrameBindingTest, EveryEntryWithAFallbackGetsItsStubOnIgnore) {
  const struct {
    unsigned ordinal;
    int stub;
  } cases[] = {{kOrdHostMessage, 7},   {kOrdHostProfile, 6},      {kOrdHostTableByNumber, 14},
               {kOrdHostTodayText, 1}, {kOrdHostProgressOpen, 7}, {kOrdHostProgressStep, 8},
               {kOrdHostFindRecord, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ordinal);
    host_.Unload();
    host_.Reset();
    host_.HideHostOrdinal(c.ordinal);
    host_.SetMessageBoxAnswers({kAnswerIgnore});
    LoadProbe();
    EXPECT_EQ(host_.MessageBoxes().size(), 1u);
    EXPECT_EQ(*RowOf(c.ordinal).slot, FallbackStubs()[c.stub]);
  }
}

TEST_F(FrameBindingTest, FallbackStubsAnswerZeroAndRemoveTheirArgumentWords) {
  LoadProbe();
  const std::vector<uint32_t> words(14, 0xA5A5A5A5u);
  for (int n = 0; n < 15; ++n) {
    CallOutcome outcome = {};
    MeasuredCall(FallbackStubs()[n], words.data(), 14, 0, &outcome);
    EXPECT_EQ(outcome.eax, 0u) << "stub " << n;
    EXPECT_EQ(outcome.bytesLeft, 4 * (14 - n)) << "stub " << n;
    ExpectRegistersKept(outcome);
  }
}

TEST_F(FrameBindingTest, LazyEntryBindsAtTheFirstCallWithTheCallersStackAndRegisters) {
  LoadProbe();
  // Both slots back at their lazy entries, as before binding.
  const Row step = RowOf(kOrdHostProgressStep);
  const Row messageF = RowOf(kOrdHostMessageF);
  *step.slot = step.lazyEntry;
  *messageF.slot = messageF.lazyEntry;
  host_.ClearRecordings();
  sim::Host().ClearCalls();

  // stdcall, two words removed by the entry.
  const uint32_t stepWords[] = {12, 34};
  CallOutcome outcome = {};
  MeasuredCall(Export("HostProgressStep@8"), stepWords, 2, 0, &outcome);
  EXPECT_EQ(outcome.bytesLeft, 0);
  ExpectRegistersKept(outcome);
  EXPECT_EQ(*step.slot, HostFunction(kOrdHostProgressStep));
  std::vector<sim::Call> calls = sim::Host().CallsTo(kOrdHostProgressStep);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].ints, (std::vector<int64_t>{12, 34}));
  // Bound now: the next call goes straight to the host, without a lookup.
  MeasuredCall(Export("HostProgressStep@8"), stepWords, 2, 0, &outcome);
  EXPECT_EQ(sim::Host().CallsTo(kOrdHostProgressStep).size(), 2u);

  // cdecl with a variable number of arguments, left for the caller to remove.
  const char title[] = "T";
  const char format[] = "%d-%s";
  const char text[] = "x";
  const uint32_t messageWords[] = {Word(title), Word(format), 0xC001, 7, Word(text)};
  MeasuredCall(Export("HostMessageF"), messageWords, 5, 0, &outcome);
  EXPECT_EQ(outcome.bytesLeft, 20);
  ExpectRegistersKept(outcome);
  EXPECT_EQ(*messageF.slot, HostFunction(kOrdHostMessageF));
  calls = sim::Host().CallsTo(kOrdHostMessageF);
  ASSERT_EQ(calls.size(), 1u);
  ASSERT_FALSE(calls[0].texts.empty());
  EXPECT_EQ(calls[0].texts.back(), "7-x");

  EXPECT_EQ(host_.HostOrdinalLookups(),
            (std::vector<unsigned>{kOrdHostProgressStep, kOrdHostMessageF}));
  EXPECT_TRUE(host_.MessageBoxes().empty());
}

TEST_F(FrameBindingTest, InitializerKeepsRegistersAndReportsWhetherTheSlotIsBound) {
  LoadProbe();
  const Row row = RowOf(kOrdHostTableByNumber);
  CallOutcome outcome = {};
  MeasuredCall(row.initializer, nullptr, 0, 0, &outcome);
  EXPECT_EQ(outcome.eax, 0u);
  EXPECT_EQ(outcome.bytesLeft, 0);
  ExpectRegistersKept(outcome);
  EXPECT_EQ(*row.slot, HostFunction(kOrdHostTableByNumber));

  // The entry gone and the answer Abort: the slot is emptied and the result is -1.
  host_.HideHostOrdinal(kOrdHostTableByNumber);
  host_.SetMessageBoxAnswers({kAnswerAbort});
  MeasuredCall(row.initializer, nullptr, 0, 0, &outcome);
  EXPECT_EQ(outcome.eax, 0xFFFFFFFFu);
  ExpectRegistersKept(outcome);
  EXPECT_EQ(*row.slot, nullptr);
  EXPECT_EQ(host_.MessageBoxes().size(), 1u);
  *row.slot = HostFunction(kOrdHostTableByNumber);
}

TEST_F(FrameBindingTest, LoadStepRecordsTheModuleAndTakesTheHostsHook) {
  LoadProbe();
  const auto* record = static_cast<const ModuleRecord*>(Export("g_moduleRecord"));
  EXPECT_EQ(record->module, host_.Plugin());
  char path[kModulePathSize] = {};
  GetModuleFileNameA(host_.Plugin(), path, sizeof path);
  EXPECT_STREQ(record->path, path);
  EXPECT_EQ(record->hostLibrary, host_.Zefira());
  EXPECT_EQ(*static_cast<void**>(Export("__pfnDliNotifyHook2")),
            HostFunction(kOrdHostDelayLoadHook));
}

TEST_F(FrameBindingTest, WithoutTheHostsHookTheLoadStepLeavesNone) {
  host_.HideHostOrdinal(kOrdHostDelayLoadHook);
  LoadProbe();
  EXPECT_EQ(*static_cast<void**>(Export("__pfnDliNotifyHook2")), nullptr);
}

TEST_F(FrameBindingTest, LoadStepDoesNothingOnOtherNotifications) {
  LoadProbe();
  typedef BOOL(WINAPI * LoadStep)(HINSTANCE, DWORD, LPVOID);
  const auto loadStep =
      reinterpret_cast<LoadStep>(reinterpret_cast<void (*)()>(Export("PluginLoadStep@12")));
  ASSERT_NE(loadStep, nullptr);
  const auto* record = static_cast<const ModuleRecord*>(Export("g_moduleRecord"));
  const ModuleRecord recordBefore = *record;
  void* const hookBefore = *static_cast<void**>(Export("__pfnDliNotifyHook2"));
  unsigned char areaBefore[32];
  std::memcpy(areaBefore, Export("g_trampolineArea"), sizeof areaBefore);
  unsigned char entryBefore[5];
  std::memcpy(entryBefore, Export("ConvertDigits"), sizeof entryBefore);

  for (DWORD reason : {DLL_PROCESS_DETACH, DLL_THREAD_ATTACH, DLL_THREAD_DETACH}) {
    EXPECT_EQ(loadStep(host_.Plugin(), reason, nullptr), TRUE) << reason;
  }
  EXPECT_EQ(std::memcmp(record, &recordBefore, sizeof recordBefore), 0);
  EXPECT_EQ(*static_cast<void**>(Export("__pfnDliNotifyHook2")), hookBefore);
  EXPECT_EQ(std::memcmp(Export("g_trampolineArea"), areaBefore, sizeof areaBefore), 0);
  EXPECT_EQ(std::memcmp(Export("ConvertDigits"), entryBefore, sizeof entryBefore), 0);
}

TEST(FrameBeforeLoadStepTest, TheHookStartsAsStubTwoWhichAnswersZero) {
  // Mapped without running its entry point: the image's own initial values.
  HMODULE probe =
      LoadLibraryExA(frame_test::ProbePath().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(probe, nullptr) << GetLastError();
  void* const stub2 = reinterpret_cast<void*>(GetProcAddress(probe, "FallbackStub2@8"));
  ASSERT_NE(stub2, nullptr);
  EXPECT_EQ(*reinterpret_cast<void**>(GetProcAddress(probe, "__pfnDliNotifyHook2")), stub2);
  const auto* record =
      reinterpret_cast<const ModuleRecord*>(GetProcAddress(probe, "g_moduleRecord"));
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->module, nullptr);
  EXPECT_EQ(record->hostLibrary, nullptr);
  EXPECT_EQ(record->path[0], '\0');

  const uint32_t words[] = {1, 0x1234};
  CallOutcome outcome = {};
  MeasuredCall(stub2, words, 2, 0, &outcome);
  EXPECT_EQ(outcome.eax, 0u);
  EXPECT_EQ(outcome.bytesLeft, 0);
  FreeLibrary(probe);
}

}  // namespace
