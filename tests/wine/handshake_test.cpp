// The compatibility handshake through the real DLL: the texts the host receives at attach and
// in the report, byte for byte in Mazovia, and the installed notice's setting, which travels
// through the plug-in's variadic front end and the host's cdecl settings entry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host_types.h"
#include "sim/host_model.h"
#include "tests/wine/frame_test_support.h"
#include "tests/wine/plugin_host.h"

namespace {

using sim::Utf8ToMazovia;

const std::string kName = kPluginName;

std::string ReportText(const std::vector<std::string>& rows) {
  std::string text = Utf8ToMazovia(
      "Rozmiary rekordów niektórych tabel nie zgadzają się\nmiędzy programem a wtyczką \"" + kName +
      "\":\n\n\x01tl18l33\x01TABELA\tWE WTYCZCE\tW PROGRAMIE\n");
  for (const std::string& row : rows) text += "\x01tp25p40\x01" + row + "\n";
  // The module's own file name, after the last backslash of the path the platform gave.
  return text + Utf8ToMazovia(
                    "\nModuł wtyczki \x02qarn_zak_fakt_zbiorcza.dll\x01\n"
                    "NIE zostanie załadowany!");
}

class HandshakeThroughTheDll : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host_.Load(frame_test::PluginPath())) << "error " << host_.LoadError();
    sim::Host().ClearCalls();
  }

  std::vector<sim::Call> Reported() {
    sim::Host().ClearCalls();
    EXPECT_EQ(host_.Report(1), 0);
    return sim::Host().Calls();
  }

  plugin_host::PluginHost host_;
  int context_ = 1;
  char name_[kPluginNameSize] = {};
};

TEST_F(HandshakeThroughTheDll, RefusedAttachReportsTheDocumentTableTwice) {
  sim::Host().SetTable(kTableDocument, 1900);
  EXPECT_EQ(host_.Attach(&context_, name_), -1);
  EXPECT_STREQ(name_, kPluginName);

  const std::vector<sim::Call> calls = Reported();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].ordinal, kOrdHostMessage);
  EXPECT_EQ(calls[0].texts,
            (std::vector<std::string>{
                "STOP!!!", ReportText({"Qarn_wyc\t1890\t1900", "Qarn_wyc\t1890\t1900"})}));
  EXPECT_EQ(calls[0].ints.back(), 0xC001);
}

TEST_F(HandshakeThroughTheDll, AcceptedAttachWithOtherTablesDifferingReportsThemInOrder) {
  sim::Host().RemoveTable(kTableDDek);
  sim::Host().SetTable(kTableK9, -32768);  // read from the host as a signed 16-bit size
  sim::Host().SetSetting(kName, "Pytaj", "1");
  EXPECT_EQ(host_.Attach(&context_, name_), 0);

  const std::vector<sim::Call> calls = Reported();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].texts[1], ReportText({"d_dek\t2418\tbrak", "k9\t1024\t-32768"}));
}

TEST_F(HandshakeThroughTheDll, VersionMessageWhenNothingDiffers) {
  sim::Host().SetSetting(kName, "Pytaj", "1");
  ASSERT_EQ(host_.Attach(&context_, name_), 0);
  const std::vector<sim::Call> calls = Reported();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].ordinal, kOrdHostMessageF);
  EXPECT_EQ(calls[0].ints[2], 0xC001);
  // The host formats it, with the plug-in's name in both places.
  EXPECT_EQ(calls[0].texts.back(),
            Utf8ToMazovia("Moduł \"" + kName +
                          "\" i program występują w różnych wersjach!\n\nZostał zakualizowany "
                          "tylko program albo tylko moduł,\na nie oba jednocześnie! Aby naprawić "
                          "tę sytuację\nzainstaluj aktualizację programu wraz z modułem \"" +
                          kName + "\".\n\nMODUŁ NIE ZOSTANIE ZAŁADOWANY!!!\n"));
}

TEST_F(HandshakeThroughTheDll, NoticeStoresWhatTheDialogLeavesAndThenStaysAway) {
  // No setting yet: the notice is shown, the user switches it off in the dialog.
  sim::Host().SetDialogResult(1);
  ASSERT_EQ(host_.Attach(&context_, name_), 0);
  const std::vector<sim::Call> dialogs = sim::Host().CallsTo(kOrdHostShowDialog);
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].ints[0], 1194);
  EXPECT_EQ(dialogs[0].ints[2], 0);
  EXPECT_EQ(dialogs[0].ints[3] - dialogs[0].ints[1], 108) << "the text's place in the record";
  EXPECT_EQ(dialogs[0].ints[4], 0) << "the setting the dialog was shown with";
  EXPECT_EQ(dialogs[0].texts[0], Utf8ToMazovia("Zainstalowano wtyczkę:\n" + kName));
  EXPECT_EQ(sim::Host().Setting(kName, "Pytaj"), std::optional<std::string>("1"));

  // A second attach reads 1: no notice, nothing written.
  sim::Host().ClearCalls();
  ASSERT_EQ(host_.Attach(&context_, name_), 0);
  EXPECT_TRUE(sim::Host().CallsTo(kOrdHostShowDialog).empty());
  const std::vector<sim::Call> profile = sim::Host().CallsTo(kOrdHostProfile);
  ASSERT_EQ(profile.size(), 1u);
  EXPECT_EQ(profile[0].ints[0], 1) << "read only";
}

}  // namespace
