// The shipped sample document through the attach-time hook and action 23: the invoice file
// must match the checked-in expected bytes (Windows-1250; line feeds here, CRLF on Win32).
#include "tools/sample/sample_document.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "export/document_hook.h"
#include "export/invoice_writer.h"
#include "handshake/mismatch_list.h"
#include "sim/host_model.h"
#include "tests/native/document_fixture.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class SampleDocument : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::Host().Reset();
    g_hookedTable = nullptr;
    g_savedHandler = nullptr;
    g_mismatchList = nullptr;
    sim::Host().SetFileDirectory(directory_.File("").string());
    std::string error;
    ASSERT_TRUE(sample::LoadDocument(QARN_SAMPLES_DIR "/dokument_zbiorczy.txt", &document_, &error))
        << error;
    sample::ScriptHost(document_);
  }
  void TearDown() override { RestoreDocumentHandler(); }

  int32_t RunAction23() {
    DocumentActionHandler handler = TableActionHandler(sim::Host().Table(kTableDocument));
    int32_t count = static_cast<int32_t>(document_.records.size());
    int32_t source = 0;
    return handler(kActionCollectiveInvoice, 0, reinterpret_cast<uintptr_t>(&count), 0, 0, 0,
                   reinterpret_cast<uintptr_t>(&source), 0, 0, 0, 0);
  }

  fixture::ScratchDirectory directory_{"sample"};
  sample::Document document_;
};

TEST_F(SampleDocument, InvoiceFileMatchesTheExpectedBytes) {
  ASSERT_EQ(SetDocumentHook(1), 0);
  EXPECT_EQ(RunAction23(), 0);
  const std::string expected = ReadFile(QARN_SAMPLES_DIR "/dokument_zbiorczy.expected.txt");
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(sim::Host().FileText(kInvoiceFileName), expected);
  // The success message closes the run; no error was shown on the way.
  EXPECT_TRUE(sim::Host().CallsTo(kOrdHostErrorMessage).empty());
  ASSERT_EQ(sim::Host().CallsTo(kOrdHostMessage).size(), 1u);
  EXPECT_EQ(sim::Host().CallsTo(kOrdHostMessage)[0].ints.back(), 0x5001);
}

TEST_F(SampleDocument, WarehouseSearchFindsRecordsByContext) {
  // Warehouse 1, article 501 is in the sample; warehouse 2, article 501 is not.
  struct Case {
    int16_t warehouse;
    int32_t article;
    int expected;
  } cases[] = {{1, 501, 1}, {2, 501, 0}, {2, 777, 1}};
  for (const Case& c : cases) {
    sim::Host().SetContext(c.warehouse, c.article);
    EXPECT_EQ(sim::Host().FindRecord(-1, 0), c.expected) << c.warehouse << "/" << c.article;
  }
}

}  // namespace
