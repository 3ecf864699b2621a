// The list of host tables whose record size differs from the plug-in's.
#pragma once

#include <cstdint>

#include "host/host_types.h"

// Head of the list; null while it is empty. Nodes are static records of their owners.
extern TableSizeNode* g_mismatchList;

// Appends `node` (whose next is null) unless it is already in the list; returns -1.
int32_t AppendMismatch(TableSizeNode* node);
// Appends `node` when its sizes differ and returns -1; returns 0 when they agree.
int32_t NoteTableSize(TableSizeNode* node);
// Fills a node for a table the host answered with `table` (null: host size 0), next null.
void FillTableSizeNode(TableSizeNode* node, const char* name, int32_t expectedSize,
                       HostTable table);
