// Finds the k9 warehouse price record of a warehouse and an article.
#pragma once

#include <cstdint>

// Searches table 49 with the host's context set to (warehouse, article key), copies the table's
// record to `destination` and returns the low 16 bits of the host's answer, sign-widened
// (non-zero: found). 0 with a message when table 49 is missing.
extern "C" int32_t _ZewMagazynWprowadz(int32_t findA, int32_t warehouse, int32_t articleKey,
                                       unsigned char* destination, int32_t findB);
