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

// A double's exact decimal expansion has at most 767 significant digits and at most 1074
// digits after the point: the routine never answers more (every further digit is a zero, which
// the caller supplies), and a buffer of kDigitBufferSize bytes holds every answer, up to the
// fixed notation of the largest double (309 integer digits) with all its decimals, its sign,
// point and terminator.
inline constexpr int32_t kMaxSignificantDigits = 767;
inline constexpr int32_t kMaxFractionDigits = 1074;
inline constexpr int32_t kMaxIntegerDigits = 309;
inline constexpr int32_t kDigitBufferSize = 1 + kMaxIntegerDigits + 1 + kMaxFractionDigits + 1;

// Returns 0 on success, -1 when the buffer is too small (nothing usable then). Infinities and
// NaN are left to the caller (the routine answers -1 for them).
extern "C" int HOST_CDECL ConvertDigits(double value, int32_t ndigits, DigitRecord* record,
                                        char* buffer, int32_t size);

typedef int(HOST_CDECL* DigitConversionRoutine)(double, int32_t, DigitRecord*, char*, int32_t);
