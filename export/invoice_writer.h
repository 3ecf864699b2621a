// Writes the collective sales invoice file for document action 23.
#pragma once

#include <cstdint>

inline constexpr char kInvoiceFileName[] = "qarn_zak_fakt_zbiorcza.txt";

// count: the number of records, read anew at every test; readArg6 and readArg8 are passed on to
// HostReadRecord, and the value behind readSource is read for every record. The two buffers
// are the document (112) and k9 (49) record buffers; k9Record may be null when the host has no
// k9 table.
void WriteCollectiveInvoice(const int32_t* count, uintptr_t readArg6, const int32_t* readSource,
                            uintptr_t readArg8, unsigned char* documentRecord,
                            unsigned char* k9Record);
