// The runtime's one digit-conversion routine: every e, f and g conversion of the plug-in's own
// formatted output takes its digits from here. On i386 it begins with the hot-patch prologue
// 8B FF 55 8B EC so that the frame can route it through NegativeZeroFilter at load.
#pragma once

#include <cstdint>

#include "host/host_entries.h"

// What the routine gives back. `mode` is the caller's request, the rest is the answer.
struct DigitRecord {
  char mode;         // in: 'e' = `ndigits` significant digits; 'f' = `ndigits` after the point
  char sign;         // out: '-' when the value's sign bit is set, ' ' otherwise
  int32_t exponent;  // out: 'e': decimal exponent of the first digit (d.ddd x 10^exponent);
                     //      'f': the number of digits before the point
  char* digits;      // out: the digits, in the caller's buffer, NUL-terminated
  int32_t length;    // out: how many digits
};

// Returns 0 on success, -1 when the buffer is too small (nothing usable then). Infinities and
// NaN are left to the caller (the routine answers -1 for them).
extern "C" int HOST_CDECL ConvertDigits(double value, int32_t ndigits, DigitRecord* record,
                                        char* buffer, int32_t size);

typedef int(HOST_CDECL* DigitConversionRoutine)(double, int32_t, DigitRecord*, char*, int32_t);
