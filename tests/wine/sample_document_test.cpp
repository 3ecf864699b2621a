// The shipped sample document through the real DLL: loaded as the host loads it, attached, action
// 23 through the handler in table 112's slot, detached. The file must be the same bytes as the
// native run's expected file, with every line feed stored as CRLF.
#include "tools/sample/sample_document.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "export/document_hook.h"
#include "export/invoice_writer.h"
#include "host/host_types.h"
#include "sim/host_model.h"
#include "tests/wine/plugin_host.h"

namespace {

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

TEST(SampleDocumentUnderWine, InvoiceFileIsTheExpectedBytesWithCrLf) {
  sample::Document document;
  std::string error;
  ASSERT_TRUE(sample::LoadDocument(QARN_SAMPLES_DIR "/dokument_zbiorczy.txt", &document, &error))
      << error;
  std::ifstream in(QARN_SAMPLES_DIR "/dokument_zbiorczy.expected.txt", std::ios::binary);
  std::ostringstream expected;
  expected << in.rdbuf();
  ASSERT_FALSE(expected.str().empty());

  plugin_host::PluginHost host;
  ASSERT_TRUE(host.Load("qarn_zak_fakt_zbiorcza.dll")) << host.LoadError();
  sample::ScriptHost(document);
  char name[kPluginNameSize] = {};
  ASSERT_EQ(host.Attach(&host, name), 0);

  HostTable table = sim::Host().Table(kTableDocument);
  DocumentActionHandler installed = TableActionHandler(table);
  int32_t count = static_cast<int32_t>(document.records.size());
  int32_t source = 0;
  EXPECT_EQ(installed(kActionCollectiveInvoice, 0, reinterpret_cast<uintptr_t>(&count), 0, 0, 0,
                      reinterpret_cast<uintptr_t>(&source), 0, 0, 0, 0),
            0);
  EXPECT_EQ(host.Detach(), 0);
  EXPECT_EQ(TableActionHandler(table), sim::HostModel::DefaultActionHandler());

  EXPECT_EQ(sim::Host().FileBytes(kInvoiceFileName), WithCrLf(expected.str()));
  EXPECT_TRUE(host.MessageBoxes().empty());
}

}  // namespace
