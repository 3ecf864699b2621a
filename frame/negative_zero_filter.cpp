// The negative-zero filter in front of the digit conversion.
#include "frame/negative_zero_filter.h"

DigitConversionRoutine g_digitContinuation = &ConvertDigits;

extern "C" int HOST_CDECL NegativeZeroFilter(double value, int32_t ndigits, DigitRecord* record,
                                             char* buffer, int32_t size) {
  // Equality holds for +0.0 and -0.0 alike (and never for NaN); either way the digit
  // conversion then sees a zero with its sign bit clear. A non-zero value keeps its sign even
  // when all its printed digits turn out to be zeros.
  if (value == 0.0) {
    // Not redundant: -0.0 equals 0.0, and this store clears its sign bit.
    // cppcheck-suppress duplicateConditionalAssign
    value = 0.0;
  }
  return g_digitContinuation(value, ndigits, record, buffer, size);
}
