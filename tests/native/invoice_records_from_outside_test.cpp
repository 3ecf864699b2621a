// The host's records are data from outside: whatever bytes they hold, the writer reads no more
// than each field's span, writes one complete block per exported record and keeps the file's
// structure. Seeded random records (texts of any bytes, with or without a terminator, at any
// length) are checked against an oracle built from the record bytes themselves.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "export/invoice_writer.h"
#include "host/host_types.h"
#include "sim/host_model.h"
#include "tests/native/document_fixture.h"

namespace {

namespace doc = document_record;

// The text a field holds: its bytes up to the first NUL or the end of its span.
std::string FieldText(const std::vector<unsigned char>& record, size_t begin, size_t end) {
  std::string text;
  for (size_t i = begin; i < end && record[i] != 0; ++i) text += static_cast<char>(record[i]);
  return sim::MazoviaToWindows1250(text);
}

// The file's bytes with the CRLF that text mode stores on Win32 read as a line feed. Read as
// bytes: a text-mode read would stop at a record's 0x1A byte there.
std::string WrittenText(const std::string& bytes) {
#if defined(_WIN32)
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text += bytes[i];
  }
  return text;
#else
  return bytes;
#endif
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A record whose text fields are random bytes (NUL-free more often than not, so spans fill up),
// with a quantity that is zero now and then and prices that keep the lookup out of the way.
std::vector<unsigned char> RandomRecord(std::mt19937& random) {
  std::vector<unsigned char> record(doc::kSize);
  for (unsigned char& byte : record) byte = static_cast<unsigned char>(random());
  auto fillText = [&](size_t begin, size_t end) {
    const size_t length = random() % (end - begin + 1);  // may fill the whole span
    for (size_t i = begin; i < end; ++i) {
      unsigned char byte = static_cast<unsigned char>(random() % 255 + 1);
      // '\n' would split a line of the file; the host's texts hold none.
      if (byte == '\n') byte = ' ';
      record[i] = i - begin < length ? byte : 0;
    }
    if (random() % 8 == 0) record[begin] = 0;  // an empty text
  };
  fillText(doc::kName, doc::kNameEnd);
  fillText(doc::kSymbol, doc::kSymbolEnd);
  fillText(doc::kUnit, doc::kUnitEnd);
  fillText(doc::kClassification, doc::kClassificationEnd);
  WriteAt<int32_t>(record.data(), doc::kQuantity,
                   random() % 6 == 0 ? 0 : static_cast<int32_t>(random() % 200001) - 100000);
  WriteAt<uint16_t>(record.data(), doc::kArticleKey, 0);
  WriteAt<double>(record.data(), doc::kDiscount, static_cast<double>(random() % 100000));
  return record;
}

TEST(InvoiceRecordsFromOutside, RandomRecordsGiveOneWellFormedBlockEachWithBoundedTexts) {
  std::mt19937 random(20261211);
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(testing::Message() << "round " << round);
    sim::Host().Reset();
    fixture::ScratchDirectory directory("outside");
    std::vector<std::vector<unsigned char>> records;
    const int count = static_cast<int>(random() % 30);
    for (int i = 0; i < count; ++i) records.push_back(RandomRecord(random));
    sim::Host().SetDocumentRecords(records);

    unsigned char* documentRecord = sim::Host().RecordBuffer(kTableDocument);
    const int32_t total = count;
    const int32_t source = 0;
    WriteCollectiveInvoice(&total, 0, &source, 0, documentRecord,
                           sim::Host().RecordBuffer(kTableK9));

    const std::vector<std::string> lines =
        Lines(WrittenText(sim::Host().FileBytes(kInvoiceFileName)));
    ASSERT_GE(lines.size(), 11u);
    EXPECT_EQ(lines[10], "[ZawartoscDokumentu]");
    size_t at = 11;
    int position = 0;
    for (const std::vector<unsigned char>& record : records) {
      if (record[doc::kName] == 0 || ReadAt<int32_t>(record.data(), doc::kQuantity) == 0) continue;
      ++position;
      ASSERT_LE(at + 11, lines.size()) << "block " << position << " is cut short";
      char header[16];
      std::snprintf(header, sizeof header, "[Poz%02d]", position);
      EXPECT_EQ(lines[at], header);
      EXPECT_EQ(lines[at + 1], "Nazwa=" + FieldText(record, doc::kName, doc::kNameEnd));
      EXPECT_EQ(lines[at + 2], "Symbol=" + FieldText(record, doc::kSymbol, doc::kSymbolEnd));
      EXPECT_EQ(lines[at + 3], "Jm=" + FieldText(record, doc::kUnit, doc::kUnitEnd));
      EXPECT_EQ(lines[at + 4].rfind("Ilosc=", 0), 0u);
      EXPECT_EQ(lines[at + 5],
                "PKWIU=" + FieldText(record, doc::kClassification, doc::kClassificationEnd));
      const char* keys[] = {"Rabat=", "Vat=", "CenaNetto=", "CenaBrutto="};
      for (size_t k = 0; k < 4; ++k) EXPECT_EQ(lines[at + 6 + k].rfind(keys[k], 0), 0u);
      EXPECT_EQ(lines[at + 10],
                "Mag=" + std::to_string(ReadAt<int16_t>(record.data(), doc::kWarehouse)));
      at += 11;
    }
    EXPECT_EQ(at, lines.size()) << "nothing after the last block";
  }
}

}  // namespace
