// Loading the real plug-in DLL: every host entry is bound by ordinal in binding order, and a
// missing entry raises the missing-entry box, whose answer decides the load.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/wine/frame_test_support.h"
#include "tests/wine/plugin_host.h"

namespace {

using frame_test::BindingOrder;
using plugin_host::kAnswerAbort;
using plugin_host::kAnswerIgnore;
using plugin_host::kAnswerRetry;
using plugin_host::PluginHost;

// The lookups a load makes in ZEFIRA: the delay-load hook first, then `entries`.
std::vector<unsigned> HookThen(std::vector<unsigned> entries) {
  entries.insert(entries.begin(), kOrdHostDelayLoadHook);
  return entries;
}

// The binding order from `first` (inclusive) to the end.
std::vector<unsigned> OrderFrom(unsigned first) {
  const std::vector<unsigned>& order = BindingOrder();
  for (size_t i = 0; i < order.size(); ++i) {
    if (order[i] == first) return std::vector<unsigned>(order.begin() + i, order.end());
  }
  ADD_FAILURE() << first << " is not bound";
  return {};
}

std::vector<unsigned> Join(std::vector<unsigned> a, const std::vector<unsigned>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::string Windows1250(const std::string& utf8) { return sim::Utf8ToWindows1250(utf8); }

class FrameLoadTest : public ::testing::Test {
 protected:
  PluginHost host_;
  const std::string path_ = frame_test::PluginPath();

  // The box as the user sees it for `entry`, converted to Windows-1250.
  void ExpectMissingEntryBox(size_t index, unsigned entry) {
    ASSERT_LT(index, host_.MessageBoxes().size());
    const plugin_host::MessageBoxCall& box = host_.MessageBoxes()[index];
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.text, Windows1250(frame_test::MissingEntryText(path_, std::to_string(entry))));
    EXPECT_EQ(box.caption, Windows1250(frame_test::kMissingEntryCaption));
    EXPECT_EQ(box.style, frame_test::kMissingEntryStyle);
  }
};

TEST_F(FrameLoadTest, FullHostBindsEveryEntryInOrderWithoutABox) {
  ASSERT_TRUE(host_.Load(path_)) << "error " << host_.LoadError();
  EXPECT_TRUE(host_.MessageBoxes().empty());
  EXPECT_EQ(host_.HostOrdinalLookups(), HookThen(BindingOrder()));
  // Every lookup found the host's function.
  for (const plugin_host::LookupCall& lookup : host_.Lookups()) {
    if (!lookup.inHostLibrary) continue;
    EXPECT_EQ(lookup.answer,
              plugin_host::RealGetProcAddress(host_.Zefira(), MAKEINTRESOURCEA(lookup.ordinal)))
        << lookup.ordinal;
    EXPECT_NE(lookup.answer, nullptr) << lookup.ordinal;
  }
}

TEST_F(FrameLoadTest, EntryWithoutFallbackFailsTheLoadEvenOnIgnore) {
  host_.HideHostOrdinal(kOrdUnused38417);
  host_.SetMessageBoxAnswers({kAnswerIgnore});
  EXPECT_FALSE(host_.Load(path_));
  ASSERT_EQ(host_.MessageBoxes().size(), 1u);
  ExpectMissingEntryBox(0, kOrdUnused38417);
  // Binding stopped at 38417: nothing after it was looked up.
  EXPECT_EQ(host_.HostOrdinalLookups(),
            HookThen({kOrdHostMessage, kOrdHostMessageF, kOrdHostConvertText, kOrdUnused38417}));
}

TEST_F(FrameLoadTest, IgnoreGivesTheFallbackAndBindsConversionLazilyInsideTheBox) {
  host_.HideHostOrdinal(kOrdHostMessage);
  host_.SetMessageBoxAnswers({kAnswerIgnore});
  ASSERT_TRUE(host_.Load(path_)) << "error " << host_.LoadError();
  ASSERT_EQ(host_.MessageBoxes().size(), 1u);
  ExpectMissingEntryBox(0, kOrdHostMessage);

  // The box checks that the host has HostConvertText, its call binds the entry through the lazy
  // entry, all before 52029 is bound; the entry's own initializer binds it again in turn.
  EXPECT_EQ(
      host_.HostOrdinalLookups(),
      HookThen(Join({kOrdHostMessage, kOrdHostConvertText, kOrdHostConvertText, kOrdHostMessageF},
                    OrderFrom(kOrdHostConvertText))));
  // The host converted the message and then the title, each in place.
  const std::vector<sim::Call> conversions = sim::Host().CallsTo(kOrdHostConvertText);
  ASSERT_EQ(conversions.size(), 2u);
  EXPECT_EQ(conversions[0].texts[0],
            sim::Utf8ToMazovia(frame_test::MissingEntryText(path_, "52028")));
  EXPECT_EQ(conversions[1].texts[0], sim::Utf8ToMazovia(frame_test::kMissingEntryCaption));
  for (const sim::Call& call : conversions) {
    EXPECT_EQ(call.ints,
              (std::vector<int64_t>{call.ints[1], call.ints[1], kCodeMazovia, kCodeWindows1250}))
        << "destination is the source, Mazovia to Windows-1250";
  }
}

TEST_F(FrameLoadTest, AfterIgnoreASecondMissingEntryFailsWithoutAnotherBox) {
  host_.HideHostOrdinal(kOrdHostMessage);
  host_.HideHostOrdinal(kOrdHostMessageF);
  host_.SetMessageBoxAnswers({kAnswerIgnore, kAnswerIgnore});
  EXPECT_FALSE(host_.Load(path_));
  ASSERT_EQ(host_.MessageBoxes().size(), 1u);
  ExpectMissingEntryBox(0, kOrdHostMessage);
  // 52029 has no fallback: the load ends there, the entries from 52158 on stay unbound.
  EXPECT_EQ(host_.HostOrdinalLookups(), HookThen({kOrdHostMessage, kOrdHostConvertText,
                                                  kOrdHostConvertText, kOrdHostMessageF}));
}

TEST_F(FrameLoadTest, RetryShowsTheSameBoxAgainWithoutANewLookup) {
  host_.HideHostOrdinal(kOrdHostTodayText);
  host_.SetMessageBoxAnswers({kAnswerRetry, kAnswerRetry, kAnswerAbort});
  EXPECT_FALSE(host_.Load(path_));
  ASSERT_EQ(host_.MessageBoxes().size(), 3u);
  for (size_t i = 0; i < 3; ++i) ExpectMissingEntryBox(i, kOrdHostTodayText);
  // 30204 looked up once; Abort: nothing after it.
  std::vector<unsigned> upToToday;
  for (unsigned ordinal : BindingOrder()) {
    upToToday.push_back(ordinal);
    if (ordinal == kOrdHostTodayText) break;
  }
  EXPECT_EQ(host_.HostOrdinalLookups(), HookThen(upToToday));
}

TEST_F(FrameLoadTest, AbortAtTheFirstEntryStopsAllLaterLookups) {
  host_.HideHostOrdinal(kOrdHostMessage);
  host_.SetMessageBoxAnswers({kAnswerAbort});
  EXPECT_FALSE(host_.Load(path_));
  ASSERT_EQ(host_.MessageBoxes().size(), 1u);
  ExpectMissingEntryBox(0, kOrdHostMessage);
  EXPECT_EQ(host_.HostOrdinalLookups(),
            HookThen({kOrdHostMessage, kOrdHostConvertText, kOrdHostConvertText}));
}

// Without HostConvertText the box can convert nothing: its texts are shown as composed.
TEST_F(FrameLoadTest, HostWithoutConversionShowsTheBoxUnconverted) {
  struct Case {
    const char* behaviour;
    std::vector<unsigned> hidden;
    unsigned boxFor;
    std::vector<unsigned> lookups;
  };
  const Case cases[] = {
      {"the box for 52158 itself: its slot is empty",
       {kOrdHostConvertText},
       kOrdHostConvertText,
       HookThen({kOrdHostMessage, kOrdHostMessageF, kOrdHostConvertText})},
      {"a box for 52028: the lazy slot would find nothing, so it is not called",
       {kOrdHostMessage, kOrdHostConvertText},
       kOrdHostMessage,
       // After Ignore, 52158 has no fallback and fails the load without a second box.
       HookThen({kOrdHostMessage, kOrdHostConvertText, kOrdHostMessageF, kOrdHostConvertText})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.behaviour);
    host_.Reset();
    for (unsigned ordinal : c.hidden) host_.HideHostOrdinal(ordinal);
    host_.SetMessageBoxAnswers({kAnswerIgnore});
    EXPECT_FALSE(host_.Load(path_));
    ASSERT_EQ(host_.MessageBoxes().size(), 1u);
    const plugin_host::MessageBoxCall& box = host_.MessageBoxes()[0];
    EXPECT_EQ(box.text,
              sim::Utf8ToMazovia(frame_test::MissingEntryText(path_, std::to_string(c.boxFor))));
    EXPECT_EQ(box.caption, sim::Utf8ToMazovia(frame_test::kMissingEntryCaption));
    EXPECT_EQ(box.style, frame_test::kMissingEntryStyle);
    EXPECT_TRUE(sim::Host().CallsTo(kOrdHostConvertText).empty());
    EXPECT_EQ(host_.HostOrdinalLookups(), c.lookups);
  }
}

TEST_F(FrameLoadTest, AFailedLoadLeavesNothingBehindForTheNextLoad) {
  host_.HideHostOrdinal(kOrdHostProfile);
  host_.SetMessageBoxAnswers({kAnswerAbort});
  EXPECT_FALSE(host_.Load(path_));
  EXPECT_EQ(host_.MessageBoxes().size(), 1u);

  // A later load starts with every slot lazy and the ignore-all flag clear: the same missing
  // entry asks again, and Ignore now gives it its fallback (stub 6).
  host_.ShowHostOrdinal(kOrdHostProfile);
  host_.HideHostOrdinal(kOrdHostTodayText);
  host_.ClearRecordings();
  host_.SetMessageBoxAnswers({kAnswerIgnore});
  ASSERT_TRUE(host_.Load(path_)) << "error " << host_.LoadError();
  ASSERT_EQ(host_.MessageBoxes().size(), 1u);
  ExpectMissingEntryBox(0, kOrdHostTodayText);
}

}  // namespace
