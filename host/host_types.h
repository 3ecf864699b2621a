// Byte layouts the plug-in shares with the host, stated once.
//
// Host objects and records are the host's memory: packed, little-endian, fields at any byte.
// They are read and written only through the accessors below, by byte position, never through
// a guessed struct.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "host/host_entries.h"

// The plug-in's name towards the host, its settings section and the name in its messages.
inline constexpr char kPluginName[] = "Qarn_tzak_fakt_zbiorcza";
inline constexpr size_t kPluginNameSize = sizeof kPluginName;  // 24, NUL included
static_assert(kPluginNameSize == 24, "the host reserves 24 bytes for the name");

// Host message markup (Mazovia texts given to HostMessage, HostMessageF, HostErrorMessage).
inline constexpr char kMarkupCommand = '\x01';   // \x01 letter operand \x01; also closes emphasis
inline constexpr char kMarkupEmphasis = '\x02';  // \x02 text \x01

// Host table numbers and the record sizes the plug-in reads them with.
enum : int {
  kTableDDek = 59,
  kTableDocument = 112,  // Qarn_wyc
  kTableK9 = 49,
  kSizeDDek = 2418,
  kSizeDocument = 1890,
  kSizeK9 = 1024,
  kTablePrepareAll = 255,  // HostTablePrepare argument that makes the record buffer usable
};

// The host's names of those tables, as the report shows them.
inline constexpr char kTableNameDDek[] = "d_dek";
inline constexpr char kTableNameDocument[] = "Qarn_wyc";
inline constexpr char kTableNameK9[] = "k9";

// Host table object: three fields at fixed byte positions.
namespace table_object {
inline constexpr size_t kRecordSize = 6;       // int16: the table's record size
inline constexpr size_t kRecordBuffer = 8;     // address of the record buffer (after prepare 255)
inline constexpr size_t kActionHandler = 104;  // code address: the document-action handler slot
}  // namespace table_object

// Unaligned little-endian reads and writes at a byte position.
template <typename T>
inline T ReadAt(const unsigned char* base, size_t offset) {
  T value;
  std::memcpy(&value, base + offset, sizeof value);
  return value;
}
template <typename T>
inline void WriteAt(unsigned char* base, size_t offset, T value) {
  std::memcpy(base + offset, &value, sizeof value);
}

inline int16_t TableRecordSize(HostTable table) {
  return ReadAt<int16_t>(table, table_object::kRecordSize);
}
inline unsigned char* TableRecordBuffer(HostTable table) {
  return ReadAt<unsigned char*>(table, table_object::kRecordBuffer);
}

// The document-action handler: eleven 32-bit arguments (pointer-sized natively), the first the
// action code. This product's host calls it with the C convention: the caller removes them.
typedef int32_t(HOST_CDECL* DocumentActionHandler)(uintptr_t, uintptr_t, uintptr_t, uintptr_t,
                                                   uintptr_t, uintptr_t, uintptr_t, uintptr_t,
                                                   uintptr_t, uintptr_t, uintptr_t);

inline DocumentActionHandler TableActionHandler(HostTable table) {
  return ReadAt<DocumentActionHandler>(table, table_object::kActionHandler);
}
inline void SetTableActionHandler(HostTable table, DocumentActionHandler handler) {
  WriteAt(table, table_object::kActionHandler, handler);
}

// The Qarn_wyc document record (table 112, 1890 bytes). Text fields are NUL-terminated Mazovia
// bounded by their spans: [offset, end) is the most the plug-in reads of each.
namespace document_record {
inline constexpr size_t kName = 6, kNameEnd = 127;        // text
inline constexpr size_t kSymbol = 127, kSymbolEnd = 165;  // text
inline constexpr size_t kUnit = 165, kUnitEnd = 579;      // text, up to the net price
inline constexpr size_t kNetPrice = 579;                  // double, ten-thousandths
inline constexpr size_t kGrossPrice = 587;                // double, ten-thousandths
inline constexpr size_t kQuantity = 595;                  // int32, thousandths
inline constexpr size_t kDiscount = 623;                  // double, thousandths
inline constexpr size_t kVatCode = 674;                   // uint16
inline constexpr size_t kClassification = 1074, kClassificationEnd = 1089;  // text (PKWIU)
inline constexpr size_t kWarehouse = 1089;                                  // int16
inline constexpr size_t kArticleKey = 1091;                                 // uint16, 0 for none
inline constexpr size_t kValue = 1112;  // double, ten-thousandths, net
inline constexpr size_t kSize = 1890;
}  // namespace document_record

// The k9 warehouse price record (table 49, 1024 bytes).
namespace k9_record {
inline constexpr size_t kNetPrice = 231;    // double, ten-thousandths
inline constexpr size_t kGrossPrice = 239;  // double, ten-thousandths
inline constexpr size_t kSize = 1024;
}  // namespace k9_record

// One table's record-size comparison and its link in the mismatch list.
struct TableSizeNode {
  int32_t expectedSize;
  int32_t hostSize;  // the object's int16 size widened with its sign; 0 without an object
  const char* name;
  TableSizeNode* next;
};

// Copies the identity string with its NUL into `buffer` (at least 24 bytes); returns `buffer`.
inline char* CopyPluginName(char* buffer) {
  std::memcpy(buffer, kPluginName, kPluginNameSize);
  return buffer;
}
