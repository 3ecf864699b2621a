// The document-action hook against the simulated host: install, removal and refusal, forwarded
// actions that reach the host's handler bit for bit, and action 23 running the writer.
#include "export/document_hook.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "export/invoice_writer.h"
#include "handshake/mismatch_list.h"
#include "sim/host_model.h"
#include "tests/native/document_fixture.h"

namespace {

// A handler of the host's other than the model's default, to see exactly which value a removal
// puts back.
int32_t HOST_CDECL OtherHostHandler(uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t,
                                    uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t,
                                    uintptr_t) {
  return 4242;
}

class DocumentHookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_hookedTable = nullptr;
    g_savedHandler = nullptr;
    g_mismatchList = nullptr;
    sim::Host().Reset();
    scratch_ = std::make_unique<fixture::ScratchDirectory>("hook");
  }
  void TearDown() override {
    g_hookedTable = nullptr;
    g_mismatchList = nullptr;
    sim::Host().Reset();
  }

  static HostTable DocumentTable() { return sim::Host().Table(kTableDocument); }
  static DocumentActionHandler Slot() { return TableActionHandler(DocumentTable()); }

  std::unique_ptr<fixture::ScratchDirectory> scratch_;
};

TEST_F(DocumentHookTest, InstallTakesOverTheSlotAndKeepsTheHostsHandler) {
  const DocumentActionHandler hostHandler = Slot();

  EXPECT_EQ(SetDocumentHook(1), 0);

  EXPECT_EQ(Slot(), &DocumentActionHook);
  EXPECT_EQ(g_savedHandler, hostHandler);
  EXPECT_EQ(g_hookedTable, DocumentTable());
  EXPECT_EQ(g_mismatchList, nullptr);
  EXPECT_EQ(sim::Host().Ordinals(), (std::vector<unsigned>{kOrdHostTableByNumber}));
  EXPECT_EQ(sim::Host().CallsTo(kOrdHostTableByNumber).at(0).ints,
            (std::vector<int64_t>{kTableDocument}));
}

TEST_F(DocumentHookTest, SecondInstallChangesNothingAndForwardingStillReachesTheHost) {
  const DocumentActionHandler hostHandler = Slot();
  ASSERT_EQ(SetDocumentHook(1), 0);

  EXPECT_EQ(SetDocumentHook(1), 0);
  EXPECT_EQ(Slot(), &DocumentActionHook);
  EXPECT_EQ(g_savedHandler, hostHandler);

  // Through the slot, as the host calls it: one call of the host's handler, never the hook
  // again.
  sim::Host().ClearCalls();
  Slot()(22, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(sim::Host().CallsTo(sim::HostModel::kHandlerOrdinal).size(), 1u);
  EXPECT_EQ(sim::Host().CallsTo(kOrdHostTableByNumber).size(), 2u);
}

TEST_F(DocumentHookTest, RemovalPutsBackExactlyTheFormerSlotValue) {
  SetTableActionHandler(DocumentTable(), &OtherHostHandler);
  ASSERT_EQ(SetDocumentHook(1), 0);

  EXPECT_EQ(SetDocumentHook(0), 0);

  EXPECT_EQ(Slot(), &OtherHostHandler);
  EXPECT_EQ(g_hookedTable, nullptr);
  // A removal after the removal writes nothing.
  SetTableActionHandler(DocumentTable(), nullptr);
  EXPECT_EQ(RestoreDocumentHandler(), 0);
  EXPECT_EQ(Slot(), nullptr);
}

TEST_F(DocumentHookTest, RestoreDocumentHandlerRemovesLikeAZeroFlag) {
  SetTableActionHandler(DocumentTable(), &OtherHostHandler);
  ASSERT_EQ(SetDocumentHook(1), 0);

  EXPECT_EQ(RestoreDocumentHandler(), 0);

  EXPECT_EQ(Slot(), &OtherHostHandler);
  EXPECT_EQ(g_hookedTable, nullptr);
  // And it can be installed again afterwards.
  EXPECT_EQ(SetDocumentHook(1), 0);
  EXPECT_EQ(Slot(), &DocumentActionHook);
  EXPECT_EQ(g_savedHandler, &OtherHostHandler);
}

TEST_F(DocumentHookTest, RemovalWithoutInstallTouchesNothing) {
  SetTableActionHandler(DocumentTable(), &OtherHostHandler);

  EXPECT_EQ(SetDocumentHook(0), 0);
  EXPECT_EQ(RestoreDocumentHandler(), 0);

  EXPECT_EQ(Slot(), &OtherHostHandler);
  EXPECT_TRUE(sim::Host().Calls().empty());
}

struct RefusalCase {
  const char* behaviour;
  bool tablePresent;
  int16_t recordSize;
  int32_t hostSize;  // in the install's node
};

class DocumentHookRefusalTest : public DocumentHookTest,
                                public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(DocumentHookRefusalTest, RefusesAndRecordsTheTableInTheMismatchList) {
  const RefusalCase& c = GetParam();
  sim::HostModel& host = sim::Host();
  host.SetTable(kTableDocument, c.recordSize);
  SetTableActionHandler(DocumentTable(), &OtherHostHandler);
  if (!c.tablePresent) host.RemoveTable(kTableDocument);

  EXPECT_EQ(SetDocumentHook(1), -1);

  EXPECT_EQ(g_hookedTable, nullptr);
  ASSERT_EQ(g_mismatchList, &g_hookNode);
  EXPECT_EQ(g_hookNode.expectedSize, 1890);
  EXPECT_EQ(g_hookNode.hostSize, c.hostSize);
  EXPECT_STREQ(g_hookNode.name, "Qarn_wyc");
  EXPECT_EQ(g_hookNode.next, nullptr);

  // The slot keeps the host's handler, and a later removal writes nothing.
  host.ClearCalls();
  EXPECT_EQ(RestoreDocumentHandler(), 0);
  EXPECT_TRUE(host.Calls().empty());
  if (c.tablePresent) {
    EXPECT_EQ(Slot(), &OtherHostHandler);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DocumentHookRefusalTest,
    ::testing::Values(RefusalCase{"record_size_1889", true, 1889, 1889},
                      RefusalCase{"record_size_1891", true, 1891, 1891},
                      RefusalCase{"negative_record_size_is_sign_widened", true, -1, -1},
                      RefusalCase{"no_table_object", false, 1890, 0}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.behaviour; });

TEST_F(DocumentHookTest, RefusalAfterTheHandshakesNodeListsTheTableTwice) {
  sim::Host().SetTable(kTableDocument, 1889);
  TableSizeNode handshakeNode = {1890, 1889, "Qarn_wyc", nullptr};
  AppendMismatch(&handshakeNode);

  EXPECT_EQ(SetDocumentHook(1), -1);

  ASSERT_EQ(g_mismatchList, &handshakeNode);
  EXPECT_EQ(handshakeNode.next, &g_hookNode);
  EXPECT_EQ(g_hookNode.next, nullptr);
  g_mismatchList = nullptr;  // the local node goes out of scope
}

struct ForwardCase {
  const char* behaviour;
  uintptr_t action;
  int32_t hostResult;
};

class DocumentHookForwardTest : public DocumentHookTest,
                                public ::testing::WithParamInterface<ForwardCase> {};

TEST_P(DocumentHookForwardTest, PassesAllElevenArgumentsAndTheResultUnchanged) {
  const ForwardCase& c = GetParam();
  sim::HostModel& host = sim::Host();
  ASSERT_EQ(SetDocumentHook(1), 0);
  host.SetHandlerResult(c.hostResult);
  host.ClearCalls();
  const std::vector<uintptr_t> args = {c.action,   0x80000001, 0xFFFFFFFF, 0,
                                       0x7FFFFFFF, 0x12345678, 0xDEADBEEF, 1,
                                       0xCAFEBABE, 0x0BADF00D, 0xFEDCBA98};

  const int32_t result = Slot()(args[0], args[1], args[2], args[3], args[4], args[5], args[6],
                                args[7], args[8], args[9], args[10]);

  EXPECT_EQ(result, c.hostResult);
  // Both tables prepared once, in order, before the host's handler runs.
  const std::vector<unsigned> expected = {kOrdHostTableByNumber, kOrdHostTablePrepare,
                                          kOrdHostTableByNumber, kOrdHostTablePrepare,
                                          sim::HostModel::kHandlerOrdinal};
  ASSERT_EQ(host.Ordinals(), expected);
  const std::vector<sim::Call>& calls = host.Calls();
  EXPECT_EQ(calls[0].ints, (std::vector<int64_t>{kTableDocument}));
  EXPECT_EQ(calls[1].ints,
            (std::vector<int64_t>{sim::AddressValue(host.Table(kTableDocument)), 255}));
  EXPECT_EQ(calls[2].ints, (std::vector<int64_t>{kTableK9}));
  EXPECT_EQ(calls[3].ints, (std::vector<int64_t>{sim::AddressValue(host.Table(kTableK9)), 255}));
  std::vector<int64_t> passed;
  for (uintptr_t a : args) passed.push_back(static_cast<int64_t>(static_cast<intptr_t>(a)));
  EXPECT_EQ(calls[4].ints, passed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DocumentHookForwardTest,
    ::testing::Values(ForwardCase{"action_22", 22, 17}, ForwardCase{"action_24", 24, -5},
                      ForwardCase{"action_0", 0, 0},
                      ForwardCase{"action_with_23_in_its_low_16_bits", 0x10017, 0x7FFFFFFF},
                      ForwardCase{"action_minus_one", static_cast<uintptr_t>(-1), INT32_MIN}),
    [](const ::testing::TestParamInfo<ForwardCase>& info) { return info.param.behaviour; });

TEST_F(DocumentHookTest, ForwardedActionWithoutK9TableSkipsItsPreparation) {
  sim::HostModel& host = sim::Host();
  ASSERT_EQ(SetDocumentHook(1), 0);
  host.RemoveTable(kTableK9);
  host.SetHandlerResult(3);
  host.ClearCalls();

  EXPECT_EQ(Slot()(22, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0), 3);

  EXPECT_EQ(host.Ordinals(),
            (std::vector<unsigned>{kOrdHostTableByNumber, kOrdHostTablePrepare,
                                   kOrdHostTableByNumber, sim::HostModel::kHandlerOrdinal}));
}

TEST_F(DocumentHookTest, ForwardingToAnEmptyFormerSlotAnswersZero) {
  SetTableActionHandler(DocumentTable(), nullptr);
  ASSERT_EQ(SetDocumentHook(1), 0);
  ASSERT_EQ(g_savedHandler, nullptr);

  EXPECT_EQ(Slot()(22, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0), 0);

  EXPECT_TRUE(sim::Host().CallsTo(sim::HostModel::kHandlerOrdinal).empty());
}

// ---- action 23 -----------------------------------------------------------------------------

fixture::DocumentFields ExportedRecord() {
  fixture::DocumentFields f;
  f.name = "Towar";
  f.symbol = "SYM";
  f.unit = "szt";
  f.quantity = 1000;
  f.netPrice = 12300.0;
  f.grossPrice = 15129.0;
  f.articleKey = 7;
  f.value = 50.0;
  return f;
}

TEST_F(DocumentHookTest, Action23RunsTheWriterWithTheHandlersArguments) {
  sim::HostModel& host = sim::Host();
  ASSERT_EQ(SetDocumentHook(1), 0);
  host.SetDocumentRecords({fixture::BuildDocumentRecord(ExportedRecord()),
                           fixture::BuildDocumentRecord(ExportedRecord())});
  host.SetFindResult(1, fixture::BuildK9Record(250000.0, 300000.0));
  host.SetHandlerResult(99);
  host.ClearCalls();
  int32_t count = 2;
  int32_t source = 321;

  const int32_t result =
      Slot()(kActionCollectiveInvoice, 0xAAAA, reinterpret_cast<uintptr_t>(&count), 0xBBBB, 0xCCCC,
             0x600, reinterpret_cast<uintptr_t>(&source), 0x800, 0x9999, 0xAAAA, 0xBBBB);

  EXPECT_EQ(result, 0);
  EXPECT_TRUE(host.CallsTo(sim::HostModel::kHandlerOrdinal).empty());
  const std::vector<unsigned> ordinals = host.Ordinals();
  ASSERT_GE(ordinals.size(), 5u);
  EXPECT_EQ(std::vector<unsigned>(ordinals.begin(), ordinals.begin() + 5),
            (std::vector<unsigned>{kOrdHostTableByNumber, kOrdHostTablePrepare,
                                   kOrdHostTableByNumber, kOrdHostTablePrepare, kOrdHostFileOpen}));
  const std::vector<sim::Call> reads = host.CallsTo(kOrdHostReadRecord);
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(reads[0].ints, (std::vector<int64_t>{321, 0, 0x600, 0, 0x800}));
  EXPECT_EQ(reads[1].ints, (std::vector<int64_t>{321, 1, 0x600, 0, 0x800}));
  // The k9 prices reached the file, so the lookup wrote into the k9 table's buffer.
  const std::string file = host.FileText(kInvoiceFileName);
  EXPECT_NE(file.find("[Poz02]\n"), std::string::npos);
  EXPECT_NE(file.find("CenaNetto=25.00\nCenaBrutto=30.00\n"), std::string::npos);
  EXPECT_EQ(host.CallsTo(kOrdHostMessage).back().ints.at(2), 0x5001);
}

TEST_F(DocumentHookTest, Action23WithoutK9TableUsesTheRecordPrices) {
  sim::HostModel& host = sim::Host();
  ASSERT_EQ(SetDocumentHook(1), 0);
  host.SetDocumentRecords({fixture::BuildDocumentRecord(ExportedRecord())});
  host.RemoveTable(kTableK9);
  host.ClearCalls();
  int32_t count = 1;
  int32_t source = 0;

  EXPECT_EQ(Slot()(kActionCollectiveInvoice, 0, reinterpret_cast<uintptr_t>(&count), 0, 0, 0,
                   reinterpret_cast<uintptr_t>(&source), 0, 0, 0, 0),
            0);

  // No preparation of a table the host does not have.
  EXPECT_EQ(host.CallsTo(kOrdHostTablePrepare).size(), 1u);
  const std::string file = host.FileText(kInvoiceFileName);
  EXPECT_NE(file.find("CenaNetto=1.23\nCenaBrutto=1.51\n"), std::string::npos);
  const std::vector<sim::Call> messages = host.CallsTo(kOrdHostMessage);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].texts.at(1),
            "\x01" +
                sim::Utf8ToMazovia("cBłąd nr 2 operacji dyskowej w _ZewMagazynWprowadz!\n"
                                   "Operacja niekompletna!") +
                "\x01");
  EXPECT_EQ(messages[1].ints.at(2), 0x5001);
}

TEST_F(DocumentHookTest, Action23ReturnsZeroWhenTheFileCannotBeOpened) {
  sim::HostModel& host = sim::Host();
  ASSERT_EQ(SetDocumentHook(1), 0);
  host.FailFileOpen(true);
  host.SetHandlerResult(99);
  int32_t count = 1;
  int32_t source = 0;

  EXPECT_EQ(Slot()(kActionCollectiveInvoice, 0, reinterpret_cast<uintptr_t>(&count), 0, 0, 0,
                   reinterpret_cast<uintptr_t>(&source), 0, 0, 0, 0),
            0);
  EXPECT_EQ(host.CallsTo(kOrdHostErrorMessage).size(), 1u);
  EXPECT_TRUE(host.CallsTo(sim::HostModel::kHandlerOrdinal).empty());
}

TEST_F(DocumentHookTest, Action23WithoutDocumentTableWritesNothing) {
  sim::HostModel& host = sim::Host();
  ASSERT_EQ(SetDocumentHook(1), 0);
  const DocumentActionHandler hook = Slot();
  host.RemoveTable(kTableDocument);
  host.ClearCalls();
  int32_t count = 1;
  int32_t source = 0;

  EXPECT_EQ(hook(kActionCollectiveInvoice, 0, reinterpret_cast<uintptr_t>(&count), 0, 0, 0,
                 reinterpret_cast<uintptr_t>(&source), 0, 0, 0, 0),
            0);

  EXPECT_EQ(host.Ordinals(), (std::vector<unsigned>{kOrdHostTableByNumber, kOrdHostTableByNumber,
                                                    kOrdHostTablePrepare}));
  EXPECT_FALSE(std::filesystem::exists(scratch_->File(kInvoiceFileName)));
}

}  // namespace
