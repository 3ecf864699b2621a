// The host entry table built by host_entry_table.S: one row per host entry, in binding order.
#pragma once

#include <cstdint>

// An entry slot's content: the current call target of a host entry.
typedef void* HostEntryTarget;
// Binds a slot at load: 0 when the slot holds a target afterwards, -1 when it stays empty.
typedef int (*HostEntryInitializer)();

struct HostEntryRow {
  uint32_t ordinal;
  HostEntryTarget* slot;
  HostEntryTarget lazyEntry;  // the slot's initial target
  HostEntryInitializer initializer;
};
static_assert(sizeof(HostEntryRow) == 16, "rows are four .long values");

extern "C" const HostEntryRow g_hostEntryRows[];
extern "C" const HostEntryRow g_hostEntryRowsEnd[];

// The row of a host entry, or null when the plug-in does not bind that ordinal.
const HostEntryRow* FindHostEntryRow(uint32_t ordinal);

// Runs the initializers in table order and stops at the first that leaves its slot empty.
// 0 when every slot is bound, -1 otherwise.
int RunHostEntryInitializers();

// Binds `slot` to `entry` (an ordinal, or the address of an entry name) in the host library,
// asking the user through the missing-entry box when the host lacks it. Called by the lazy
// entries and the initializers with every register saved.
extern "C" void ResolveHostEntry(uintptr_t entry, HostEntryTarget* slot);
