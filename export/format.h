// The plug-in's own printf-style formatting into a bounded buffer.
//
// Standard printf rules: flags - + space 0 #, width and precision (each may be *), lengths hh h
// l ll j z t, conversions d i u o x X c s p f F e E g G and %%. The decimal separator is a point,
// there is no digit grouping and no locale. Infinity and NaN read inf/nan (INF/NAN for the
// upper-case conversions), with a minus sign when the sign bit is set. A null text for %s reads
// "(null)" (nothing when the precision is below 6). Every e, f and g digit comes from the one
// digit-conversion routine, so a zero value never shows a minus sign there. A conversion this
// formatter does not know (%n among them) is copied literally and takes no argument.
#pragma once

#include <cstdarg>
#include <cstddef>

// Formats into `buffer` of `size` bytes and terminates it. Output that does not fit is cut at
// the buffer's end (the NUL at size-1); nothing is ever written past it, and a size of 0 writes
// nothing at all. Returns the number of characters stored, the NUL not counted.
size_t FormatText(char* buffer, size_t size, const char* format, va_list args);

// The same with the values given directly.
#if defined(__MINGW32__)
#define QARN_PRINTF_LIKE(f, v) __attribute__((format(gnu_printf, f, v)))
#else
#define QARN_PRINTF_LIKE(f, v) __attribute__((format(printf, f, v)))
#endif
size_t FormatTextF(char* buffer, size_t size, const char* format, ...) QARN_PRINTF_LIKE(3, 4);
