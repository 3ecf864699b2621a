// The k9 warehouse price lookup against the simulated host: the host's search context is set
// for the search and put back exactly, the found record is copied, and a missing table is
// reported without touching anything else.
#include "export/price_lookup.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "export/document_hook.h"
#include "handshake/mismatch_list.h"
#include "sim/host_model.h"
#include "tests/native/document_fixture.h"

namespace {

class PriceLookupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_hookedTable = nullptr;
    g_mismatchList = nullptr;
    sim::Host().Reset();
  }
};

// A k9 record whose every byte tells its position, so a shifted or short copy shows.
std::vector<unsigned char> PatternRecord(size_t size) {
  std::vector<unsigned char> record(size);
  for (size_t i = 0; i < size; ++i) record[i] = static_cast<unsigned char>(i * 7 + 3);
  return record;
}

struct ContextCase {
  const char* behaviour;
  int32_t warehouse;
  int32_t articleKey;
  int16_t wordAtSearch;
  int32_t longAtSearch;
};

class PriceLookupContextTest : public PriceLookupTest,
                               public ::testing::WithParamInterface<ContextCase> {};

TEST_P(PriceLookupContextTest, SetsContextForTheSearchAndPutsItBack) {
  const ContextCase& c = GetParam();
  sim::HostModel& host = sim::Host();
  host.SetContext(-1234, 0x7ABCDEF0);
  host.SetFindResult(1, fixture::BuildK9Record(500.0, 615.0));
  std::vector<unsigned char> destination(k9_record::kSize);

  EXPECT_EQ(_ZewMagazynWprowadz(-1, c.warehouse, c.articleKey, destination.data(), 0), 1);

  EXPECT_EQ(host.ContextWordAtSearch(), c.wordAtSearch);
  EXPECT_EQ(host.ContextLongAtSearch(), c.longAtSearch);
  EXPECT_EQ(host.ContextWord(), -1234);
  EXPECT_EQ(host.ContextLong(), 0x7ABCDEF0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PriceLookupContextTest,
    ::testing::Values(ContextCase{"plain_values", 3, 17, 3, 17},
                      ContextCase{"key_40000_is_negative_in_the_long", 3, 40000, 3, -25536},
                      ContextCase{"warehouse_zero_is_searched", 0, 5, 0, 5},
                      ContextCase{"warehouse_0xFFFF_is_minus_one", 0xFFFF, 5, -1, 5},
                      ContextCase{"only_low_16_bits_of_the_warehouse", 0x12345, 5, 0x2345, 5},
                      ContextCase{"only_low_16_bits_of_the_key_sign_widened", 3, 0x18000, 3,
                                  -32768},
                      ContextCase{"key_0xFFFF_is_minus_one", 3, 0xFFFF, 3, -1}),
    [](const ::testing::TestParamInfo<ContextCase>& info) { return info.param.behaviour; });

TEST_F(PriceLookupTest, CallsTheHostInOrderWithFreshContextAddresses) {
  sim::HostModel& host = sim::Host();
  std::vector<unsigned char> destination(k9_record::kSize);

  _ZewMagazynWprowadz(-7, 2, 9, destination.data(), 33);

  const std::vector<unsigned> expected = {
      kOrdHostTableByNumber, kOrdHostTablePrepare, kOrdHostCurrentWord, kOrdHostCurrentLong,
      kOrdHostCurrentWord,   kOrdHostCurrentLong,  kOrdHostQuietMode,   kOrdHostFindRecord,
      kOrdHostQuietMode,     kOrdHostCurrentWord,  kOrdHostCurrentLong};
  EXPECT_EQ(host.Ordinals(), expected);
  EXPECT_EQ(host.CallsTo(kOrdHostTableByNumber).at(0).ints, (std::vector<int64_t>{kTableK9}));
  EXPECT_EQ(host.CallsTo(kOrdHostTablePrepare).at(0).ints,
            (std::vector<int64_t>{sim::AddressValue(host.Table(kTableK9)), 255}));
  const std::vector<sim::Call> quiet = host.CallsTo(kOrdHostQuietMode);
  ASSERT_EQ(quiet.size(), 2u);
  EXPECT_EQ(quiet[0].ints, (std::vector<int64_t>{0}));
  EXPECT_EQ(quiet[1].ints, (std::vector<int64_t>{1}));
  EXPECT_EQ(host.CallsTo(kOrdHostFindRecord).at(0).ints, (std::vector<int64_t>{-7, 33}));
}

struct ResultCase {
  const char* behaviour;
  int hostAnswer;
  int32_t expected;
};

class PriceLookupResultTest : public PriceLookupTest,
                              public ::testing::WithParamInterface<ResultCase> {};

TEST_P(PriceLookupResultTest, ReturnsTheLow16BitsSignWidened) {
  const ResultCase& c = GetParam();
  sim::HostModel& host = sim::Host();
  host.SetContext(11, 22);
  host.SetFindResult(c.hostAnswer);
  std::vector<unsigned char> destination(k9_record::kSize);

  EXPECT_EQ(_ZewMagazynWprowadz(-1, 1, 2, destination.data(), 0), c.expected);

  // Found or not, the context is back and the host was left quiet-mode 1.
  EXPECT_EQ(host.ContextWord(), 11);
  EXPECT_EQ(host.ContextLong(), 22);
  EXPECT_EQ(host.CallsTo(kOrdHostQuietMode).back().ints, (std::vector<int64_t>{1}));
}

INSTANTIATE_TEST_SUITE_P(Cases, PriceLookupResultTest,
                         ::testing::Values(ResultCase{"not_found", 0, 0}, ResultCase{"found", 1, 1},
                                           ResultCase{"low_bits_zero_is_not_found", 0x10000, 0},
                                           ResultCase{"high_bits_dropped", 0x20005, 5},
                                           ResultCase{"bit_15_makes_it_negative", 0x18000, -32768},
                                           ResultCase{"minus_one", -1, -1}),
                         [](const ::testing::TestParamInfo<ResultCase>& info) {
                           return info.param.behaviour;
                         });

struct CopyCase {
  const char* behaviour;
  int findResult;
};

class PriceLookupCopyTest : public PriceLookupTest,
                            public ::testing::WithParamInterface<CopyCase> {};

TEST_P(PriceLookupCopyTest, CopiesExactlyTheRecordSizeToTheDestination) {
  sim::HostModel& host = sim::Host();
  const std::vector<unsigned char> record = PatternRecord(k9_record::kSize);
  host.SetFindResult(GetParam().findResult, record);
  // Room beyond the record size shows a copy that runs long.
  std::vector<unsigned char> destination(k9_record::kSize + 16, 0xEE);

  _ZewMagazynWprowadz(-1, 1, 2, destination.data(), 0);

  EXPECT_EQ(std::vector<unsigned char>(destination.begin(), destination.begin() + 1024), record);
  EXPECT_EQ(std::vector<unsigned char>(destination.begin() + 1024, destination.end()),
            std::vector<unsigned char>(16, 0xEE));
}

INSTANTIATE_TEST_SUITE_P(Cases, PriceLookupCopyTest,
                         ::testing::Values(CopyCase{"when_found", 1},
                                           CopyCase{"also_when_not_found", 0}),
                         [](const ::testing::TestParamInfo<CopyCase>& info) {
                           return info.param.behaviour;
                         });

TEST_F(PriceLookupTest, CopyOntoTheRecordBufferItselfLeavesItUnchanged) {
  sim::HostModel& host = sim::Host();
  const std::vector<unsigned char> record = PatternRecord(k9_record::kSize);
  host.SetFindResult(1, record);
  unsigned char* buffer = host.RecordBuffer(kTableK9);

  EXPECT_EQ(_ZewMagazynWprowadz(-1, 1, 2, buffer, 0), 1);

  EXPECT_EQ(std::vector<unsigned char>(buffer, buffer + k9_record::kSize), record);
}

TEST_F(PriceLookupTest, CopyIntoAnOverlappingDestinationMovesTheWholeRecord) {
  sim::HostModel& host = sim::Host();
  const std::vector<unsigned char> record = PatternRecord(k9_record::kSize);
  host.SetFindResult(1, record);
  unsigned char* buffer = host.RecordBuffer(kTableK9);  // at least 2048 bytes

  _ZewMagazynWprowadz(-1, 1, 2, buffer + 8, 0);

  EXPECT_EQ(std::vector<unsigned char>(buffer + 8, buffer + 8 + k9_record::kSize), record);
}

struct SizeCase {
  const char* behaviour;
  int16_t recordSize;
};

class PriceLookupSizeTest : public PriceLookupTest,
                            public ::testing::WithParamInterface<SizeCase> {};

TEST_P(PriceLookupSizeTest, NonPositiveRecordSizeCopiesNothing) {
  sim::HostModel& host = sim::Host();
  host.SetTable(kTableK9, GetParam().recordSize);
  host.SetContext(5, 6);
  host.SetFindResult(1, PatternRecord(k9_record::kSize));
  std::vector<unsigned char> destination(k9_record::kSize, 0xEE);

  EXPECT_EQ(_ZewMagazynWprowadz(-1, 1, 2, destination.data(), 0), 1);

  EXPECT_EQ(destination, std::vector<unsigned char>(k9_record::kSize, 0xEE));
  EXPECT_EQ(host.ContextWord(), 5);
  EXPECT_EQ(host.ContextLong(), 6);
}

INSTANTIATE_TEST_SUITE_P(Cases, PriceLookupSizeTest,
                         ::testing::Values(SizeCase{"zero", 0}, SizeCase{"negative", -1},
                                           SizeCase{"most_negative", INT16_MIN}),
                         [](const ::testing::TestParamInfo<SizeCase>& info) {
                           return info.param.behaviour;
                         });

TEST_F(PriceLookupTest, MissingTableShowsTheDiskErrorAndTouchesNothingElse) {
  sim::HostModel& host = sim::Host();
  host.RemoveTable(kTableK9);
  host.SetContext(9, 99);
  std::vector<unsigned char> destination(k9_record::kSize, 0xEE);

  EXPECT_EQ(_ZewMagazynWprowadz(-1, 1, 2, destination.data(), 0), 0);

  EXPECT_EQ(host.Ordinals(), (std::vector<unsigned>{kOrdHostTableByNumber, kOrdHostMessage}));
  const sim::Call message = host.CallsTo(kOrdHostMessage).at(0);
  EXPECT_EQ(message.texts.at(0), "Uwaga");
  EXPECT_EQ(message.texts.at(1),
            "\x01" +
                sim::Utf8ToMazovia("cBłąd nr 2 operacji dyskowej w _ZewMagazynWprowadz!\n"
                                   "Operacja niekompletna!") +
                "\x01");
  EXPECT_EQ(message.ints.at(2), 1);
  EXPECT_EQ(destination, std::vector<unsigned char>(k9_record::kSize, 0xEE));
  EXPECT_EQ(host.ContextWord(), 9);
  EXPECT_EQ(host.ContextLong(), 99);
}

}  // namespace
