// Formatted numbers never show a minus sign on a zero value: the filter turns -0.0 into +0.0
// before the digit conversion sees it.
#pragma once

#include "export/digit_conversion.h"

// Where the filter continues: the digit-conversion routine itself until the frame patches that
// routine, then the trampoline that re-creates its former entry (or an earlier replacement).
extern DigitConversionRoutine g_digitContinuation;

extern "C" int HOST_CDECL NegativeZeroFilter(double value, int32_t ndigits, DigitRecord* record,
                                             char* buffer, int32_t size);
