#include "handshake/record_size_handshake.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "export/document_hook.h"
#include "handshake/mismatch_list.h"
#include "host/module_record.h"
#include "sim/host_model.h"
#include "tests/native/mismatch_list_walk.h"

namespace {

using sim::Host;
using sim::Utf8ToMazovia;

constexpr int64_t kStopFlags = 0xC001;
const std::string kIdentity = "Qarn_tzak_fakt_zbiorcza";
const std::string kModulePath = "C:\\ZEFIRA\\WTYCZKI\\qarn_zak_fakt_zbiorcza.dll";

// One report row as the user reads it: table, size in the plug-in, size in the host.
struct Row {
  std::string table, plugin, host;
};

// The report's expected bytes, written in UTF-8 and converted as the plug-in keeps its texts.
std::string ExpectedReport(const std::vector<Row>& rows, const std::string& moduleFileName) {
  std::string text = Utf8ToMazovia(
      "Rozmiary rekordów niektórych tabel nie zgadzają się\n"
      "między programem a wtyczką \"Qarn_tzak_fakt_zbiorcza\":\n\n"
      "\x01tl18l33\x01TABELA\tWE WTYCZCE\tW PROGRAMIE\n");
  for (const Row& row : rows) {
    text += "\x01tp25p40\x01" + row.table + "\t" + row.plugin + "\t" + row.host + "\n";
  }
  text += Utf8ToMazovia("\nModuł wtyczki \x02") + moduleFileName +
          Utf8ToMazovia("\x01\nNIE zostanie załadowany!");
  return text;
}

class HandshakeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedModule_ = g_moduleRecord;
    ResetProcess();
  }
  void TearDown() override {
    ResetProcess();
    g_moduleRecord = savedModule_;
  }

  // The plug-in's process-wide state as a fresh load leaves it, and the default host.
  void ResetProcess() {
    g_mismatchList = nullptr;
    g_hookedTable = nullptr;
    g_savedHandler = nullptr;
    Host().Reset();
    SetModulePath(kModulePath);
  }
  static void SetModulePath(const std::string& path) {
    std::memset(g_moduleRecord.path, 0, sizeof g_moduleRecord.path);
    std::memcpy(g_moduleRecord.path, path.data(),
                std::min(path.size(), sizeof g_moduleRecord.path));
  }
  // nullopt: the host has no object for the table.
  static void ScriptTable(int number, std::optional<int16_t> size) {
    if (size) {
      Host().SetTable(number, *size);
    } else {
      Host().RemoveTable(number);
    }
  }
  // The report's text as the host received it; fails when it came another way.
  static std::string ReportText() {
    Host().ClearCalls();
    ShowMismatchReport();
    EXPECT_EQ(Host().Ordinals(), std::vector<unsigned>{kOrdHostMessage});
    const std::vector<sim::Call> shown = Host().CallsTo(kOrdHostMessage);
    if (shown.size() != 1) return {};
    EXPECT_EQ(shown[0].texts.at(0), "STOP!!!");
    EXPECT_EQ(shown[0].ints.at(2), kStopFlags);
    return shown[0].texts.at(1);
  }

 private:
  ModuleRecord savedModule_{};
};

struct AttachCase {
  const char* label;
  std::optional<int16_t> dDek, document, k9;
  int32_t result;
  std::vector<Row> rows;  // the report, in the order of appending
};

const std::vector<AttachCase> kAttachCases = {
    {"all tables agree", 2418, 1890, 1024, 0, {}},
    {"d_dek differs: listed, attach accepted", 2400, 1890, 1024, 0, {{"d_dek", "2418", "2400"}}},
    {"k9 missing: brak, attach accepted", 2418, 1890, std::nullopt, 0, {{"k9", "1024", "brak"}}},
    {"k9 one byte short", 2418, 1890, 1023, 0, {{"k9", "1024", "1023"}}},
    {"d_dek from 32768 up reads negative",
     static_cast<int16_t>(-32768),
     1890,
     1024,
     0,
     {{"d_dek", "2418", "-32768"}}},
    {"d_dek and k9 missing",
     std::nullopt,
     1890,
     std::nullopt,
     0,
     {{"d_dek", "2418", "brak"}, {"k9", "1024", "brak"}}},
    {"document 1900: refused, listed twice",
     2418,
     1900,
     1024,
     -1,
     {{"Qarn_wyc", "1890", "1900"}, {"Qarn_wyc", "1890", "1900"}}},
    {"document 1889: refused",
     2418,
     1889,
     1024,
     -1,
     {{"Qarn_wyc", "1890", "1889"}, {"Qarn_wyc", "1890", "1889"}}},
    {"document missing: refused, brak twice",
     2418,
     std::nullopt,
     1024,
     -1,
     {{"Qarn_wyc", "1890", "brak"}, {"Qarn_wyc", "1890", "brak"}}},
    {"document 40000 reads negative",
     2418,
     static_cast<int16_t>(40000 - 65536),
     1024,
     -1,
     {{"Qarn_wyc", "1890", "-25536"}, {"Qarn_wyc", "1890", "-25536"}}},
    {"all three differ: four rows",
     2400,
     1900,
     1000,
     -1,
     {{"d_dek", "2418", "2400"},
      {"Qarn_wyc", "1890", "1900"},
      {"k9", "1024", "1000"},
      {"Qarn_wyc", "1890", "1900"}}},
};

TEST_F(HandshakeTest, AttachOutcomeAndReportFollowTheTableSizes) {
  for (const AttachCase& c : kAttachCases) {
    SCOPED_TRACE(c.label);
    ResetProcess();
    ScriptTable(kTableDDek, c.dDek);
    ScriptTable(kTableDocument, c.document);
    ScriptTable(kTableK9, c.k9);

    EXPECT_EQ(RecordSizeHandshake(), c.result);

    // Three comparisons in order, then the install asks for the document table itself.
    std::vector<int64_t> asked;
    for (const sim::Call& call : Host().CallsTo(kOrdHostTableByNumber))
      asked.push_back(call.ints[0]);
    EXPECT_EQ(asked, (std::vector<int64_t>{59, 112, 49, 112}));

    HostTable document = Host().Table(kTableDocument);
    const std::vector<unsigned> byNumber(4, kOrdHostTableByNumber);
    if (c.result == 0) {
      // Accepted: the hook is in place and the notice ran (read, dialog, write).
      std::vector<unsigned> expected = byNumber;
      expected.insert(expected.end(), {kOrdHostProfile, kOrdHostShowDialog, kOrdHostProfile});
      EXPECT_EQ(Host().Ordinals(), expected);
      EXPECT_EQ(g_hookedTable, document);
      EXPECT_EQ(TableActionHandler(document), &DocumentActionHook);
      EXPECT_EQ(g_savedHandler, sim::HostModel::DefaultActionHandler());
    } else {
      // Refused: the newer-plug-in message, no notice, the slot left as the host set it.
      std::vector<unsigned> expected = byNumber;
      expected.push_back(kOrdHostErrorMessage);
      EXPECT_EQ(Host().Ordinals(), expected);
      const std::vector<sim::Call> errors = Host().CallsTo(kOrdHostErrorMessage);
      ASSERT_EQ(errors.size(), 1u);
      EXPECT_EQ(errors[0].texts.at(0), "Program wymaga nowszej wtyczki!");
      EXPECT_EQ(g_hookedTable, nullptr);
      if (document != nullptr) {
        EXPECT_EQ(TableActionHandler(document), sim::HostModel::DefaultActionHandler());
      }
    }

    if (c.rows.empty()) {
      EXPECT_EQ(g_mismatchList, nullptr);
    } else {
      EXPECT_EQ(ReportText(), ExpectedReport(c.rows, "qarn_zak_fakt_zbiorcza.dll"));
    }
  }
}

TEST_F(HandshakeTest, OneRowReportIsSpelledOutByteForByte) {
  // One row spelled out whole, so the expected-text builder above is anchored too.
  Host().SetTable(kTableK9, 1000);
  ASSERT_EQ(RecordSizeHandshake(), 0);
  const std::string expected = Utf8ToMazovia(
      "Rozmiary rekordów niektórych tabel nie zgadzają się\n"
      "między programem a wtyczką \"Qarn_tzak_fakt_zbiorcza\":\n"
      "\n"
      "\x01tl18l33\x01TABELA\tWE WTYCZCE\tW PROGRAMIE\n"
      "\x01tp25p40\x01k9\t1024\t1000\n"
      "\n"
      "Moduł wtyczki \x02qarn_zak_fakt_zbiorcza.dll\x01\n"
      "NIE zostanie załadowany!");
  EXPECT_EQ(ReportText(), expected);
  // Mazovia bytes, not UTF-8: ó is A2, ą 86, ę 91, ł 92.
  const std::string text = ReportText();
  EXPECT_NE(text.find("rekord\xA2w"), std::string::npos);
  EXPECT_NE(text.find("zgadzaj\x86 si\x91"), std::string::npos);
  EXPECT_NE(text.find("Modu\x92 wtyczki"), std::string::npos);
}

TEST_F(HandshakeTest, EmptyListShowsTheVersionMessageFormattedByTheHost) {
  ASSERT_EQ(RecordSizeHandshake(), 0);
  Host().ClearCalls();
  ShowMismatchReport();

  EXPECT_EQ(Host().Ordinals(), std::vector<unsigned>{kOrdHostMessageF});
  const std::vector<sim::Call> calls = Host().CallsTo(kOrdHostMessageF);
  ASSERT_EQ(calls.size(), 1u);
  const std::string format = Utf8ToMazovia(
      "Moduł \"%s\" i program występują w różnych wersjach!\n\n"
      "Został zakualizowany tylko program albo tylko moduł,\n"
      "a nie oba jednocześnie! Aby naprawić tę sytuację\n"
      "zainstaluj aktualizację programu wraz z modułem \"%s\".\n\n"
      "MODUŁ NIE ZOSTANIE ZAŁADOWANY!!!\n");
  const std::string shown = Utf8ToMazovia(
      "Moduł \"Qarn_tzak_fakt_zbiorcza\" i program występują w różnych wersjach!\n\n"
      "Został zakualizowany tylko program albo tylko moduł,\n"
      "a nie oba jednocześnie! Aby naprawić tę sytuację\n"
      "zainstaluj aktualizację programu wraz z modułem \"Qarn_tzak_fakt_zbiorcza\".\n\n"
      "MODUŁ NIE ZOSTANIE ZAŁADOWANY!!!\n");
  // texts: title, format, the host's formatted result
  EXPECT_EQ(calls[0].texts, (std::vector<std::string>{"STOP!!!", format, shown}));
  EXPECT_EQ(calls[0].ints.at(2), kStopFlags);
}

struct PathCase {
  const char* label;
  std::string path;
  std::string fileName;
};

const std::vector<PathCase> kPathCases = {
    {"file name after the last backslash", "C:\\A\\B\\wtyczka.dll", "wtyczka.dll"},
    {"no backslash: the whole path", "wtyczka.dll", "wtyczka.dll"},
    {"empty path: emphasis closes at once", "", ""},
    {"trailing backslash: empty name", "C:\\WTYCZKI\\", ""},
    {"network path", "\\\\serwer\\udzial\\q.dll", "q.dll"},
    {"forward slashes are not separators", "C:/A/B/q.dll", "C:/A/B/q.dll"},
    {"longest path without backslash", std::string(299, 'x'), std::string(299, 'x')},
    {"record full without terminator: cut at 299", std::string(300, 'y'), std::string(299, 'y')},
};

TEST_F(HandshakeTest, ReportTailNamesTheModuleFile) {
  for (const PathCase& c : kPathCases) {
    SCOPED_TRACE(c.label);
    ResetProcess();
    SetModulePath(c.path);
    Host().SetTable(kTableDDek, 2419);
    ASSERT_EQ(RecordSizeHandshake(), 0);
    EXPECT_EQ(ReportText(), ExpectedReport({{"d_dek", "2418", "2419"}}, c.fileName));
  }
}

TEST_F(HandshakeTest, EmptyModulePathPutsEmphasisOpenAndCloseTogether) {
  SetModulePath("");
  Host().SetTable(kTableK9, 1);
  RecordSizeHandshake();
  EXPECT_NE(ReportText().find(Utf8ToMazovia("Moduł wtyczki \x02\x01\nNIE")), std::string::npos);
}

TEST_F(HandshakeTest, RepeatedAcceptedAttachKeepsOneHookAndTheSameList) {
  Host().SetTable(kTableK9, 1000);
  Host().SetTable(kTableDDek, 2000);
  ASSERT_EQ(RecordSizeHandshake(), 0);
  const std::vector<const TableSizeNode*> first = Listed();
  const std::string firstReport = ReportText();

  for (int again = 0; again < 2; ++again) {
    SCOPED_TRACE(again);
    Host().ClearCalls();
    EXPECT_EQ(RecordSizeHandshake(), 0);
    // The notice runs at every accepted attach.
    EXPECT_EQ(Host().CallsTo(kOrdHostShowDialog).size(), 1u);
    EXPECT_EQ(Listed(), first);
    EXPECT_EQ(ReportText(), firstReport);
  }
  EXPECT_EQ(first, (std::vector<const TableSizeNode*>{&g_dDekNode, &g_k9Node}));

  // One hook: the saved handler is still the host's, so a forwarded action reaches the host
  // once and never comes back into the hook.
  HostTable document = Host().Table(kTableDocument);
  EXPECT_EQ(g_savedHandler, sim::HostModel::DefaultActionHandler());
  Host().ClearCalls();
  Host().SetHandlerResult(77);
  EXPECT_EQ(TableActionHandler(document)(22, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10), 77);
  EXPECT_EQ(Host().CallsTo(sim::HostModel::kHandlerOrdinal).size(), 1u);
}

TEST_F(HandshakeTest, RepeatedRefusedAttachListsTheDocumentTableTwiceNotMore) {
  Host().SetTable(kTableDocument, 1900);
  HostTable document = Host().Table(kTableDocument);
  const std::string expected = ExpectedReport(
      {{"Qarn_wyc", "1890", "1900"}, {"Qarn_wyc", "1890", "1900"}}, "qarn_zak_fakt_zbiorcza.dll");
  for (int attach = 0; attach < 3; ++attach) {
    SCOPED_TRACE(attach);
    Host().ClearCalls();
    EXPECT_EQ(RecordSizeHandshake(), -1);
    EXPECT_EQ(Host().CallsTo(kOrdHostErrorMessage).size(), 1u);
    EXPECT_EQ(Listed(), (std::vector<const TableSizeNode*>{&g_documentNode, &g_hookNode}));
    EXPECT_EQ(TableActionHandler(document), sim::HostModel::DefaultActionHandler());
    EXPECT_EQ(g_hookedTable, nullptr);
    EXPECT_EQ(ReportText(), expected);
  }
}

TEST_F(HandshakeTest, ReportReadsTheListWithoutChangingIt) {
  Host().SetTable(kTableDDek, 1);
  Host().SetTable(kTableDocument, 2);
  Host().SetTable(kTableK9, 3);
  ASSERT_EQ(RecordSizeHandshake(), -1);
  const std::vector<const TableSizeNode*> before = Listed();
  ASSERT_EQ(before, (std::vector<const TableSizeNode*>{&g_dDekNode, &g_documentNode, &g_k9Node,
                                                       &g_hookNode}));
  const std::string first = ReportText();
  EXPECT_EQ(ReportText(), first);
  EXPECT_EQ(Listed(), before);
}

TEST_F(HandshakeTest, ReportNeverOutgrowsItsBuffer) {
  // More rows than any attach can make: the text is cut at the buffer's end, never past it.
  const std::string longName(120, 'T');
  std::vector<TableSizeNode> nodes(40);
  std::vector<Row> rows;
  for (TableSizeNode& node : nodes) {
    FillTableSizeNode(&node, longName.c_str(), 1890, nullptr);
    NoteTableSize(&node);
    rows.push_back({longName, "1890", "brak"});
  }
  const std::string whole = ExpectedReport(rows, "qarn_zak_fakt_zbiorcza.dll");
  ASSERT_GT(whole.size(), static_cast<size_t>(kReportBufferSize));
  const std::string text = ReportText();
  EXPECT_EQ(text.size(), static_cast<size_t>(kReportBufferSize - 1));
  EXPECT_EQ(text, whole.substr(0, kReportBufferSize - 1));
  g_mismatchList = nullptr;
}

}  // namespace
