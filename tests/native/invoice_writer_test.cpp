// The collective invoice writer against the simulated host: the file's exact bytes, the order of
// the host calls, the price rule's branches, the failed-read and open-failure ends, and record
// text fields that never run past their spans.
#include "export/invoice_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "export/document_hook.h"
#include "handshake/mismatch_list.h"
#include "sim/host_model.h"
#include "tests/native/document_fixture.h"

namespace {

using fixture::DocumentFields;

constexpr int32_t kReadSource = 4711;
constexpr uintptr_t kReadArg6 = 0x1234;
constexpr uintptr_t kReadArg8 = 0x5678;

// The eleven fixed lines every file starts with.
std::string FileHeader(const std::string& date) {
  return "[Info]\n"
         "Program=KORVANT QARN_ZAK_FAKT_ZBIORCZA\n"
         "Kodowanie=Windows 1250\n"
         "[Dokument]\n"
         "Rejestr=FakturySpr\n"
         "SymbolKontrahenta=Import\n"
         "TypDok=1\n"
         "DataSprzed=" +
         date +
         "\n"
         "DataWyst=" +
         date +
         "\n"
         "\n"
         "[ZawartoscDokumentu]\n";
}

// The ten field lines of one position, as the file must show them (Windows-1250).
struct PositionLines {
  std::string nazwa = "Towar";
  std::string symbol = "SYM-1";
  std::string jm = "szt";
  std::string ilosc = "1.000";
  std::string pkwiu = "10.71";
  std::string rabat = "0.00";
  std::string vat = "23";
  std::string netto = "1.23";
  std::string brutto = "1.51";
  std::string mag = "2";
};

std::string PositionBlock(const std::string& number, const PositionLines& l) {
  return "[Poz" + number + "]\nNazwa=" + l.nazwa + "\nSymbol=" + l.symbol + "\nJm=" + l.jm +
         "\nIlosc=" + l.ilosc + "\nPKWIU=" + l.pkwiu + "\nRabat=" + l.rabat + "\nVat=" + l.vat +
         "\nCenaNetto=" + l.netto + "\nCenaBrutto=" + l.brutto + "\nMag=" + l.mag + "\n";
}

// A record that is exported with the lines of a default PositionLines: unit value 50 without
// an article key, so the record's own prices 12300 and 15129 are written.
DocumentFields PlainRecord(const std::string& name = "Towar", int32_t quantity = 1000) {
  DocumentFields f;
  f.name = name;
  f.symbol = "SYM-1";
  f.unit = "szt";
  f.quantity = quantity;
  f.classification = "10.71";
  f.netPrice = 12300.0;
  f.grossPrice = 15129.0;
  f.warehouse = 2;
  f.value = 50.0 * quantity / 1000.0;
  return f;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The one line of `text` that starts with `key` ("CenaNetto="); fails when there is none or
// more than one.
std::string LineWith(const std::string& text, const std::string& key) {
  std::optional<std::string> found;
  for (const std::string& line : Lines(text)) {
    if (line.compare(0, key.size(), key) != 0) continue;
    EXPECT_FALSE(found.has_value()) << "two lines start with " << key;
    found = line;
  }
  EXPECT_TRUE(found.has_value()) << "no line starts with " << key;
  return found.value_or("");
}

class InvoiceWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_hookedTable = nullptr;
    g_mismatchList = nullptr;
    sim::Host().Reset();
    scratch_ = std::make_unique<fixture::ScratchDirectory>("writer");
  }
  void TearDown() override { sim::Host().Reset(); }

  static void SetRecords(const std::vector<DocumentFields>& fields) {
    std::vector<std::vector<unsigned char>> records;
    for (const DocumentFields& f : fields) records.push_back(fixture::BuildDocumentRecord(f));
    sim::Host().SetDocumentRecords(std::move(records));
  }

  // Runs the writer as the hook does, on the simulated host's two record buffers.
  static void Run(int32_t count) {
    sim::HostModel& host = sim::Host();
    const int32_t source = kReadSource;
    WriteCollectiveInvoice(&count, kReadArg6, &source, kReadArg8, host.RecordBuffer(kTableDocument),
                           host.RecordBuffer(kTableK9));
  }

  static std::string File() { return sim::Host().FileText(kInvoiceFileName); }

  std::unique_ptr<fixture::ScratchDirectory> scratch_;
};

TEST_F(InvoiceWriterTest, CountZeroWritesOnlyTheFixedBlocksAndReportsSuccess) {
  sim::HostModel& host = sim::Host();
  Run(0);

  EXPECT_EQ(File(), FileHeader("2026-12-11"));
  const std::vector<unsigned> expected = {
      kOrdHostFileOpen,     kOrdHostFilePrintf,    kOrdHostTodayText, kOrdHostFilePrintf,
      kOrdHostProgressOpen, kOrdHostProgressClose, kOrdHostFileClose, kOrdHostMessage};
  EXPECT_EQ(host.Ordinals(), expected);

  const sim::Call open = host.CallsTo(kOrdHostFileOpen).at(0);
  EXPECT_EQ(open.texts, (std::vector<std::string>{"qarn_zak_fakt_zbiorcza.txt", "wt"}));
  EXPECT_EQ(std::vector<int64_t>(open.ints.begin() + 2, open.ints.end()),
            (std::vector<int64_t>{64, 0, -1}));
  EXPECT_EQ(host.CallsTo(kOrdHostProgressOpen).at(0).ints, (std::vector<int64_t>{812}));
  // Both fixed blocks are the host's formats, the second with the date twice.
  const std::vector<sim::Call> printed = host.CallsTo(kOrdHostFilePrintf);
  EXPECT_EQ(printed.at(0).texts.at(0),
            "[Info]\nProgram=KORVANT QARN_ZAK_FAKT_ZBIORCZA\nKodowanie=Windows 1250\n");
  EXPECT_EQ(printed.at(1).texts.at(0),
            "[Dokument]\nRejestr=FakturySpr\nSymbolKontrahenta=Import\nTypDok=1\nDataSprzed=%s\n"
            "DataWyst=%s\n\n[ZawartoscDokumentu]\n");

  const sim::Call message = host.CallsTo(kOrdHostMessage).at(0);
  EXPECT_EQ(message.texts.at(0), "Uwaga");
  EXPECT_EQ(message.texts.at(1),
            sim::Utf8ToMazovia("Zapisano fakturę do pliku qarn_zak_fakt_zbiorcza.txt"));
  EXPECT_EQ(message.ints.at(2), 0x5001);
}

TEST_F(InvoiceWriterTest, NegativeCountReadsNoRecord) {
  SetRecords({PlainRecord()});
  Run(-3);

  EXPECT_EQ(File(), FileHeader("2026-12-11"));
  EXPECT_TRUE(sim::Host().CallsTo(kOrdHostReadRecord).empty());
  EXPECT_TRUE(sim::Host().CallsTo(kOrdHostProgressStep).empty());
  EXPECT_EQ(sim::Host().CallsTo(kOrdHostMessage).size(), 1u);
}

TEST_F(InvoiceWriterTest, TwentyFiveRecordsBecomeTwentyFivePositionsWithProgressEveryTen) {
  sim::HostModel& host = sim::Host();
  std::vector<DocumentFields> records;
  std::string expected = FileHeader("2026-12-11");
  for (int i = 0; i < 25; ++i) {
    char name[16];
    char number[8];
    std::snprintf(name, sizeof name, "Towar %02d", i);
    std::snprintf(number, sizeof number, "%02d", i + 1);
    records.push_back(PlainRecord(name, (i + 1) * 1000));
    PositionLines lines;
    lines.nazwa = name;
    lines.ilosc = std::to_string(i + 1) + ".000";
    expected += PositionBlock(number, lines);
  }
  SetRecords(records);

  Run(25);

  EXPECT_EQ(File(), expected);

  // Each record read once, in order, with the host's read arguments.
  const std::vector<sim::Call> reads = host.CallsTo(kOrdHostReadRecord);
  ASSERT_EQ(reads.size(), 25u);
  for (int i = 0; i < 25; ++i) {
    EXPECT_EQ(reads[i].ints, (std::vector<int64_t>{kReadSource, i, kReadArg6, 0, kReadArg8}));
  }

  // Progress at records 0, 10 and 20: a step, then a poll, then that record's read.
  const std::vector<sim::Call>& calls = host.Calls();
  std::vector<std::vector<int64_t>> steps;
  for (size_t k = 0; k < calls.size(); ++k) {
    if (calls[k].ordinal != kOrdHostProgressStep) continue;
    steps.push_back(calls[k].ints);
    ASSERT_LT(k + 2, calls.size());
    EXPECT_EQ(calls[k + 1].ordinal, kOrdHostProgressPoll);
    EXPECT_EQ(calls[k + 2].ordinal, kOrdHostReadRecord);
    EXPECT_EQ(calls[k + 2].ints.at(1), calls[k].ints.at(0));
  }
  EXPECT_EQ(steps, (std::vector<std::vector<int64_t>>{{0, 25}, {10, 25}, {20, 25}}));
  EXPECT_EQ(host.CallsTo(kOrdHostProgressPoll).size(), 3u);
  EXPECT_EQ(host.CallsTo(kOrdHostMessage).at(0).ints.at(2), 0x5001);
}

TEST_F(InvoiceWriterTest, HundredthPositionHasThreeDigits) {
  std::vector<DocumentFields> records(100, PlainRecord());
  SetRecords(records);
  Run(100);

  const std::vector<std::string> lines = Lines(File());
  EXPECT_EQ(lines.at(11), "[Poz01]");
  EXPECT_EQ(lines.at(11 + 11 * 98), "[Poz99]");
  EXPECT_EQ(lines.at(11 + 11 * 99), "[Poz100]");
  EXPECT_EQ(lines.size(), 11u + 11u * 100u);
}

TEST_F(InvoiceWriterTest, SkippedRecordsLeaveNoGapInTheNumbering) {
  DocumentFields noName = PlainRecord("", 1000);
  DocumentFields noQuantity = PlainRecord("Zero", 0);
  SetRecords({PlainRecord("Pierwszy"), noName, PlainRecord("Drugi", -2000), noQuantity,
              PlainRecord("Trzeci")});

  Run(5);

  PositionLines first, second, third;
  first.nazwa = "Pierwszy";
  second.nazwa = "Drugi";
  second.ilosc = "-2.000";
  third.nazwa = "Trzeci";
  EXPECT_EQ(File(), FileHeader("2026-12-11") + PositionBlock("01", first) +
                        PositionBlock("02", second) + PositionBlock("03", third));
  EXPECT_EQ(sim::Host().CallsTo(kOrdHostReadRecord).size(), 5u);
}

TEST_F(InvoiceWriterTest, FailedReadOfAnExportedRecordWritesItsBlockThenStops) {
  sim::HostModel& host = sim::Host();
  std::vector<DocumentFields> records;
  std::string expected = FileHeader("2026-12-11");
  for (int i = 0; i < 8; ++i) {
    const std::string name = "Towar " + std::to_string(i);
    records.push_back(PlainRecord(name));
    PositionLines lines;
    lines.nazwa = name;
    if (i <= 5) expected += PositionBlock("0" + std::to_string(i + 1), lines);
  }
  SetRecords(records);
  host.FailReadAt(5);

  Run(8);

  EXPECT_EQ(File(), expected);
  const std::vector<sim::Call> reads = host.CallsTo(kOrdHostReadRecord);
  ASSERT_EQ(reads.size(), 6u);
  EXPECT_EQ(reads.back().ints.at(1), 5);

  const std::vector<unsigned> ordinals = host.Ordinals();
  const std::vector<unsigned> tail(ordinals.end() - 3, ordinals.end());
  EXPECT_EQ(tail,
            (std::vector<unsigned>{kOrdHostProgressClose, kOrdHostFileClose, kOrdHostMessage}));
  const std::vector<sim::Call> messages = host.CallsTo(kOrdHostMessage);
  ASSERT_EQ(messages.size(), 1u);  // no success message
  EXPECT_EQ(messages[0].texts.at(0), "Uwaga");
  EXPECT_EQ(messages[0].texts.at(1),
            sim::Utf8ToMazovia(
                "Błąd od_fseek we wtyczce Qarn_wyc_fakt_zbiorcza!\nOperacja niekompletna"));
  EXPECT_EQ(messages[0].ints.at(2), 1);
}

TEST_F(InvoiceWriterTest, FailedReadOfASkippedRecordGoesUnnoticed) {
  sim::HostModel& host = sim::Host();
  SetRecords({PlainRecord("Pierwszy"), PlainRecord("", 1000), PlainRecord("Drugi")});
  host.FailReadAt(1);

  Run(3);

  PositionLines first, second;
  first.nazwa = "Pierwszy";
  second.nazwa = "Drugi";
  EXPECT_EQ(File(),
            FileHeader("2026-12-11") + PositionBlock("01", first) + PositionBlock("02", second));
  EXPECT_EQ(host.CallsTo(kOrdHostMessage).at(0).ints.at(2), 0x5001);
}

TEST_F(InvoiceWriterTest, OpenFailureShowsOnlyTheErrorMessage) {
  sim::HostModel& host = sim::Host();
  host.FailFileOpen(true);
  SetRecords({PlainRecord()});

  Run(1);

  EXPECT_EQ(host.Ordinals(), (std::vector<unsigned>{kOrdHostFileOpen, kOrdHostErrorMessage}));
  EXPECT_EQ(host.CallsTo(kOrdHostErrorMessage).at(0).texts.at(0),
            sim::Utf8ToMazovia("Nie udało się zapisać faktury do pliku"));
  EXPECT_FALSE(std::filesystem::exists(scratch_->File(kInvoiceFileName)));
}

TEST_F(InvoiceWriterTest, DateTextWithoutTerminatorIsCutAtElevenCharacters) {
  sim::Host().SetTodayText("2026-12-11XY");  // all 12 bytes, no terminator
  Run(0);
  EXPECT_EQ(File(), FileHeader("2026-12-11X"));
}

// ---- single field lines --------------------------------------------------------------------

struct LineCase {
  const char* behaviour;
  void (*tweak)(DocumentFields&);
  void (*script)(sim::HostModel&);
  const char* key;
  std::string expected;  // the whole line, Windows-1250
};

class InvoiceLineTest : public InvoiceWriterTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(InvoiceLineTest, WritesTheLine) {
  const LineCase& c = GetParam();
  DocumentFields f = PlainRecord();
  if (c.tweak) c.tweak(f);
  SetRecords({f});
  if (c.script) c.script(sim::Host());

  Run(1);

  EXPECT_EQ(LineWith(File(), c.key), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InvoiceLineTest,
    ::testing::Values(
        LineCase{"name_with_polish_letters_and_percent",
                 [](DocumentFields& f) {
                   f.name = sim::Utf8ToMazovia("Łódź żółć 100% %d %s ąęśńćŚŹŻĄĆĘŁŃÓ");
                 },
                 nullptr, "Nazwa=",
                 "Nazwa=" + sim::Utf8ToWindows1250("Łódź żółć 100% %d %s ąęśńćŚŹŻĄĆĘŁŃÓ")},
        LineCase{"symbol_in_windows_1250",
                 [](DocumentFields& f) { f.symbol = sim::Utf8ToMazovia("ŚRUBA-ł"); }, nullptr,
                 "Symbol=", "Symbol=" + sim::Utf8ToWindows1250("ŚRUBA-ł")},
        LineCase{"unit_in_windows_1250",
                 [](DocumentFields& f) { f.unit = sim::Utf8ToMazovia("ręcznik"); }, nullptr,
                 "Jm=", "Jm=" + sim::Utf8ToWindows1250("ręcznik")},
        LineCase{"classification_code", [](DocumentFields& f) { f.classification = "15.81.11"; },
                 nullptr, "PKWIU=", "PKWIU=15.81.11"},
        LineCase{"empty_classification_code", [](DocumentFields& f) { f.classification = ""; },
                 nullptr, "PKWIU=", "PKWIU="},
        LineCase{"quantity_in_thousandths",
                 [](DocumentFields& f) {
                   f.quantity = 1500;
                   f.value = 75.0;
                 },
                 nullptr, "Ilosc=", "Ilosc=1.500"},
        LineCase{"negative_quantity_is_exported",
                 [](DocumentFields& f) {
                   f.quantity = -2000;
                   f.value = -100.0;
                 },
                 nullptr, "Ilosc=", "Ilosc=-2.000"},
        LineCase{"discount_in_thousandths", [](DocumentFields& f) { f.discount = 5000.0; }, nullptr,
                 "Rabat=", "Rabat=5.00"},
        LineCase{"negative_zero_discount_has_no_minus",
                 [](DocumentFields& f) { f.discount = -0.0; }, nullptr, "Rabat=", "Rabat=0.00"},
        LineCase{"tiny_negative_discount_keeps_its_minus",
                 [](DocumentFields& f) { f.discount = -1.0; }, nullptr, "Rabat=", "Rabat=-0.00"},
        LineCase{"vat_text_of_the_code", [](DocumentFields& f) { f.vatCode = 7; },
                 [](sim::HostModel& h) { h.SetVatText(7, sim::Utf8ToMazovia("zwół")); },
                 "Vat=", "Vat=" + sim::Utf8ToWindows1250("zwół")},
        LineCase{"vat_text_null_writes_an_empty_rate", [](DocumentFields& f) { f.vatCode = 9; },
                 [](sim::HostModel& h) { h.SetVatText(9, std::nullopt); }, "Vat=", "Vat="},
        LineCase{"warehouse_0xFFFF_is_minus_one",
                 [](DocumentFields& f) { f.warehouse = static_cast<int16_t>(0xFFFF); }, nullptr,
                 "Mag=", "Mag=-1"},
        LineCase{"warehouse_zero", [](DocumentFields& f) { f.warehouse = 0; }, nullptr,
                 "Mag=", "Mag=0"}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return info.param.behaviour; });

TEST_F(InvoiceWriterTest, VatTextIsAskedForThroughTheRecordsCode) {
  sim::HostModel& host = sim::Host();
  DocumentFields f = PlainRecord();
  f.vatCode = 0xBEEF;
  SetRecords({f});

  Run(1);

  const std::vector<sim::Call> vat = host.CallsTo(kOrdHostVatText);
  ASSERT_EQ(vat.size(), 1u);
  // 0, 0, the code's place in the document record buffer, 'S'; then the code the host read.
  EXPECT_EQ(
      vat[0].ints,
      (std::vector<int64_t>{
          0, 0, sim::AddressValue(host.RecordBuffer(kTableDocument) + document_record::kVatCode),
          'S', 0xBEEF}));
}

// ---- the price rule ------------------------------------------------------------------------

struct PriceCase {
  const char* behaviour;
  double value;
  int32_t quantity;
  uint16_t articleKey;
  std::optional<int> findResult;  // scripted k9 search; nullopt: the lookup must not run
  double k9Net;
  double k9Gross;
  std::string netto;                   // expected line values
  std::string brutto;                  // empty: the host's own rounding of NaN, not checked
  std::optional<double> grossPriceOf;  // HostGrossPrice's net argument, when computed
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class InvoicePriceTest : public InvoiceWriterTest,
                         public ::testing::WithParamInterface<PriceCase> {};

TEST_P(InvoicePriceTest, ChoosesThePrices) {
  const PriceCase& c = GetParam();
  sim::HostModel& host = sim::Host();
  DocumentFields f = PlainRecord();  // own prices 12300 / 15129
  f.value = c.value;
  f.quantity = c.quantity;
  f.articleKey = c.articleKey;
  f.vatCode = 5;
  SetRecords({f});
  host.SetVatRate(5, 8.0);
  if (c.findResult) host.SetFindResult(*c.findResult, fixture::BuildK9Record(c.k9Net, c.k9Gross));

  Run(1);

  const std::string file = File();
  EXPECT_EQ(LineWith(file, "CenaNetto="), "CenaNetto=" + c.netto);
  if (!c.brutto.empty()) {
    EXPECT_EQ(LineWith(file, "CenaBrutto="), "CenaBrutto=" + c.brutto);
  }

  const std::vector<sim::Call> finds = host.CallsTo(kOrdHostFindRecord);
  EXPECT_EQ(finds.size(), c.findResult ? 1u : 0u);
  if (c.findResult && !finds.empty()) {
    EXPECT_EQ(finds[0].ints, (std::vector<int64_t>{-1, 0}));
    EXPECT_EQ(host.ContextWordAtSearch(), 2);  // the record's warehouse
    EXPECT_EQ(host.ContextLongAtSearch(), static_cast<int16_t>(c.articleKey));
  }

  const std::vector<sim::Call> gross = host.CallsTo(kOrdHostGrossPrice);
  const std::vector<sim::Call> rounds = host.CallsTo(kOrdHostRoundToInt);
  if (!c.grossPriceOf) {
    EXPECT_TRUE(gross.empty());
    EXPECT_TRUE(rounds.empty());
    return;
  }
  ASSERT_EQ(gross.size(), 1u);
  ASSERT_EQ(rounds.size(), 1u);
  EXPECT_EQ(gross[0].ints, (std::vector<int64_t>{2, 5, 100}));
  ASSERT_EQ(gross[0].doubles.size(), 1u);
  ASSERT_EQ(rounds[0].doubles.size(), 1u);
  if (std::isnan(*c.grossPriceOf)) {
    EXPECT_TRUE(std::isnan(gross[0].doubles[0]));
  } else {
    EXPECT_EQ(gross[0].doubles[0], *c.grossPriceOf);
    // What the host computed is what it is asked to round.
    EXPECT_EQ(rounds[0].doubles[0], *c.grossPriceOf * 108.0 / 100.0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InvoicePriceTest,
    ::testing::Values(
        // Unit value = value / (quantity * 0.001).
        PriceCase{"large_unit_value_is_the_net_price", 1234500.0, 1000, 0, std::nullopt, 0, 0,
                  "123.45", "133.33", 1234500.0},
        PriceCase{"unit_value_divides_by_the_quantity", 2469000.0, 2000, 0, std::nullopt, 0, 0,
                  "123.45", "133.33", 1234500.0},
        PriceCase{"gross_price_is_rounded_by_the_host", 1234567.0, 1000, 0, std::nullopt, 0, 0,
                  "123.46", "133.33", 1234567.0},
        PriceCase{"unit_value_exactly_100_is_computed_even_with_a_key", 100.0, 1000, 7,
                  std::nullopt, 0, 0, "0.01", "0.01", 100.0},
        PriceCase{"nan_unit_value_is_computed", kNaN, 1000, 7, std::nullopt, 0, 0, "nan", "", kNaN},
        PriceCase{"small_unit_value_without_key_takes_the_record_prices", 50.0, 1000, 0,
                  std::nullopt, 0, 0, "1.23", "1.51", std::nullopt},
        PriceCase{"negative_unit_value_is_below_the_threshold", -100.0, 2000, 0, std::nullopt, 0, 0,
                  "1.23", "1.51", std::nullopt},
        PriceCase{"lookup_not_found_takes_the_record_prices", 50.0, 1000, 7, 0, 500000.0, 600000.0,
                  "1.23", "1.51", std::nullopt},
        PriceCase{"lookup_low_bits_zero_counts_as_not_found", 50.0, 1000, 7, 0x10000, 500000.0,
                  600000.0, "1.23", "1.51", std::nullopt},
        PriceCase{"k9_net_below_100_takes_the_record_prices", 50.0, 1000, 7, 1, 99.0, 600000.0,
                  "1.23", "1.51", std::nullopt},
        PriceCase{"k9_net_exactly_100_is_used", 50.0, 1000, 7, 1, 100.0, 250000.0, "0.01", "25.00",
                  std::nullopt},
        PriceCase{"k9_prices_are_used", 99.0, 1000, 40000, 1, 123456.0, 151851.0, "12.35", "15.19",
                  std::nullopt},
        PriceCase{"k9_nan_net_is_used", 50.0, 1000, 7, 1, kNaN, 250000.0, "nan", "25.00",
                  std::nullopt}),
    [](const ::testing::TestParamInfo<PriceCase>& info) { return info.param.behaviour; });

TEST_F(InvoiceWriterTest, LookupGetsTheWarehouseAsAnUnsigned16BitValue) {
  sim::HostModel& host = sim::Host();
  DocumentFields f = PlainRecord();
  f.warehouse = static_cast<int16_t>(0xFFFF);
  f.articleKey = 40000;
  SetRecords({f});
  host.SetContext(77, 7777);
  host.SetFindResult(1, fixture::BuildK9Record(5000.0, 6150.0));

  Run(1);

  EXPECT_EQ(host.ContextWordAtSearch(), -1);
  EXPECT_EQ(host.ContextLongAtSearch(), -25536);
  EXPECT_EQ(host.ContextWord(), 77);
  EXPECT_EQ(host.ContextLong(), 7777);
  EXPECT_EQ(LineWith(File(), "CenaNetto="), "CenaNetto=0.50");
  EXPECT_EQ(LineWith(File(), "Mag="), "Mag=-1");
}

TEST_F(InvoiceWriterTest, MissingK9TableFallsBackToTheRecordPrices) {
  sim::HostModel& host = sim::Host();
  DocumentFields f = PlainRecord();
  f.articleKey = 7;
  SetRecords({f});
  host.RemoveTable(kTableK9);
  const int32_t count = 1;
  const int32_t source = kReadSource;

  // The hook hands over no k9 buffer when the host has no k9 table.
  WriteCollectiveInvoice(&count, kReadArg6, &source, kReadArg8, host.RecordBuffer(kTableDocument),
                         nullptr);

  EXPECT_EQ(LineWith(File(), "CenaNetto="), "CenaNetto=1.23");
  EXPECT_EQ(LineWith(File(), "CenaBrutto="), "CenaBrutto=1.51");
  const std::vector<sim::Call> messages = host.CallsTo(kOrdHostMessage);
  ASSERT_EQ(messages.size(), 2u);  // the lookup's disk error, then the success message
  EXPECT_EQ(messages[0].ints.at(2), 1);
  EXPECT_EQ(messages[1].ints.at(2), 0x5001);
  EXPECT_TRUE(host.CallsTo(kOrdHostFindRecord).empty());
}

TEST_F(InvoiceWriterTest, NullK9BufferIsNeverReadEvenWhenTheSearchFindsARecord) {
  sim::HostModel& host = sim::Host();
  DocumentFields f = PlainRecord();
  f.articleKey = 7;
  SetRecords({f});
  host.SetFindResult(1, fixture::BuildK9Record(500000.0, 600000.0));
  const int32_t count = 1;
  const int32_t source = kReadSource;

  WriteCollectiveInvoice(&count, kReadArg6, &source, kReadArg8, host.RecordBuffer(kTableDocument),
                         nullptr);

  EXPECT_EQ(host.CallsTo(kOrdHostFindRecord).size(), 1u);
  EXPECT_EQ(LineWith(File(), "CenaNetto="), "CenaNetto=1.23");
  EXPECT_EQ(LineWith(File(), "CenaBrutto="), "CenaBrutto=1.51");
}

// ---- record text fields stay inside their spans --------------------------------------------

TEST_F(InvoiceWriterTest, TextsWithoutTerminatorAreCutAtTheirSpans) {
  namespace doc = document_record;
  // Exactly one record's size, so a read past the record's end is caught by ASan; every byte
  // non-zero so an unbounded text would run on into the next field.
  std::vector<unsigned char> record(doc::kSize, 'x');
  std::fill(record.begin() + doc::kName, record.begin() + doc::kNameEnd, 'N');
  std::fill(record.begin() + doc::kSymbol, record.begin() + doc::kSymbolEnd, 'S');
  std::fill(record.begin() + doc::kUnit, record.begin() + doc::kUnitEnd, 'U');
  std::fill(record.begin() + doc::kClassification, record.begin() + doc::kClassificationEnd, 'K');
  WriteAt(record.data(), doc::kArticleKey, uint16_t{0});
  WriteAt(record.data(), doc::kValue, 0.0);  // unit value 0: the record's own prices
  const int32_t count = 1;
  const int32_t source = kReadSource;
  std::vector<unsigned char> k9(k9_record::kSize, 0);

  WriteCollectiveInvoice(&count, kReadArg6, &source, kReadArg8, record.data(), k9.data());

  const std::string file = File();
  EXPECT_EQ(LineWith(file, "Nazwa="), "Nazwa=" + std::string(121, 'N'));
  EXPECT_EQ(LineWith(file, "Symbol="), "Symbol=" + std::string(38, 'S'));
  EXPECT_EQ(LineWith(file, "Jm="), "Jm=" + std::string(414, 'U'));
  EXPECT_EQ(LineWith(file, "PKWIU="), "PKWIU=" + std::string(15, 'K'));
  EXPECT_EQ(LineWith(file, "Mag="), "Mag=" + std::to_string(0x7878));
}

}  // namespace
