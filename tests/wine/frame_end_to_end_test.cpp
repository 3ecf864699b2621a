// The plug-in as the host uses it: load, attach, document action 23 on a document, detach. The
// collective invoice file is compared byte for byte (Windows-1250, CRLF line ends).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "export/document_hook.h"
#include "host/host_types.h"
#include "tests/wine/frame_test_support.h"
#include "tests/wine/plugin_host.h"

namespace {

using plugin_host::PluginHost;

// One document record, in the host's scales.
struct Position {
  const char* name;  // UTF-8
  const char* symbol;
  const char* unit;
  int32_t quantity;  // thousandths
  double discount;   // thousandths
  double value;      // ten-thousandths, net
  double netPrice;   // ten-thousandths, the record's own
  double grossPrice;
  uint16_t vat;
  const char* classification;
  uint16_t warehouse;
  uint16_t article;
};

void WriteText(std::vector<unsigned char>& record, size_t at, const char* utf8) {
  const std::string text = sim::Utf8ToMazovia(utf8);
  std::memcpy(record.data() + at, text.c_str(), text.size() + 1);
}

std::vector<unsigned char> Record(const Position& p) {
  namespace r = document_record;
  std::vector<unsigned char> record(r::kSize, 0);
  WriteText(record, r::kName, p.name);
  WriteText(record, r::kSymbol, p.symbol);
  WriteText(record, r::kUnit, p.unit);
  WriteText(record, r::kClassification, p.classification);
  WriteAt(record.data(), r::kQuantity, p.quantity);
  WriteAt(record.data(), r::kDiscount, p.discount);
  WriteAt(record.data(), r::kValue, p.value);
  WriteAt(record.data(), r::kNetPrice, p.netPrice);
  WriteAt(record.data(), r::kGrossPrice, p.grossPrice);
  WriteAt(record.data(), r::kVatCode, p.vat);
  WriteAt(record.data(), r::kWarehouse, p.warehouse);
  WriteAt(record.data(), r::kArticleKey, p.article);
  return record;
}

// UTF-8 lines joined with CRLF, as the text-mode file holds them, in Windows-1250.
std::string FileText(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return sim::Utf8ToWindows1250(text);
}

TEST(FrameEndToEndTest, CollectiveInvoiceFromLoadToDetach) {
  PluginHost host;
  sim::HostModel& model = sim::Host();
  // A directory of this process's own, so that no other test's file is in the way.
  std::string directory = frame_test::TemporaryFile("qarn_frame_end_to_end");
  ASSERT_TRUE(CreateDirectoryA(directory.c_str(), nullptr)) << GetLastError();
  model.SetFileDirectory(directory);
  model.SetVatText(1, sim::Utf8ToMazovia("23%"));
  model.SetVatText(3, sim::Utf8ToMazovia("zw"));
  model.SetVatRate(3, 0);
  std::vector<unsigned char> k9(k9_record::kSize, 0);
  WriteAt(k9.data(), k9_record::kNetPrice, 189900.0);
  WriteAt(k9.data(), k9_record::kGrossPrice, 233577.0);
  model.SetFindResult(1, k9);

  const Position positions[] = {
      // A negative-zero discount still reads 0.00.
      {"Śruba M8x40 ocynkowana", "SR-M8-40", "szt.", 250000, -0.0, 1125000, 0, 0, 1, "25.94.11.0",
       1, 0},
      // No name: not exported.
      {"", "", "", 1000, 0, 10000, 0, 0, 1, "", 0, 0},
      {"Łożysko kulkowe 6204-2RS", "ŁOŻ-6204", "szt.", 12000, 5000, 3600000, 0, 0, 1, "28.15.10.0",
       1, 0},
      // No value of its own: the warehouse price table gives the prices.
      {"Przekładnia ślimakowa 1:30", "PRZ-SL-30", "szt.", 1000, 0, 0, 150000, 184500, 1,
       "28.15.24.0", 1, 501},
      // Zero quantity: not exported.
      {"Uszczelka gumowa fi 50", "USZ-50", "szt.", 0, 0, 0, 0, 0, 1, "", 0, 0},
      // A return: negative quantity, warehouse 0xFFFF.
      {"Zwrot: pas klinowy A-1250", "PAS-A1250", "szt.", -2000, 0, -858000, 0, 0, 1, "22.19.40.0",
       0xFFFF, 0},
      // A free sample returned: its unit value and its own prices are negative zeros.
      {"Próbka gratis", "PRB", "opak.", -1000, 0, 0, -0.0, -0.0, 3, "", 0, 0},
  };
  std::vector<std::vector<unsigned char>> records;
  for (const Position& p : positions) records.push_back(Record(p));
  model.SetDocumentRecords(records);

  ASSERT_TRUE(host.Load(frame_test::PluginPath())) << "error " << host.LoadError();
  int context = 1;
  char name[kPluginNameSize];
  ASSERT_EQ(host.Attach(&context, name), 0);
  const HostTable table = model.Table(kTableDocument);
  const DocumentActionHandler handler = TableActionHandler(table);
  ASSERT_NE(handler, sim::HostModel::DefaultActionHandler());

  // The host's C-convention call with eleven arguments: the 3rd is the count's address, the
  // 6th, the 7th's value and the 8th go on to HostReadRecord.
  int32_t count = static_cast<int32_t>(records.size());
  int32_t source = 4;
  model.ClearCalls();
  EXPECT_EQ(handler(kActionCollectiveInvoice, 0, reinterpret_cast<uintptr_t>(&count), 0, 0, 6,
                    reinterpret_cast<uintptr_t>(&source), 8, 0, 0, 0),
            0);

  EXPECT_EQ(model.FileBytes("qarn_zak_fakt_zbiorcza.txt"),
            FileText({"[Info]",
                      "Program=KORVANT QARN_ZAK_FAKT_ZBIORCZA",
                      "Kodowanie=Windows 1250",
                      "[Dokument]",
                      "Rejestr=FakturySpr",
                      "SymbolKontrahenta=Import",
                      "TypDok=1",
                      "DataSprzed=2026-12-11",
                      "DataWyst=2026-12-11",
                      "",
                      "[ZawartoscDokumentu]",
                      "[Poz01]",
                      "Nazwa=Śruba M8x40 ocynkowana",
                      "Symbol=SR-M8-40",
                      "Jm=szt.",
                      "Ilosc=250.000",
                      "PKWIU=25.94.11.0",
                      "Rabat=0.00",
                      "Vat=23%",
                      "CenaNetto=0.45",
                      "CenaBrutto=0.55",
                      "Mag=1",
                      "[Poz02]",
                      "Nazwa=Łożysko kulkowe 6204-2RS",
                      "Symbol=ŁOŻ-6204",
                      "Jm=szt.",
                      "Ilosc=12.000",
                      "PKWIU=28.15.10.0",
                      "Rabat=5.00",
                      "Vat=23%",
                      "CenaNetto=30.00",
                      "CenaBrutto=36.90",
                      "Mag=1",
                      "[Poz03]",
                      "Nazwa=Przekładnia ślimakowa 1:30",
                      "Symbol=PRZ-SL-30",
                      "Jm=szt.",
                      "Ilosc=1.000",
                      "PKWIU=28.15.24.0",
                      "Rabat=0.00",
                      "Vat=23%",
                      "CenaNetto=18.99",
                      "CenaBrutto=23.36",
                      "Mag=1",
                      "[Poz04]",
                      "Nazwa=Zwrot: pas klinowy A-1250",
                      "Symbol=PAS-A1250",
                      "Jm=szt.",
                      "Ilosc=-2.000",
                      "PKWIU=22.19.40.0",
                      "Rabat=0.00",
                      "Vat=23%",
                      "CenaNetto=42.90",
                      "CenaBrutto=52.77",
                      "Mag=-1",
                      "[Poz05]",
                      "Nazwa=Próbka gratis",
                      "Symbol=PRB",
                      "Jm=opak.",
                      "Ilosc=-1.000",
                      "PKWIU=",
                      "Rabat=0.00",
                      "Vat=zw",
                      "CenaNetto=0.00",
                      "CenaBrutto=0.00",
                      "Mag=0"}));
  const std::vector<sim::Call> messages = model.CallsTo(kOrdHostMessage);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].texts,
            (std::vector<std::string>{"Uwaga", sim::Utf8ToMazovia("Zapisano fakturę do pliku "
                                                                  "qarn_zak_fakt_zbiorcza.txt")}));
  EXPECT_TRUE(model.CallsTo(sim::HostModel::kHandlerOrdinal).empty());

  // Any other action reaches the host's own handler with its eleven arguments.
  model.ClearCalls();
  model.SetHandlerResult(17);
  EXPECT_EQ(handler(5, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10), 17);
  const std::vector<sim::Call> forwarded = model.CallsTo(sim::HostModel::kHandlerOrdinal);
  ASSERT_EQ(forwarded.size(), 1u);
  EXPECT_EQ(forwarded[0].ints, (std::vector<int64_t>{5, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));

  EXPECT_EQ(host.Detach(), 0);
  EXPECT_EQ(TableActionHandler(table), sim::HostModel::DefaultActionHandler());
  DeleteFileA((directory + "\\qarn_zak_fakt_zbiorcza.txt").c_str());
  RemoveDirectoryA(directory.c_str());
}

}  // namespace
