// The k9 warehouse price lookup: the host searches table 49 with its own context values set to
// the warehouse and the article, and the found record is copied where the caller wants it.
#include "export/price_lookup.h"

#include <cstring>

#include "host/host_entries.h"
#include "host/host_types.h"

namespace {

// "Uwaga"
constexpr char kTitle[] = "Uwaga";
// "\x01cBłąd nr 2 operacji dyskowej w _ZewMagazynWprowadz!\nOperacja niekompletna!\x01"
constexpr char kDiskErrorText[] =
    "\x01"
    "cB\x92\x86"
    "d nr 2 operacji dyskowej w _ZewMagazynWprowadz!\nOperacja niekompletna!\x01";
constexpr int kMessageFlags = 1;

// HostQuietMode around the search: quiet while it runs, back to 1 after it.
constexpr int kQuietDuringSearch = 0;
constexpr int kQuietAfterSearch = 1;

}  // namespace

extern "C" int32_t _ZewMagazynWprowadz(int32_t findA, int32_t warehouse, int32_t articleKey,
                                       unsigned char* destination, int32_t findB) {
  HostTable table = HostTableByNumber(kTableK9);
  if (table == nullptr) {
    HostMessage(kTitle, kDiskErrorText, kMessageFlags);
    return 0;
  }
  HostTablePrepare(table, kTablePrepareAll);
  const unsigned char* recordBuffer = TableRecordBuffer(table);

  // The host hands out the context addresses afresh on every request, so each read and each
  // write asks again rather than keeping an address.
  const int16_t savedWord = *HostCurrentWord();
  const int32_t savedLong = *HostCurrentLong();
  *HostCurrentWord() = static_cast<int16_t>(warehouse);
  *HostCurrentLong() = static_cast<int16_t>(articleKey);  // low 16 bits, sign-widened

  HostQuietMode(kQuietDuringSearch);
  const int16_t found = static_cast<int16_t>(HostFindRecord(findA, findB));
  HostQuietMode(kQuietAfterSearch);

  // The writer copies the buffer onto itself, hence memmove. A non-positive size from the
  // host's object (or no destination) copies nothing rather than a huge or invalid block.
  const int16_t recordSize = TableRecordSize(table);
  if (recordSize > 0 && destination != nullptr && recordBuffer != nullptr) {
    std::memmove(destination, recordBuffer, static_cast<size_t>(recordSize));
  }

  *HostCurrentWord() = savedWord;
  *HostCurrentLong() = savedLong;
  return found;
}
