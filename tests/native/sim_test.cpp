// The simulated host itself: the other tests trust its conversions, its bookkeeping of blocks,
// settings and files, and its scripted answers, so those are checked here through the same
// entry functions the plug-in calls.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "host/host_entries.h"
#include "host/host_types.h"
#include "sim/host_model.h"

namespace {

class SimHostTest : public ::testing::Test {
 protected:
  void SetUp() override { sim::Host().Reset(); }
  void TearDown() override { sim::Host().Reset(); }
};

// Reaches HostProfile the way the plug-in's front end does: its one further argument travels
// in a va_list.
int Profile(int mode, const char* section, const char* key, const char* format, ...) {
  va_list argument;
  va_start(argument, format);
  const int result = HostProfile(mode, section, key, format, argument);
  va_end(argument);
  return result;
}

struct LetterCase {
  const char* utf8;
  unsigned char mazovia;
  unsigned char windows1250;
};
const LetterCase kLetters[] = {
    {"ą", 0x86, 0xB9}, {"ć", 0x8D, 0xE6}, {"ę", 0x91, 0xEA}, {"ł", 0x92, 0xB3}, {"ń", 0xA4, 0xF1},
    {"ó", 0xA2, 0xF3}, {"ś", 0x9E, 0x9C}, {"ź", 0xA6, 0x9F}, {"ż", 0xA7, 0xBF}, {"Ą", 0x8F, 0xA5},
    {"Ć", 0x95, 0xC6}, {"Ę", 0x90, 0xCA}, {"Ł", 0x9C, 0xA3}, {"Ń", 0xA5, 0xD1}, {"Ó", 0xA3, 0xD3},
    {"Ś", 0x98, 0x8C}, {"Ź", 0xA0, 0x8F}, {"Ż", 0xA1, 0xAF},
};

TEST_F(SimHostTest, EveryPolishLetterMapsBothWaysAndThroughTheHost) {
  for (const LetterCase& letter : kLetters) {
    SCOPED_TRACE(letter.utf8);
    const std::string mazovia(1, static_cast<char>(letter.mazovia));
    const std::string windows(1, static_cast<char>(letter.windows1250));
    EXPECT_EQ(sim::Utf8ToMazovia(letter.utf8), mazovia);
    EXPECT_EQ(sim::Utf8ToWindows1250(letter.utf8), windows);
    EXPECT_EQ(sim::MazoviaToWindows1250(mazovia), windows);
    EXPECT_EQ(sim::Windows1250ToMazovia(windows), mazovia);

    char buffer[4] = {'x', static_cast<char>(letter.mazovia), 'y', '\0'};
    HostConvertText(buffer, buffer, kCodeMazovia, kCodeWindows1250);
    EXPECT_EQ(std::string(buffer), "x" + windows + "y");
  }
}

TEST_F(SimHostTest, AsciiPassesEveryConversionUnchanged) {
  std::string ascii;
  for (int c = 1; c < 0x80; ++c) ascii.push_back(static_cast<char>(c));
  EXPECT_EQ(sim::Utf8ToMazovia(ascii), ascii);
  EXPECT_EQ(sim::Utf8ToWindows1250(ascii), ascii);
  EXPECT_EQ(sim::MazoviaToWindows1250(ascii), ascii);

  std::vector<char> destination(ascii.size() + 8, '#');
  HostConvertText(destination.data(), ascii.c_str(), kCodeMazovia, kCodeWindows1250);
  EXPECT_EQ(std::string(destination.data()), ascii);
}

TEST_F(SimHostTest, Utf8HelpersKeepSingleByteTextAndRefuseOtherCharacters) {
  // A Mazovia path spliced into a UTF-8 template keeps its bytes.
  const std::string mazoviaPath = sim::Utf8ToMazovia("C:\\Księgowość");
  EXPECT_EQ(sim::Utf8ToMazovia("W module " + mazoviaPath + " ż"),
            "W module C:\\Ksi\x91gowo\x9E\x8D \xA7");
  EXPECT_EQ(sim::Utf8ToMazovia("\xC4"), "\xC4") << "a lead byte cut short";
  EXPECT_DEATH(sim::Utf8ToMazovia("café"), "no single-byte form");
  EXPECT_DEATH(sim::Utf8ToWindows1250("€"), "no single-byte form");
}

TEST_F(SimHostTest, ConvertTextInPlaceKeepsLengthTerminatesAndRecordsTheSource) {
  const std::string mazovia = sim::Utf8ToMazovia("Zażółć gęślą jaźń, ŻÓŁW!");
  std::vector<char> text(mazovia.begin(), mazovia.end());
  text.push_back('\0');
  text.push_back('@');  // a byte past the terminator must stay untouched

  HostConvertText(text.data(), text.data(), kCodeMazovia, kCodeWindows1250);

  EXPECT_EQ(std::string(text.data()), sim::Utf8ToWindows1250("Zażółć gęślą jaźń, ŻÓŁW!"));
  EXPECT_EQ(text[mazovia.size()], '\0');
  EXPECT_EQ(text[mazovia.size() + 1], '@');
  const std::vector<sim::Call> calls = sim::Host().CallsTo(kOrdHostConvertText);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].texts, std::vector<std::string>{mazovia});
  EXPECT_EQ(calls[0].ints[2], kCodeMazovia);
  EXPECT_EQ(calls[0].ints[3], kCodeWindows1250);
}

TEST_F(SimHostTest, CallocFailsOnlyOnTheScriptedCallAndTracksBlocks) {
  for (int nth = 1; nth <= 4; ++nth) {
    SCOPED_TRACE(nth);
    sim::Host().Reset();
    sim::Host().FailCallocAt(nth);
    std::vector<void*> blocks;
    for (int call = 1; call <= 4; ++call) {
      void* block = HostCalloc(1, 64);
      EXPECT_EQ(block == nullptr, call == nth) << "call " << call;
      if (block != nullptr) {
        const auto* bytes = static_cast<const unsigned char*>(block);
        for (int i = 0; i < 64; ++i) ASSERT_EQ(bytes[i], 0) << "byte " << i << " not zeroed";
        blocks.push_back(block);
      }
    }
    EXPECT_EQ(sim::Host().OutstandingBlocks(), 3);
    for (void* block : blocks) HostFree(block);
    EXPECT_EQ(sim::Host().OutstandingBlocks(), 0);
  }
}

TEST_F(SimHostTest, CallocNeverFailsUnscripted) {
  void* big = HostCalloc(1, 205825);
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(static_cast<unsigned char*>(big)[205824], 0);
  HostFree(big);
  const std::vector<sim::Call> callocs = sim::Host().CallsTo(kOrdHostCalloc);
  ASSERT_EQ(callocs.size(), 1u);
  EXPECT_EQ(callocs[0].ints, (std::vector<int64_t>{1, 205825}));
  EXPECT_EQ(sim::Host().CallsTo(kOrdHostFree)[0].ints[0], sim::AddressValue(big));
}

TEST_F(SimHostTest, FreeingABlockTheHostNeverGaveAbortsLoudly) {
  int notFromTheHost = 0;
  EXPECT_DEATH(HostFree(&notFromTheHost), "HostFree of a block the host never handed out");
  EXPECT_DEATH(HostFree(nullptr), "HostFree of a block the host never handed out");
  void* block = HostCalloc(1, 8);
  HostFree(block);
  EXPECT_DEATH(HostFree(block), "never handed out");  // twice is once too many
}

TEST_F(SimHostTest, ProfileReadsStoredSettingsWithTheFormat) {
  struct Case {
    const char* name;
    std::optional<std::string> stored;
    int expectedResult;
    int32_t expectedValue;  // the destination starts at 12345
  };
  const Case cases[] = {
      {"absent: not stored, destination untouched", std::nullopt, 1, 12345},
      {"zero", "0", 0, 0},
      {"one", "1", 0, 1},
      {"minus one", "-1", 0, -1},
      {"beyond 16 bits", "65536", 0, 65536},
      {"not a number: not stored", "abc", 1, 12345},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::Host().Reset();
    if (c.stored) sim::Host().SetSetting(kPluginName, "Pytaj", *c.stored);
    int32_t value = 12345;
    EXPECT_EQ(Profile(kProfileRead, kPluginName, "Pytaj", "%d", &value), c.expectedResult);
    EXPECT_EQ(value, c.expectedValue);
    const std::vector<sim::Call> calls = sim::Host().CallsTo(kOrdHostProfile);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].ints[0], kProfileRead);
    EXPECT_EQ(calls[0].ints[4], sim::AddressValue(&value));
    EXPECT_EQ(calls[0].texts, (std::vector<std::string>{kPluginName, "Pytaj", "%d"}));
  }
}

TEST_F(SimHostTest, ProfileWritesTheFormattedValueAndReadsItBack) {
  EXPECT_EQ(Profile(kProfileWrite, kPluginName, "Pytaj", "%d", -7), 0);
  EXPECT_EQ(sim::Host().Setting(kPluginName, "Pytaj"), std::optional<std::string>("-7"));
  EXPECT_EQ(sim::Host().Setting("other", "Pytaj"), std::nullopt);
  const std::vector<sim::Call> writes = sim::Host().CallsTo(kOrdHostProfile);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].ints[0], kProfileWrite);
  EXPECT_EQ(writes[0].ints[4], -7);

  int32_t value = 0;
  EXPECT_EQ(Profile(kProfileRead, kPluginName, "Pytaj", "%d", &value), 0);
  EXPECT_EQ(value, -7);
  sim::Host().EraseSetting(kPluginName, "Pytaj");
  EXPECT_EQ(Profile(kProfileRead, kPluginName, "Pytaj", "%d", &value), 1);
}

class SimHostFileTest : public SimHostTest {
 protected:
  void SetUp() override {
    SimHostTest::SetUp();
    directory_ =
        std::filesystem::temp_directory_path() /
        ("qarn_sim_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(directory_);
    sim::Host().SetFileDirectory(directory_.string());
  }
  void TearDown() override {
    SimHostTest::TearDown();
    std::filesystem::remove_all(directory_);
  }
  std::filesystem::path directory_;
};

TEST_F(SimHostFileTest, FileOpenPrintfCloseWritesHostFormattedBytes) {
  HostFile file = HostFileOpen("out.txt", "wt", 64, 0, -1);
  ASSERT_NE(file, nullptr);
  HostFilePrintf(file, "[Poz%02d]\n", 7);
  HostFilePrintf(file, "%s", "100% pewne\n");  // the text itself is not a format
  EXPECT_EQ(sim::Host().FileText("out.txt"), "[Poz07]\n100% pewne\n") << "flushed per write";
  HostFileClose(file);

  EXPECT_EQ(sim::Host().FileText("out.txt"), "[Poz07]\n100% pewne\n");
  EXPECT_TRUE(std::filesystem::exists(directory_ / "out.txt"));
  const std::vector<sim::Call> prints = sim::Host().CallsTo(kOrdHostFilePrintf);
  ASSERT_EQ(prints.size(), 2u);
  EXPECT_EQ(prints[0].texts, (std::vector<std::string>{"[Poz%02d]\n", "[Poz07]\n"}));
  EXPECT_EQ(prints[1].texts, (std::vector<std::string>{"%s", "100% pewne\n"}));
  const std::vector<sim::Call> opens = sim::Host().CallsTo(kOrdHostFileOpen);
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0].texts, (std::vector<std::string>{"out.txt", "wt"}));
  EXPECT_EQ(std::vector<int64_t>(opens[0].ints.begin() + 2, opens[0].ints.end()),
            (std::vector<int64_t>{64, 0, -1}));
  EXPECT_EQ(sim::Host().Ordinals(), (std::vector<unsigned>{kOrdHostFileOpen, kOrdHostFilePrintf,
                                                           kOrdHostFilePrintf, kOrdHostFileClose}));
}

TEST_F(SimHostFileTest, ReopeningReplacesTheFileAndScriptedFailureAnswersNull) {
  HostFile first = HostFileOpen("out.txt", "wt", 64, 0, -1);
  ASSERT_NE(first, nullptr);
  HostFilePrintf(first, "old contents, longer\n");
  HostFileClose(first);
  HostFile second = HostFileOpen("out.txt", "wt", 64, 0, -1);
  ASSERT_NE(second, nullptr);
  HostFilePrintf(second, "new\n");
  HostFileClose(second);
  EXPECT_EQ(sim::Host().FileText("out.txt"), "new\n");

  sim::Host().FailFileOpen(true);
  EXPECT_EQ(HostFileOpen("other.txt", "wt", 64, 0, -1), nullptr);
  EXPECT_FALSE(std::filesystem::exists(directory_ / "other.txt"));
  EXPECT_EQ(sim::Host().FileText("other.txt"), "");
}

TEST_F(SimHostFileTest, WritingToAHandleTheHostNeverOpenedAbortsLoudly) {
  int bogus = 0;
  EXPECT_DEATH(HostFilePrintf(&bogus, "x"), "never opened");
  EXPECT_DEATH(HostFileClose(&bogus), "never opened");
}

TEST_F(SimHostTest, MessageFRecordsTitleFormatAndTheHostFormattedText) {
  HostMessageF("STOP!!!", "%s: %d/%d", 0xC001, "d_dek", 2418, 2400);
  const std::vector<sim::Call> calls = sim::Host().CallsTo(kOrdHostMessageF);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].texts, (std::vector<std::string>{"STOP!!!", "%s: %d/%d", "d_dek: 2418/2400"}));
  EXPECT_EQ(calls[0].ints[2], 0xC001);
}

TEST_F(SimHostTest, DocumentReadsCopyPaddedRecordsAndFailAsScripted) {
  std::vector<unsigned char> longRecord(kSizeDocument, 0x55);
  sim::Host().SetDocumentRecords({{'A', 'B', 'C'}, longRecord});
  sim::Host().FailReadAt(1);
  unsigned char* buffer = sim::Host().RecordBuffer(kTableDocument);
  ASSERT_NE(buffer, nullptr);

  EXPECT_EQ(HostReadRecord(7, 1, 6, 0, 8) & 0xFFFF, 0) << "scripted failure: low 16 bits 0";
  EXPECT_EQ(buffer[kSizeDocument - 1], 0x55) << "the failing record is still copied";
  EXPECT_EQ(HostReadRecord(7, 0, 6, 0, 8), 1);
  EXPECT_EQ(buffer[0], 'A');
  EXPECT_EQ(buffer[2], 'C');
  EXPECT_EQ(buffer[3], 0);
  EXPECT_EQ(buffer[kSizeDocument - 1], 0) << "a short record is padded to the record size";
  buffer[0] = 'Z';
  EXPECT_EQ(HostReadRecord(7, 2, 6, 0, 8), 1) << "out of range answers 1";
  EXPECT_EQ(buffer[0], 'Z') << "and copies nothing";
  EXPECT_EQ(sim::Host().CallsTo(kOrdHostReadRecord)[0].ints, (std::vector<int64_t>{7, 1, 6, 0, 8}));
}

TEST_F(SimHostTest, FindRecordSeesTheContextAndFillsTheK9Buffer) {
  std::vector<unsigned char> k9(kSizeK9, 0);
  WriteAt<double>(k9.data(), k9_record::kNetPrice, 1234.0);
  sim::Host().SetFindResult(0x10001, k9);
  sim::Host().SetContext(3, 17);
  *HostCurrentWord() = 9;
  *HostCurrentLong() = -25536;
  EXPECT_EQ(HostFindRecord(-1, 0), 0x10001);
  EXPECT_EQ(sim::Host().ContextWordAtSearch(), 9);
  EXPECT_EQ(sim::Host().ContextLongAtSearch(), -25536);
  EXPECT_EQ(ReadAt<double>(sim::Host().RecordBuffer(kTableK9), k9_record::kNetPrice), 1234.0);
  EXPECT_EQ(sim::Host().CallsTo(kOrdHostFindRecord)[0].ints, (std::vector<int64_t>{-1, 0}));
}

TEST_F(SimHostTest, TablesCarryTheirSizeBufferAndARecordingHandler) {
  struct Case {
    int number;
    int16_t size;
  };
  for (const Case& c : {Case{kTableDDek, kSizeDDek}, Case{kTableDocument, kSizeDocument},
                        Case{kTableK9, kSizeK9}}) {
    SCOPED_TRACE(c.number);
    HostTable table = HostTableByNumber(c.number);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(TableRecordSize(table), c.size);
    EXPECT_EQ(TableRecordBuffer(table), sim::Host().RecordBuffer(c.number));
    EXPECT_EQ(TableActionHandler(table), sim::HostModel::DefaultActionHandler());
  }

  sim::Host().SetHandlerResult(-5);
  DocumentActionHandler handler = TableActionHandler(HostTableByNumber(kTableDocument));
  EXPECT_EQ(handler(23, 2, 3, 4, 5, 6, 7, 8, 9, 10, static_cast<uintptr_t>(-1)), -5);
  const std::vector<sim::Call> calls = sim::Host().CallsTo(sim::HostModel::kHandlerOrdinal);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].ints, (std::vector<int64_t>{23, 2, 3, 4, 5, 6, 7, 8, 9, 10, -1}));

  HostTable document = sim::Host().Table(kTableDocument);
  sim::Host().RemoveTable(kTableDocument);
  EXPECT_EQ(HostTableByNumber(kTableDocument), nullptr);
  sim::Host().SetTable(kTableDocument, 1800);
  EXPECT_EQ(sim::Host().Table(kTableDocument), document) << "one object per table number";
  EXPECT_EQ(TableRecordSize(document), 1800);
}

TEST_F(SimHostTest, DialogSeesTheValueBeforeChangingIt) {
  struct Case {
    const char* name;
    std::optional<int16_t> scripted;
    int32_t expectedAfter;
  };
  for (const Case& c :
       {Case{"unchanged", std::nullopt, 0x00020003}, Case{"set to 1", int16_t{1}, 0x00020001},
        Case{"set to -1", int16_t{-1}, 0x0002FFFF}}) {
    SCOPED_TRACE(c.name);
    sim::Host().Reset();
    sim::Host().SetDialogResult(c.scripted);
    int32_t setting = 0x00020003;
    HostShowDialog(1194, &setting, 0, "tekst");
    EXPECT_EQ(setting, c.expectedAfter) << "only the low 16 bits change";
    const std::vector<sim::Call> calls = sim::Host().CallsTo(kOrdHostShowDialog);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].ints[0], 1194);
    EXPECT_EQ(calls[0].ints[4], 3) << "the value seen before the dialog";
    EXPECT_EQ(calls[0].texts, std::vector<std::string>{"tekst"});
  }
}

TEST_F(SimHostTest, TodayTextIsCopiedVerbatimUpToTwelveBytes) {
  char buffer[13];
  std::memset(buffer, '#', sizeof buffer);
  HostTodayText(buffer);
  EXPECT_STREQ(buffer, "2026-12-11");

  std::memset(buffer, '#', sizeof buffer);
  sim::Host().SetTodayText("123456789012");
  HostTodayText(buffer);
  EXPECT_EQ(std::string(buffer, 12), "123456789012");
  EXPECT_EQ(buffer[12], '#') << "no terminator beyond the 12-byte buffer";
}

TEST_F(SimHostTest, VatTextsPricesAndRounding) {
  sim::Host().SetVatText(8, std::string("8"));
  sim::Host().SetVatText(99, std::nullopt);
  const uint16_t codes[] = {8, 99, 5};
  EXPECT_STREQ(HostVatText(0, 0, &codes[0], 'S'), "8");
  EXPECT_EQ(HostVatText(0, 0, &codes[1], 'S'), nullptr);
  EXPECT_STREQ(HostVatText(0, 0, &codes[2], 'S'), "23");
  EXPECT_EQ(sim::Host().CallsTo(kOrdHostVatText)[1].ints[4], 99) << "the code seen";

  sim::Host().SetVatRate(8, 8.0);
  EXPECT_DOUBLE_EQ(HostGrossPrice(2, 8, 1000000.0, 100), 1080000.0);
  EXPECT_DOUBLE_EQ(HostGrossPrice(2, 5, 1000000.0, 100), 1230000.0);
  EXPECT_EQ(sim::Host().CallsTo(kOrdHostGrossPrice)[0].doubles, std::vector<double>{1000000.0});

  struct Round {
    double value;
    int expected;
  };
  for (const Round& r : {Round{2.5, 3}, Round{-2.5, -3}, Round{2.4999, 2}, Round{-0.4, 0},
                         Round{1518450.0, 1518450}}) {
    EXPECT_EQ(HostRoundToInt(r.value), r.expected) << r.value;
  }
}

}  // namespace
