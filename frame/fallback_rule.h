// Which fallback stub stands in for a host entry the host library does not export.
//
// A host entry is named either by its ordinal (a number below 65536) or by the address of its
// name. Stub n returns 0 and removes n argument words, so the rule reads the number of argument
// bytes the entry removes itself from the ordinal's last two digits (99: the caller removes
// them) or from a name's stdcall decoration ("Name@12").
#pragma once

#include <cstdint>

inline constexpr int kFallbackStubCount = 15;  // stubs 0 to 14
inline constexpr int kNoFallback = -1;
// Entries below this value are ordinals; the rest are addresses of entry names.
inline constexpr uintptr_t kFirstEntryNameAddress = 65536;

inline bool IsOrdinalEntry(uintptr_t entry) { return entry < kFirstEntryNameAddress; }

// The stub number for an ordinal, or kNoFallback.
int FallbackStubForOrdinal(unsigned ordinal);
// The stub number for an entry name (NUL-terminated), or kNoFallback.
int FallbackStubForName(const char* name);
// Either of the two, by the kind of entry.
int FallbackStubNumber(uintptr_t entry);
