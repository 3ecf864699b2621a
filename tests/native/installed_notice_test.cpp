#include "handshake/installed_notice.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/host_types.h"
#include "sim/host_model.h"

namespace {

using sim::Host;

const std::string kSection = kPluginName;
const std::string kKey = "Pytaj";

class InstalledNoticeTest : public ::testing::Test {
 protected:
  void SetUp() override { Host().Reset(); }
  void TearDown() override { Host().Reset(); }
};

struct NoticeCase {
  const char* label;
  std::optional<std::string> stored;  // the setting as the host keeps it; nullopt = absent
  std::optional<int16_t> dialog;      // what the dialog leaves at the value address
  bool shown;
  std::optional<std::string> after;  // the setting afterwards
};

const NoticeCase kNoticeCases[] = {
    {"absent: shown, then stored as left", std::nullopt, std::nullopt, true, "0"},
    {"absent, dialog switches it off", std::nullopt, 1, true, "1"},
    {"reads 0: shown and written back", "0", std::nullopt, true, "0"},
    {"reads 0, dialog leaves -1", "0", -1, true, "-1"},
    {"reads 1: no notice, no write", "1", 0, false, "1"},
    {"reads -1: no notice, no write", "-1", 0, false, "-1"},
    {"reads 65536: low bits 0, shown, 0 written", "65536", std::nullopt, true, "0"},
    {"reads 65536, dialog leaves 1", "65536", 1, true, "1"},
    {"reads -65536: low bits 0, shown", "-65536", std::nullopt, true, "0"},
    {"reads 65537: low bits 1, no notice", "65537", 0, false, "65537"},
    {"reads 32768: low bits negative, no notice", "32768", 0, false, "32768"},
    {"unreadable text counts as 0", "tak", std::nullopt, true, "0"},
    {"dialog leaves 32767", "0", 32767, true, "32767"},
    {"dialog leaves -32768", std::nullopt, static_cast<int16_t>(-32768), true, "-32768"},
};

TEST_F(InstalledNoticeTest, PytajDecidesTheNoticeAndIsWrittenOnlyAfterIt) {
  const std::string noticeText =
      sim::Utf8ToMazovia("Zainstalowano wtyczkę:\nQarn_tzak_fakt_zbiorcza");
  for (const NoticeCase& c : kNoticeCases) {
    SCOPED_TRACE(c.label);
    Host().Reset();
    if (c.stored) Host().SetSetting(kSection, kKey, *c.stored);
    Host().SetDialogResult(c.dialog);

    EXPECT_EQ(ShowInstalledNotice(), 0);

    EXPECT_EQ(Host().Setting(kSection, kKey), c.after);
    const std::vector<sim::Call> profile = Host().CallsTo(kOrdHostProfile);
    ASSERT_FALSE(profile.empty());
    const sim::Call& read = profile[0];
    EXPECT_EQ(read.ints[0], kProfileRead);
    EXPECT_EQ(read.texts, (std::vector<std::string>{kSection, kKey, "%d"}));

    if (!c.shown) {
      EXPECT_EQ(Host().Ordinals(), std::vector<unsigned>{kOrdHostProfile});
      continue;
    }
    EXPECT_EQ(Host().Ordinals(),
              (std::vector<unsigned>{kOrdHostProfile, kOrdHostShowDialog, kOrdHostProfile}));
    const sim::Call dialog = Host().CallsTo(kOrdHostShowDialog).at(0);
    // ints: dialog, value address, reserved, text address, 16-bit value seen before the dialog
    ASSERT_EQ(dialog.ints.size(), 5u);
    EXPECT_EQ(dialog.ints[0], 1194);
    EXPECT_EQ(dialog.ints[1], read.ints[4]) << "the dialog gets the setting's own address";
    EXPECT_EQ(dialog.ints[2], 0);
    EXPECT_EQ(dialog.ints[3] - dialog.ints[1], 108) << "the text sits at byte 108 of the block";
    EXPECT_EQ(dialog.ints[4], 0) << "the dialog opens with the notice switched on";
    EXPECT_EQ(dialog.texts.at(0), noticeText);

    const sim::Call& write = profile.at(1);
    EXPECT_EQ(write.ints[0], kProfileWrite);
    EXPECT_EQ(write.texts, (std::vector<std::string>{kSection, kKey, "%d"}));
    EXPECT_EQ(std::to_string(write.ints[4]), *c.after);
  }
}

// Only the low 16 bits of the read's answer say whether it read the value; a read that failed
// counts as 0 whatever it left in the destination.
TEST_F(InstalledNoticeTest, OnlyTheLow16BitsOfTheReadsAnswerCount) {
  struct Case {
    const char* label;
    int answer;  // the host's answer to the read; the stored "1" reaches the destination
    bool shown;
    const char* after;
  } cases[] = {
      {"0x10000: read, so the stored 1 keeps the notice off", 0x10000, false, "1"},
      {"1: not read, the value it left is dropped", 1, true, "0"},
      {"0x10001: not read", 0x10001, true, "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Host().Reset();
    Host().SetSetting(kSection, kKey, "1");
    Host().SetProfileReadAnswer(c.answer);
    EXPECT_EQ(ShowInstalledNotice(), 0);
    const std::vector<sim::Call> dialogs = Host().CallsTo(kOrdHostShowDialog);
    ASSERT_EQ(dialogs.size(), c.shown ? 1u : 0u);
    if (c.shown) {
      EXPECT_EQ(dialogs[0].ints[4], 0) << "shown with the notice switched on";
    }
    EXPECT_EQ(Host().Setting(kSection, kKey), std::optional<std::string>(c.after));
  }
}

TEST_F(InstalledNoticeTest, NoticeRunsAgainOnEveryCallWhileTheSettingStaysZero) {
  for (int round = 1; round <= 3; ++round) {
    SCOPED_TRACE(round);
    EXPECT_EQ(ShowInstalledNotice(), 0);
    EXPECT_EQ(Host().CallsTo(kOrdHostShowDialog).size(), static_cast<size_t>(round));
    EXPECT_EQ(Host().Setting(kSection, kKey), std::optional<std::string>("0"));
  }
  // Once the dialog switches it off, the next call stays silent.
  Host().SetDialogResult(1);
  ShowInstalledNotice();
  Host().ClearCalls();
  ShowInstalledNotice();
  EXPECT_EQ(Host().Ordinals(), std::vector<unsigned>{kOrdHostProfile});
}

TEST_F(InstalledNoticeTest, SettingsOfOtherSectionsAndKeysAreNotRead) {
  Host().SetSetting("Inna_wtyczka", kKey, "1");
  Host().SetSetting(kSection, "Pytaj2", "1");
  ShowInstalledNotice();
  EXPECT_EQ(Host().CallsTo(kOrdHostShowDialog).size(), 1u);
  EXPECT_EQ(Host().Setting("Inna_wtyczka", kKey), std::optional<std::string>("1"));
  EXPECT_EQ(Host().Setting(kSection, "Pytaj2"), std::optional<std::string>("1"));
}

struct SettingCase {
  const char* label;
  std::optional<std::string> stored;
  const char* format;
  int result;
  int value;  // read: what lands at the address (the sentinel when nothing is read)
};

constexpr int kUntouched = 0x5A5A5A5A;

const SettingCase kReadCases[] = {
    {"stored value", "-42", "%d", 0, -42},
    {"large value", "123456", "%d", 0, 123456},
    {"hex format passes through", "ff", "%x", 0, 255},
    {"absent: host answers 1, nothing written", std::nullopt, "%d", 1, kUntouched},
};

TEST_F(InstalledNoticeTest, PluginSettingReadHandsTheDestinationAddressThrough) {
  for (const SettingCase& c : kReadCases) {
    SCOPED_TRACE(c.label);
    Host().Reset();
    if (c.stored) Host().SetSetting("Sekcja", "Klucz", *c.stored);
    int value = kUntouched;
    EXPECT_EQ(PluginSetting(kProfileRead, "Sekcja", "Klucz", c.format, &value), c.result);
    EXPECT_EQ(value, c.value);
    const sim::Call call = Host().CallsTo(kOrdHostProfile).at(0);
    EXPECT_EQ(call.ints[4], sim::AddressValue(&value));
    EXPECT_EQ(call.texts, (std::vector<std::string>{"Sekcja", "Klucz", c.format}));
  }
}

const SettingCase kWriteCases[] = {
    {"zero", "0", "%d", 0, 0},
    {"negative", "-32768", "%d", 0, -32768},
    {"beyond 16 bits", "70000", "%d", 0, 70000},
    {"hex format passes through", "1f", "%x", 0, 31},
};

TEST_F(InstalledNoticeTest, PluginSettingWriteHandsTheValueThrough) {
  for (const SettingCase& c : kWriteCases) {
    SCOPED_TRACE(c.label);
    Host().Reset();
    EXPECT_EQ(PluginSetting(kProfileWrite, "Sekcja", "Klucz", c.format, c.value), c.result);
    EXPECT_EQ(Host().Setting("Sekcja", "Klucz"), c.stored);
    const sim::Call call = Host().CallsTo(kOrdHostProfile).at(0);
    EXPECT_EQ(call.ints[0], kProfileWrite);
    EXPECT_EQ(call.ints[4], c.value);
  }
}

}  // namespace
