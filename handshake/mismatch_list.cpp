#include "handshake/mismatch_list.h"

TableSizeNode* g_mismatchList = nullptr;

int32_t AppendMismatch(TableSizeNode* node) {
  if (g_mismatchList == nullptr) {
    node->next = nullptr;
    g_mismatchList = node;
    return -1;
  }
  // Identity, not name: two owners' nodes for the same table are both listed.
  TableSizeNode* last = g_mismatchList;
  for (;;) {
    if (last == node) return -1;  // already listed: the list must never point back into itself
    if (last->next == nullptr) break;
    last = last->next;
  }
  // A node joins as the tail; a stale link it still carries would splice foreign nodes in.
  node->next = nullptr;
  last->next = node;
  return -1;
}

int32_t NoteTableSize(TableSizeNode* node) {
  if (node->expectedSize == node->hostSize) return 0;
  return AppendMismatch(node);
}

void FillTableSizeNode(TableSizeNode* node, const char* name, int32_t expectedSize,
                       HostTable table) {
  node->expectedSize = expectedSize;
  node->hostSize = table != nullptr ? TableRecordSize(table) : 0;
  node->name = name;
  // Cuts whatever followed this node in the list; each owner hands its own node in again.
  node->next = nullptr;
}
