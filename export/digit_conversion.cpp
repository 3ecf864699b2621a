// The digit-conversion routine. The digits come from std::to_chars with an explicit precision,
// which rounds the value's exact binary expansion correctly (ties to even), so no digit is ever
// the product of this file's own arithmetic.
#include "export/digit_conversion.h"

#include <charconv>
#include <cmath>

// On i386 the frame patches the routine's first five bytes at load, so the entry must begin
// with the hot-patch prologue 8B FF 55 8B EC, and every caller must go through that entry: the
// compiler may neither inline it, nor clone it, nor call a specialised copy.
#if defined(__i386__)
#define QARN_HOT_PATCHABLE __attribute__((ms_hook_prologue))
#else
#define QARN_HOT_PATCHABLE
#endif
#if defined(__clang__)
#define QARN_REAL_ENTRY __attribute__((noinline, used))
#else
#define QARN_REAL_ENTRY __attribute__((noipa, used))
#endif

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

extern "C" QARN_HOT_PATCHABLE QARN_REAL_ENTRY int HOST_CDECL
ConvertDigits(double value, int32_t ndigits, DigitRecord* record, char* buffer, int32_t size) {
  if (record == nullptr || buffer == nullptr || size < 2 || !std::isfinite(value)) {
    return -1;
  }
  std::chars_format format;
  int precision;
  if (record->mode == 'e' && ndigits >= 1) {
    format = std::chars_format::scientific;
    precision = (ndigits < kMaxSignificantDigits ? ndigits : kMaxSignificantDigits) - 1;
  } else if (record->mode == 'f' && ndigits >= 0) {
    format = std::chars_format::fixed;
    precision = ndigits < kMaxFractionDigits ? ndigits : kMaxFractionDigits;
  } else {
    return -1;
  }

  // One byte stays free for the terminator; the digits are then packed in place (they never
  // grow), dropping the sign, the point and the exponent text.
  const std::to_chars_result written =
      std::to_chars(buffer, buffer + size - 1, value, format, precision);
  if (written.ec != std::errc()) {
    return -1;
  }
  const char* read = buffer;
  if (*read == '-') {
    ++read;
  }
  int32_t length = 0;
  int32_t beforePoint = 0;
  bool pointSeen = false;
  while (read < written.ptr && (IsDigit(*read) || *read == '.')) {
    if (*read == '.') {
      pointSeen = true;
    } else {
      buffer[length++] = *read;
      if (!pointSeen) {
        ++beforePoint;
      }
    }
    ++read;
  }

  int32_t exponent = beforePoint;
  if (format == std::chars_format::scientific) {
    // to_chars writes e+dd, e-dd or e+ddd.
    if (read >= written.ptr || *read != 'e') {
      return -1;
    }
    ++read;
    const bool negativeExponent = *read == '-';
    ++read;
    exponent = 0;
    while (read < written.ptr) {
      exponent = exponent * 10 + (*read - '0');
      ++read;
    }
    if (negativeExponent) {
      exponent = -exponent;
    }
  }

  buffer[length] = '\0';
  record->sign = std::signbit(value) ? '-' : ' ';
  record->exponent = exponent;
  record->digits = buffer;
  record->length = length;
  return 0;
}
