// The plug-in's handler in the Qarn_wyc table's document-action slot: action 23 writes the
// collective invoice, every other action goes on to the handler the host had there.
#include "export/document_hook.h"

#include "export/invoice_writer.h"
#include "handshake/mismatch_list.h"
#include "host/host_entries.h"
#include "host/host_types.h"

HostTable g_hookedTable = nullptr;
DocumentActionHandler g_savedHandler = nullptr;
TableSizeNode g_hookNode = {};

namespace {

// The table's object, prepared, and its record buffer; null for both when the host has no
// object for the number, so that a missing table is never touched.
unsigned char* PreparedRecordBuffer(int number) {
  HostTable table = HostTableByNumber(number);
  if (table == nullptr) return nullptr;
  HostTablePrepare(table, kTablePrepareAll);
  return TableRecordBuffer(table);
}

int32_t RemoveHook() {
  if (g_hookedTable != nullptr) {
    SetTableActionHandler(g_hookedTable, g_savedHandler);
    g_hookedTable = nullptr;
  }
  return 0;
}

int32_t InstallHook() {
  if (g_hookedTable != nullptr) return 0;  // already in place: the saved handler stays

  HostTable table = HostTableByNumber(kTableDocument);
  if (table != nullptr && TableRecordSize(table) == kSizeDocument) {
    g_savedHandler = TableActionHandler(table);
    SetTableActionHandler(table, &DocumentActionHook);
    g_hookedTable = table;
    return 0;
  }
  // The handshake reports the refusal; the install only records which table was wrong.
  FillTableSizeNode(&g_hookNode, kTableNameDocument, kSizeDocument, table);
  AppendMismatch(&g_hookNode);
  return -1;
}

}  // namespace

int32_t SetDocumentHook(int32_t install) { return install != 0 ? InstallHook() : RemoveHook(); }

int32_t RestoreDocumentHandler() { return RemoveHook(); }

extern "C" int32_t HOST_CDECL DocumentActionHook(uintptr_t action, uintptr_t a2, uintptr_t count,
                                                 uintptr_t a4, uintptr_t a5, uintptr_t a6,
                                                 uintptr_t a7, uintptr_t a8, uintptr_t a9,
                                                 uintptr_t a10, uintptr_t a11) {
  // Both tables are prepared for every action, the forwarded ones included.
  unsigned char* documentRecord = PreparedRecordBuffer(kTableDocument);
  unsigned char* k9Record = PreparedRecordBuffer(kTableK9);

  if (static_cast<int32_t>(action) != kActionCollectiveInvoice) {
    // A host whose slot was empty has no handler to go on to.
    if (g_savedHandler == nullptr) return 0;
    return g_savedHandler(action, a2, count, a4, a5, a6, a7, a8, a9, a10, a11);
  }
  // Without the document table there is no record to read.
  if (documentRecord != nullptr) {
    WriteCollectiveInvoice(reinterpret_cast<const int32_t*>(count), a6,
                           reinterpret_cast<const int32_t*>(a7), a8, documentRecord, k9Record);
  }
  return 0;
}
