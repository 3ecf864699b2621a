// fprintfWin against the simulated host: the text is formatted in Mazovia, converted to
// Windows-1250 by the host, written literally through "%s", and both blocks it takes from the
// host go back, in every outcome.
#include "export/fprintf_win.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/host_model.h"
#include "tests/native/document_fixture.h"

namespace {

constexpr char kFileName[] = "out.txt";

class FprintfWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::Host().Reset();
    scratch_ = std::make_unique<fixture::ScratchDirectory>("fprintf_win");
    file_ = HostFileOpen(kFileName, "wt", 64, 0, -1);
    ASSERT_NE(file_, nullptr);
    sim::Host().ClearCalls();
  }
  void TearDown() override {
    if (file_ != nullptr) HostFileClose(file_);
    EXPECT_EQ(sim::Host().OutstandingBlocks(), 0) << "a block taken from the host stayed out";
    sim::Host().Reset();
    scratch_.reset();
  }

  std::string FileText() const { return sim::Host().FileText(kFileName); }

  // The one text the host was asked to write, with the format it was given.
  static sim::Call OnlyWrite() {
    const std::vector<sim::Call> writes = sim::Host().CallsTo(kOrdHostFilePrintf);
    EXPECT_EQ(writes.size(), 1u);
    return writes.empty() ? sim::Call{} : writes.front();
  }

  HostFile file_ = nullptr;

 private:
  std::unique_ptr<fixture::ScratchDirectory> scratch_;
};

// ---- conversion to the file's encoding -------------------------------------------------------

struct TextCase {
  const char* behaviour;
  std::string format;    // Mazovia
  std::string argument;  // Mazovia, the one %s value
  std::string expected;  // Windows-1250, what reaches the file
};

std::vector<TextCase> TextCases() {
  return {
      {"Mazovia letters arrive in Windows-1250", "Nazwa=%s\n", "\x86\x92\x98",
       "Nazwa=\xB9\xB3\x8C\n"},
      {"every Polish letter", "Nazwa=%s\n", sim::Utf8ToMazovia("ąćęłńóśźżĄĆĘŁŃÓŚŹŻ"),
       sim::Utf8ToWindows1250("Nazwa=ąćęłńóśźżĄĆĘŁŃÓŚŹŻ\n")},
      {"a name from a record", "Nazwa=%s\n", sim::Utf8ToMazovia("Żółć śliwkowa Łódź"),
       sim::Utf8ToWindows1250("Nazwa=Żółć śliwkowa Łódź\n")},
      {"letters in the format itself", sim::Utf8ToMazovia("Jednostka=%s (ilość)\n"), "szt",
       sim::Utf8ToWindows1250("Jednostka=szt (ilość)\n")},
      {"%d in a record text is written literally", "Symbol=%s\n", "AB%dCD", "Symbol=AB%dCD\n"},
      {"%s in a record text is written literally", "Nazwa=%s\n", "x%sy%n%%", "Nazwa=x%sy%n%%\n"},
      {"ASCII and the line feed pass unchanged", "Kod=%s\n", "01.23", "Kod=01.23\n"},
  };
}

TEST_F(FprintfWinTest, WritesTheTextConvertedToWindows1250) {
  for (const TextCase& c : TextCases()) {
    SCOPED_TRACE(c.behaviour);
    sim::Host().ClearCalls();
    const size_t before = FileText().size();
    fprintfWin(file_, c.format.c_str(), c.argument.c_str());
    const sim::Call write = OnlyWrite();
    ASSERT_EQ(write.texts.size(), 2u);
    EXPECT_EQ(write.texts[0], "%s");
    EXPECT_EQ(write.texts[1], c.expected);
    EXPECT_EQ(FileText().substr(before), c.expected);
  }
}

struct NumberCase {
  const char* behaviour;
  const char* format;
  double value;
  const char* expected;
};

const NumberCase kNumberCases[] = {
    {"zero quantity", "Ilosc=%.3f\n", 0.0, "Ilosc=0.000\n"},
    {"negative zero quantity reads as zero", "Ilosc=%.3f\n", -0.0, "Ilosc=0.000\n"},
    {"negative quantity keeps its sign", "Ilosc=%.3f\n", -1.5, "Ilosc=-1.500\n"},
    {"negative zero discount", "Rabat=%.2f\n", -0.0, "Rabat=0.00\n"},
    {"tiny negative keeps its sign", "CenaNetto=%.2f\n", -0.001, "CenaNetto=-0.00\n"},
    {"price rounds to two decimals", "CenaBrutto=%.2f\n", 1230.125, "CenaBrutto=1230.12\n"},
    {"point, no grouping", "CenaNetto=%.2f\n", 1234567.891, "CenaNetto=1234567.89\n"},
};

TEST_F(FprintfWinTest, FormatsNumbersWithoutANegativeZero) {
  for (const NumberCase& c : kNumberCases) {
    SCOPED_TRACE(c.behaviour);
    sim::Host().ClearCalls();
    const size_t before = FileText().size();
    fprintfWin(file_, c.format, c.value);
    const sim::Call write = OnlyWrite();
    ASSERT_EQ(write.texts.size(), 2u);
    EXPECT_EQ(write.texts[1], c.expected);
    EXPECT_EQ(FileText().substr(before), c.expected);
  }
}

// ---- the host calls, in order ------------------------------------------------------------------

// Takes the formatting block, then one just large enough for the text, converts from the first
// into the second, has the host write the second through "%s", and returns the second, then
// the first.
void ExpectOneCompleteCall(HostFile file, const std::string& mazovia,
                           const std::string& windows1250) {
  const std::vector<sim::Call>& calls = sim::Host().Calls();
  ASSERT_EQ(sim::Host().Ordinals(),
            (std::vector<unsigned>{kOrdHostCalloc, kOrdHostCalloc, kOrdHostConvertText,
                                   kOrdHostFilePrintf, kOrdHostFree, kOrdHostFree}));
  EXPECT_EQ(calls[0].ints, (std::vector<int64_t>{1, kFormatBlockSize}));
  EXPECT_EQ(calls[1].ints, (std::vector<int64_t>{1, static_cast<int64_t>(mazovia.size() + 1)}));

  const sim::Call& convert = calls[2];
  ASSERT_EQ(convert.ints.size(), 4u);
  const int64_t conversionBlock = convert.ints[0];
  const int64_t formatBlock = convert.ints[1];
  EXPECT_NE(conversionBlock, formatBlock);
  EXPECT_EQ(convert.ints[2], kCodeMazovia);
  EXPECT_EQ(convert.ints[3], kCodeWindows1250);
  EXPECT_EQ(convert.texts, std::vector<std::string>{mazovia});

  const sim::Call& write = calls[3];
  ASSERT_EQ(write.ints.size(), 2u);
  EXPECT_EQ(write.ints[0], static_cast<int64_t>(reinterpret_cast<intptr_t>(file)));
  EXPECT_EQ(write.texts, (std::vector<std::string>{"%s", windows1250}));

  EXPECT_EQ(calls[4].ints, std::vector<int64_t>{conversionBlock});
  EXPECT_EQ(calls[5].ints, std::vector<int64_t>{formatBlock});
  EXPECT_EQ(sim::Host().OutstandingBlocks(), 0);
}

TEST_F(FprintfWinTest, CallsTheHostInTheDocumentedOrder) {
  fprintfWin(file_, "Nazwa=%s Ilosc=%.3f\n", "\x8F\xA2", 2.0);
  ExpectOneCompleteCall(file_, "Nazwa=\x8F\xA2 Ilosc=2.000\n", "Nazwa=\xA5\xF3 Ilosc=2.000\n");
}

TEST_F(FprintfWinTest, EmptyResultStillTakesAndReturnsBothBlocks) {
  struct EmptyCase {
    const char* behaviour;
    void (*call)(HostFile file);
  };
  const EmptyCase cases[] = {
      {"empty format", [](HostFile f) { fprintfWin(f, ""); }},
      {"empty text argument", [](HostFile f) { fprintfWin(f, "%s", ""); }},
      {"precision 0 on a text", [](HostFile f) { fprintfWin(f, "%.0s", "abc"); }},
  };
  for (const EmptyCase& c : cases) {
    SCOPED_TRACE(c.behaviour);
    sim::Host().ClearCalls();
    c.call(file_);
    ExpectOneCompleteCall(file_, "", "");
  }
  EXPECT_EQ(FileText(), "");
}

// ---- no memory ---------------------------------------------------------------------------------

TEST_F(FprintfWinTest, NoFormattingBlockReturnsSilently) {
  sim::Host().FailCallocAt(1);
  fprintfWin(file_, "Nazwa=%s\n", "abc");
  EXPECT_EQ(sim::Host().Ordinals(), std::vector<unsigned>{kOrdHostCalloc});
  EXPECT_EQ(sim::Host().Calls()[0].ints, (std::vector<int64_t>{1, kFormatBlockSize}));
  EXPECT_EQ(FileText(), "");
}

TEST_F(FprintfWinTest, NoConversionBlockShowsTheMessageAndFreesTheFirstBlock) {
  sim::Host().FailCallocAt(2);
  fprintfWin(file_, "Nazwa=%s\n", "abc");
  const std::vector<sim::Call>& calls = sim::Host().Calls();
  ASSERT_EQ(sim::Host().Ordinals(), (std::vector<unsigned>{kOrdHostCalloc, kOrdHostCalloc,
                                                           kOrdHostErrorMessage, kOrdHostFree}));
  EXPECT_EQ(calls[1].ints, (std::vector<int64_t>{1, 11}));  // "Nazwa=abc\n" and its NUL
  EXPECT_EQ(calls[2].texts, std::vector<std::string>{sim::Utf8ToMazovia(
                                "Nie udało się zająć pamięci dla zmiennej w funkcji fprintfWin")});
  EXPECT_EQ(sim::Host().OutstandingBlocks(), 0);  // the one freed was the formatting block
  EXPECT_EQ(FileText(), "");

  // The caller goes on with its next line, which is written as usual.
  sim::Host().ClearCalls();
  fprintfWin(file_, "Symbol=%s\n", "S1");
  ExpectOneCompleteCall(file_, "Symbol=S1\n", "Symbol=S1\n");
  EXPECT_EQ(FileText(), "Symbol=S1\n");
}

// ---- the formatting block's bound
// ----------------------------------------------------------------

TEST_F(FprintfWinTest, TextLongerThanTheBlockIsCutAtItsEnd) {
  const size_t longest = kFormatBlockSize - 1;
  const std::string huge(longest + 1000, 'x');
  fprintfWin(file_, "%s\n", huge.c_str());
  const std::string expected(longest, 'x');  // the line feed did not fit either
  ExpectOneCompleteCall(file_, expected, expected);
  EXPECT_EQ(FileText(), expected);
}

}  // namespace
