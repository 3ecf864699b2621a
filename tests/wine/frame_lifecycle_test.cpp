// The plug-in's entry points through the real DLL: attach, refused attach, report, 30009,
// detach, and the host's structured-exception translator registered at attach.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/host_types.h"
#include "tests/wine/frame_test_support.h"
#include "tests/wine/plugin_host.h"

namespace {

using plugin_host::PluginHost;

typedef void(__cdecl* SeTranslator)(unsigned, EXCEPTION_POINTERS*);
typedef SeTranslator(__cdecl* SetSeTranslator)(SeTranslator);

// msvcrt's per-thread translator setting, exported under its C++ name.
SetSeTranslator TranslatorSetting() {
  return reinterpret_cast<SetSeTranslator>(
      reinterpret_cast<void (*)()>(plugin_host::RealGetProcAddress(
          GetModuleHandleA("msvcrt.dll"),
          "?_set_se_translator@@YAP6AXIPAU_EXCEPTION_POINTERS@@@ZP6AXI0@Z@Z")));
}

// The calling thread's translator as msvcrt keeps it, read without changing it.
SeTranslator CurrentTranslator() {
  const SetSeTranslator set = TranslatorSetting();
  if (set == nullptr) {
    ADD_FAILURE() << "msvcrt has no translator setting";
    return nullptr;
  }
  const SeTranslator current = set(nullptr);
  set(current);
  return current;
}

DWORD WINAPI ReadTranslatorOnNewThread(LPVOID out) {
  *static_cast<SeTranslator*>(out) = CurrentTranslator();
  return 0;
}

bool InModule(const void* address, HMODULE module) {
  HMODULE owner = nullptr;
  return GetModuleHandleExA(
             GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
             static_cast<LPCSTR>(address), &owner) &&
         owner == module;
}

class FrameLifecycleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host_.Load(frame_test::PluginPath())) << "error " << host_.LoadError();
    sim::Host().ClearCalls();
  }

  DocumentActionHandler DocumentSlot() {
    return TableActionHandler(sim::Host().Table(kTableDocument));
  }

  PluginHost host_;
  int context_ = 1;  // any non-null context
};

TEST_F(FrameLifecycleTest, Entry30009AnswersZeroInEveryState) {
  EXPECT_EQ(host_.Entry30009(), 0) << "loaded";
  ASSERT_EQ(host_.Attach(&context_, nullptr), 0);
  EXPECT_EQ(host_.Entry30009(), 0) << "attached";
  EXPECT_EQ(host_.Detach(), 0);
  EXPECT_EQ(host_.Entry30009(), 0) << "detached";
}

TEST_F(FrameLifecycleTest, ReportShowsNothingForFlagZeroAndTheVersionMessageBeforeAttach) {
  EXPECT_EQ(host_.Report(0), 0);
  EXPECT_TRUE(sim::Host().Calls().empty());
  EXPECT_EQ(host_.Report(1), 0);
  // Nothing differs yet: the version message.
  EXPECT_EQ(sim::Host().Ordinals(), std::vector<unsigned>{kOrdHostMessageF});
}

TEST_F(FrameLifecycleTest, DetachBeforeAttachChangesNothing) {
  const DocumentActionHandler before = DocumentSlot();
  EXPECT_EQ(host_.Detach(), 0);
  EXPECT_EQ(DocumentSlot(), before);
  EXPECT_EQ(CurrentTranslator(), nullptr);
}

TEST_F(FrameLifecycleTest, AttachWithoutNameBufferRunsTheFullAttach) {
  ASSERT_EQ(host_.Attach(&context_, nullptr), 0);
  EXPECT_NE(DocumentSlot(), sim::HostModel::DefaultActionHandler());
  EXPECT_TRUE(InModule(reinterpret_cast<const void*>(DocumentSlot()), host_.Plugin()));
  EXPECT_FALSE(sim::Host().CallsTo(kOrdHostTableByNumber).empty());
}

TEST_F(FrameLifecycleTest, RefusedAttachStillNamesThePluginAndLeavesTheSlotAlone) {
  sim::Host().SetTable(kTableDocument, kSizeDocument - 1);
  const DocumentActionHandler before = DocumentSlot();
  char name[40];
  std::memset(name, 0x55, sizeof name);
  EXPECT_EQ(host_.Attach(&context_, name), -1);
  EXPECT_EQ(std::string(name, kPluginNameSize), std::string("Qarn_tzak_fakt_zbiorcza", 24));
  for (size_t i = kPluginNameSize; i < sizeof name; ++i) EXPECT_EQ(name[i], 0x55) << i;
  EXPECT_EQ(DocumentSlot(), before);
  const std::vector<sim::Call> errors = sim::Host().CallsTo(kOrdHostErrorMessage);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].texts, std::vector<std::string>{"Program wymaga nowszej wtyczki!"});

  // The host asks why: the report names the document table.
  sim::Host().ClearCalls();
  EXPECT_EQ(host_.Report(1), 0);
  const std::vector<sim::Call> reports = sim::Host().CallsTo(kOrdHostMessage);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].texts[1].find("Qarn_wyc"), std::string::npos);
}

TEST_F(FrameLifecycleTest, SecondAttachKeepsOneHookAndDetachPutsTheHandlerBack) {
  const DocumentActionHandler original = DocumentSlot();
  char name[kPluginNameSize];
  ASSERT_EQ(host_.Attach(&context_, name), 0);
  EXPECT_STREQ(name, kPluginName);
  const DocumentActionHandler hook = DocumentSlot();
  ASSERT_NE(hook, original);
  ASSERT_EQ(host_.Attach(&context_, name), 0);
  EXPECT_EQ(DocumentSlot(), hook);
  // One hook: a single detach restores the host's own handler, not the plug-in's.
  EXPECT_EQ(host_.Detach(), 0);
  EXPECT_EQ(DocumentSlot(), original);
  EXPECT_EQ(host_.Detach(), 0);
  EXPECT_EQ(DocumentSlot(), original);
}

TEST_F(FrameLifecycleTest, AttachRegistersTheHostTranslatorForTheAttachingThreadOnly) {
  ASSERT_EQ(CurrentTranslator(), nullptr);
  ASSERT_EQ(host_.Attach(&context_, nullptr), 0);
  const SeTranslator translator = CurrentTranslator();
  ASSERT_NE(translator, nullptr);
  EXPECT_TRUE(InModule(reinterpret_cast<const void*>(translator), host_.Plugin()))
      << "the plug-in's forwarding routine";

  // Another thread has none.
  SeTranslator other = reinterpret_cast<SeTranslator>(1);
  HANDLE thread = CreateThread(nullptr, 0, ReadTranslatorOnNewThread, &other, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_EQ(other, nullptr);

  // Called as the runtime would call it, it reaches the host's 30005 with its arguments.
  EXCEPTION_RECORD record = {};
  record.ExceptionCode = EXCEPTION_INT_DIVIDE_BY_ZERO;
  CONTEXT context = {};
  EXCEPTION_POINTERS pointers = {&record, &context};
  sim::Host().ClearCalls();
  translator(EXCEPTION_INT_DIVIDE_BY_ZERO, &pointers);
  const std::vector<sim::Call> calls = sim::Host().CallsTo(kOrdHostSeTranslator);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].ints, (std::vector<int64_t>{static_cast<int64_t>(EXCEPTION_INT_DIVIDE_BY_ZERO),
                                                 sim::AddressValue(&pointers)}));

  // Attach again: registered again, the same routine; detach leaves it registered.
  ASSERT_EQ(host_.Attach(&context_, nullptr), 0);
  EXPECT_EQ(CurrentTranslator(), translator);
  ASSERT_EQ(host_.Detach(), 0);
  EXPECT_EQ(CurrentTranslator(), translator);
}

TEST_F(FrameLifecycleTest, AttachDropsTheTranslatorTheThreadHadBefore) {
  const SetSeTranslator set = TranslatorSetting();
  ASSERT_NE(set, nullptr);
  const SeTranslator mine = [](unsigned, EXCEPTION_POINTERS*) {};
  set(mine);
  ASSERT_EQ(host_.Attach(&context_, nullptr), 0);
  EXPECT_NE(CurrentTranslator(), mine);
  EXPECT_TRUE(InModule(reinterpret_cast<const void*>(CurrentTranslator()), host_.Plugin()));
}

}  // namespace
