// The plug-in's own printf-style formatter. It owns no memory beyond its stack, knows no locale
// and stops writing at the end of the caller's buffer.
#include "export/format.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "export/digit_conversion.h"
#include "frame/negative_zero_filter.h"

namespace {

// ---- where the e, f and g digits come from --------------------------------------------------

// Once the frame's load-time patch is in force (QARN_DIGITS_PATCHED), the digit-conversion
// routine's own entry leads through NegativeZeroFilter, so calling the routine is enough.
// Without the patch (natively, or before it exists) the formatter goes through the filter
// itself. Either way a zero never reaches the digits with its sign bit set.
int ConvertForFormat(double value, int32_t ndigits, DigitRecord* record, char* buffer,
                     int32_t size) {
#if defined(QARN_DIGITS_PATCHED)
  return ConvertDigits(value, ndigits, record, buffer, size);
#else
  return NegativeZeroFilter(value, ndigits, record, buffer, size);
#endif
}

// ---- the bounded output -----------------------------------------------------------------------

struct Output {
  char* buffer;
  size_t capacity;  // characters that fit before the terminator
  size_t length;

  bool Full() const { return length >= capacity; }
  void Put(char c) {
    if (length < capacity) {
      buffer[length++] = c;
    }
  }
  void Repeat(char c, size_t count) {
    for (; count > 0 && length < capacity; --count) {
      buffer[length++] = c;
    }
  }
  void Write(const char* text, size_t count) {
    for (size_t i = 0; i < count && length < capacity; ++i) {
      buffer[length++] = text[i];
    }
  }
};

// ---- one conversion directive ------------------------------------------------------------

enum class Length { kDefault, kChar, kShort, kLong, kLongLong, kIntMax, kSize, kPtrDiff };

struct Directive {
  bool left = false;       // -
  bool plus = false;       // +
  bool space = false;      // space
  bool zero = false;       // 0
  bool alternate = false;  // #
  size_t width = 0;
  int precision = -1;  // -1: none given
  Length length = Length::kDefault;
  char conversion = '\0';
};

// A field is a short prefix (sign, 0x) and up to kMaxPieces pieces, each a run of text or a
// run of one repeated character, so that long zero runs need no buffer of their own.
struct Piece {
  const char* text;  // null: `count` copies of `fill`
  size_t count;
  char fill;
};
constexpr int kMaxPieces = 8;

struct Field {
  char prefix[3] = {};
  size_t prefixLength = 0;
  Piece pieces[kMaxPieces] = {};
  int pieceCount = 0;

  void Prefix(char c) { prefix[prefixLength++] = c; }
  void Text(const char* text, size_t count) {
    if (count > 0) pieces[pieceCount++] = Piece{text, count, '\0'};
  }
  void Fill(char c, size_t count) {
    if (count > 0) pieces[pieceCount++] = Piece{nullptr, count, c};
  }
  size_t Size() const {
    size_t size = prefixLength;
    for (int i = 0; i < pieceCount; ++i) size += pieces[i].count;
    return size;
  }
};

// Pads the field to the width: spaces after it (-), zeros between prefix and body (0, where
// the conversion allows it), or spaces before it.
void Emit(Output& out, const Directive& directive, const Field& field, bool zeroPadAllowed) {
  const size_t size = field.Size();
  const size_t padding = directive.width > size ? directive.width - size : 0;
  const bool zeroPad = zeroPadAllowed && directive.zero && !directive.left;
  if (!directive.left && !zeroPad) out.Repeat(' ', padding);
  out.Write(field.prefix, field.prefixLength);
  if (zeroPad) out.Repeat('0', padding);
  for (int i = 0; i < field.pieceCount; ++i) {
    const Piece& piece = field.pieces[i];
    if (piece.text != nullptr) {
      out.Write(piece.text, piece.count);
    } else {
      out.Repeat(piece.fill, piece.count);
    }
  }
  if (directive.left) out.Repeat(' ', padding);
}

size_t Clamp(int64_t value) { return value > 0 ? static_cast<size_t>(value) : 0; }

// ---- integers ---------------------------------------------------------------------------------

void FormatInteger(Output& out, const Directive& directive, uint64_t magnitude, bool negative,
                   bool isSigned) {
  const char conversion = directive.conversion;
  const unsigned base = conversion == 'o'                                               ? 8
                        : (conversion == 'x' || conversion == 'X' || conversion == 'p') ? 16
                                                                                        : 10;
  const char* digitSet = conversion == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";

  char digits[24];  // 22 octal digits for 64 bits
  size_t count = 0;
  for (uint64_t rest = magnitude; rest != 0; rest /= base) {
    digits[sizeof digits - 1 - count++] = digitSet[rest % base];
  }
  const char* first = digits + sizeof digits - count;
  // Without a precision at least one digit is shown; precision 0 shows nothing for zero.
  const size_t minimumDigits =
      directive.precision < 0 ? 1 : static_cast<size_t>(directive.precision);
  size_t leadingZeros = minimumDigits > count ? minimumDigits - count : 0;
  if (conversion == 'o' && directive.alternate && leadingZeros == 0 &&
      (count == 0 || *first != '0')) {
    leadingZeros = 1;  // # makes an octal number start with 0
  }

  Field field;
  if (isSigned) {
    if (negative) {
      field.Prefix('-');
    } else if (directive.plus) {
      field.Prefix('+');
    } else if (directive.space) {
      field.Prefix(' ');
    }
  }
  if ((directive.alternate && magnitude != 0 && (conversion == 'x' || conversion == 'X')) ||
      conversion == 'p') {
    field.Prefix('0');
    field.Prefix(conversion == 'X' ? 'X' : 'x');
  }
  field.Fill('0', leadingZeros);
  field.Text(first, count);
  Emit(out, directive, field, directive.precision < 0);
}

int64_t ReadSigned(const Directive& directive, va_list& args) {
  switch (directive.length) {
    case Length::kChar:
      return static_cast<signed char>(va_arg(args, int));
    case Length::kShort:
      return static_cast<short>(va_arg(args, int));
    case Length::kLong:
      return va_arg(args, long);
    case Length::kLongLong:
      return va_arg(args, long long);
    case Length::kIntMax:
      return va_arg(args, intmax_t);
    case Length::kSize:
      return va_arg(args, std::make_signed_t<size_t>);
    case Length::kPtrDiff:
      return va_arg(args, ptrdiff_t);
    case Length::kDefault:
      break;
  }
  return va_arg(args, int);
}

uint64_t ReadUnsigned(const Directive& directive, va_list& args) {
  switch (directive.length) {
    case Length::kChar:
      return static_cast<unsigned char>(va_arg(args, unsigned));
    case Length::kShort:
      return static_cast<unsigned short>(va_arg(args, unsigned));
    case Length::kLong:
      return va_arg(args, unsigned long);
    case Length::kLongLong:
      return va_arg(args, unsigned long long);
    case Length::kIntMax:
      return va_arg(args, uintmax_t);
    case Length::kSize:
      return va_arg(args, size_t);
    case Length::kPtrDiff:
      return static_cast<std::make_unsigned_t<ptrdiff_t>>(va_arg(args, ptrdiff_t));
    case Length::kDefault:
      break;
  }
  return va_arg(args, unsigned);
}

// ---- texts ------------------------------------------------------------------------------------

void FormatPlain(Output& out, const Directive& directive, const char* text, size_t count) {
  Field field;
  field.Text(text, count);
  Emit(out, directive, field, false);
}

void FormatString(Output& out, const Directive& directive, const char* text) {
  if (text == nullptr) {
    // Only a precision that leaves room for all of "(null)" shows it; a shorter one shows
    // nothing rather than a piece of it.
    static constexpr char kNull[] = "(null)";
    constexpr int kNullLength = sizeof kNull - 1;
    const bool shown = directive.precision < 0 || directive.precision >= kNullLength;
    FormatPlain(out, directive, kNull, shown ? kNullLength : 0);
    return;
  }
  // Never read past the precision: the text need not be terminated within it.
  size_t count = 0;
  const size_t limit =
      directive.precision < 0 ? SIZE_MAX : static_cast<size_t>(directive.precision);
  while (count < limit && text[count] != '\0') ++count;
  FormatPlain(out, directive, text, count);
}

// ---- floating values --------------------------------------------------------------------------

// e+dd, e-dd or e+ddd after the digits.
size_t ExponentText(char* text, char letter, int32_t exponent) {
  size_t count = 0;
  text[count++] = letter;
  text[count++] = exponent < 0 ? '-' : '+';
  const int32_t magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude >= 100) text[count++] = static_cast<char>('0' + magnitude / 100);
  text[count++] = static_cast<char>('0' + magnitude / 10 % 10);
  text[count++] = static_cast<char>('0' + magnitude % 10);
  return count;
}

void FormatNonFinite(Output& out, const Directive& directive, double value, bool upper) {
  Field field;
  if (std::signbit(value)) {
    field.Prefix('-');
  } else if (directive.plus) {
    field.Prefix('+');
  } else if (directive.space) {
    field.Prefix(' ');
  }
  const char* text = std::isnan(value) ? (upper ? "NAN" : "nan") : (upper ? "INF" : "inf");
  field.Text(text, 3);
  Emit(out, directive, field, false);
}

// d.ddd(e|E)(+|-)dd from `significant` requested digits, of which `record` holds the first
// record.length; `fractionShown` digits follow the point (zeros past the given ones).
void LayOutExponential(Field& field, const DigitRecord& record, size_t available,
                       size_t fractionShown, bool point, char* exponentText, char letter) {
  field.Text(record.digits, 1);
  if (point) field.Text(".", 1);
  const size_t fractionGiven = available - 1 < fractionShown ? available - 1 : fractionShown;
  field.Text(record.digits + 1, fractionGiven);
  field.Fill('0', fractionShown - fractionGiven);
  field.Text(exponentText, ExponentText(exponentText, letter, record.exponent));
}

// Fixed notation from significant digits with the first at 10^record.exponent: `available`
// of them are given, `fractionShown` digits follow the point.
void LayOutFixedFromSignificant(Field& field, const DigitRecord& record, size_t available,
                                size_t fractionShown, bool point) {
  const int32_t exponent = record.exponent;
  if (exponent >= 0) {
    const size_t integerDigits = static_cast<size_t>(exponent) + 1;
    const size_t integerGiven = available < integerDigits ? available : integerDigits;
    field.Text(record.digits, integerGiven);
    field.Fill('0', integerDigits - integerGiven);
    if (point) field.Text(".", 1);
    const size_t fractionGiven =
        available - integerGiven < fractionShown ? available - integerGiven : fractionShown;
    field.Text(record.digits + integerGiven, fractionGiven);
    field.Fill('0', fractionShown - fractionGiven);
  } else {
    field.Text("0", 1);
    if (point) field.Text(".", 1);
    const size_t leadingZeros = static_cast<size_t>(-exponent) - 1;
    field.Fill('0', leadingZeros);
    const size_t rest = fractionShown - leadingZeros;
    const size_t given = available < rest ? available : rest;
    field.Text(record.digits, given);
    field.Fill('0', rest - given);
  }
}

void FormatFloat(Output& out, const Directive& directive, double value) {
  const char conversion = directive.conversion;
  const bool upper = conversion == 'F' || conversion == 'E' || conversion == 'G';
  if (!std::isfinite(value)) {
    FormatNonFinite(out, directive, value, upper);
    return;
  }
  const int64_t precision = directive.precision < 0 ? 6 : directive.precision;
  const char kind = static_cast<char>(conversion | 0x20);  // f, e or g

  char digitBuffer[kDigitBufferSize];
  DigitRecord record{};
  int64_t requested;
  if (kind == 'f') {
    record.mode = 'f';
    requested = precision < kMaxFractionDigits ? precision : kMaxFractionDigits;
  } else {
    // e: one digit before the point and `precision` after it; g: `precision` significant
    // digits, at least one, laid out from the e digits.
    const int64_t significant = kind == 'e' ? precision + 1 : (precision == 0 ? 1 : precision);
    record.mode = 'e';
    requested = significant < kMaxSignificantDigits ? significant : kMaxSignificantDigits;
  }
  if (ConvertForFormat(value, static_cast<int32_t>(requested), &record, digitBuffer,
                       kDigitBufferSize) != 0) {
    return;  // cannot happen for a finite value with this buffer
  }

  Field field;
  if (record.sign == '-') {
    field.Prefix('-');
  } else if (directive.plus) {
    field.Prefix('+');
  } else if (directive.space) {
    field.Prefix(' ');
  }
  const size_t available = static_cast<size_t>(record.length);
  char exponentText[8];
  const char letter = upper ? 'E' : 'e';

  if (kind == 'f') {
    const size_t integerDigits = static_cast<size_t>(record.exponent);
    const size_t fraction = static_cast<size_t>(precision);
    field.Text(record.digits, integerDigits);
    if (fraction > 0 || directive.alternate) field.Text(".", 1);
    const size_t fractionGiven = available - integerDigits;
    field.Text(record.digits + integerDigits, fractionGiven);
    field.Fill('0', fraction - fractionGiven);
  } else if (kind == 'e') {
    const size_t fraction = static_cast<size_t>(precision);
    LayOutExponential(field, record, available, fraction, fraction > 0 || directive.alternate,
                      exponentText, letter);
  } else {
    const int64_t significant = precision == 0 ? 1 : precision;
    const int64_t exponent = record.exponent;
    // Without # the trailing zeros of the significant digits go, and the point with them when
    // nothing follows it.
    size_t kept = available;
    if (!directive.alternate) {
      while (kept > 1 && record.digits[kept - 1] == '0') --kept;
    }
    const int64_t total = directive.alternate ? significant : static_cast<int64_t>(kept);
    if (exponent < significant && exponent >= -4) {
      const size_t fraction = Clamp(total - 1 - exponent);
      LayOutFixedFromSignificant(field, record, kept, fraction,
                                 fraction > 0 || directive.alternate);
    } else {
      const size_t fraction = Clamp(total - 1);
      LayOutExponential(field, record, kept, fraction, fraction > 0 || directive.alternate,
                        exponentText, letter);
    }
  }
  Emit(out, directive, field, true);
}

// ---- the format text --------------------------------------------------------------------------

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal number in the format, saturated so that a huge width cannot overflow.
int ReadNumber(const char*& p) {
  int value = 0;
  for (; IsDigit(*p); ++p) {
    const int digit = *p - '0';
    value = value > (INT_MAX - digit) / 10 ? INT_MAX : value * 10 + digit;
  }
  return value;
}

// Reads flags, width, precision and length after a '%'; `p` ends on the conversion letter.
void ReadDirective(const char*& p, Directive& directive, va_list& args) {
  for (;; ++p) {
    if (*p == '-') {
      directive.left = true;
    } else if (*p == '+') {
      directive.plus = true;
    } else if (*p == ' ') {
      directive.space = true;
    } else if (*p == '0') {
      directive.zero = true;
    } else if (*p == '#') {
      directive.alternate = true;
    } else {
      break;
    }
  }
  if (*p == '*') {
    ++p;
    const int width = va_arg(args, int);
    if (width < 0) {
      directive.left = true;  // a negative width given through * means - and its magnitude
      directive.width = static_cast<size_t>(-static_cast<int64_t>(width));
    } else {
      directive.width = static_cast<size_t>(width);
    }
  } else {
    directive.width = static_cast<size_t>(ReadNumber(p));
  }
  if (*p == '.') {
    ++p;
    if (*p == '*') {
      ++p;
      const int precision = va_arg(args, int);
      directive.precision = precision < 0 ? -1 : precision;  // negative: as if none were given
    } else {
      directive.precision = ReadNumber(p);
    }
  }
  switch (*p) {
    case 'h':
      ++p;
      directive.length = Length::kShort;
      if (*p == 'h') {
        ++p;
        directive.length = Length::kChar;
      }
      break;
    case 'l':
      ++p;
      directive.length = Length::kLong;
      if (*p == 'l') {
        ++p;
        directive.length = Length::kLongLong;
      }
      break;
    case 'j':
      ++p;
      directive.length = Length::kIntMax;
      break;
    case 'z':
      ++p;
      directive.length = Length::kSize;
      break;
    case 't':
      ++p;
      directive.length = Length::kPtrDiff;
      break;
    default:
      break;
  }
  directive.conversion = *p;
}

// Formats one conversion; false when the letter is not one this formatter knows.
bool FormatConversion(Output& out, const Directive& directive, va_list& args) {
  const bool plainLength = directive.length == Length::kDefault;
  switch (directive.conversion) {
    case 'd':
    case 'i': {
      const int64_t value = ReadSigned(directive, args);
      const uint64_t magnitude =
          value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
      FormatInteger(out, directive, magnitude, value < 0, true);
      return true;
    }
    case 'u':
    case 'o':
    case 'x':
    case 'X':
      FormatInteger(out, directive, ReadUnsigned(directive, args), false, false);
      return true;
    case 'c': {
      if (!plainLength) return false;  // wide characters are not supported
      const char c = static_cast<char>(va_arg(args, int));
      FormatPlain(out, directive, &c, 1);
      return true;
    }
    case 's':
      if (!plainLength) return false;  // wide texts are not supported
      FormatString(out, directive, va_arg(args, const char*));
      return true;
    case 'p': {
      if (!plainLength) return false;
      const void* pointer = va_arg(args, const void*);
      if (pointer == nullptr) {
        Directive nil = directive;
        nil.precision = -1;
        FormatPlain(out, nil, "(nil)", 5);
      } else {
        FormatInteger(out, directive, reinterpret_cast<uintptr_t>(pointer), false, false);
      }
      return true;
    }
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
      if (!plainLength && directive.length != Length::kLong) return false;  // %lf is %f
      FormatFloat(out, directive, va_arg(args, double));
      return true;
    case '%':
      out.Put('%');
      return true;
    default:
      return false;  // %n among them: nothing is ever written through an argument
  }
}

}  // namespace

size_t FormatText(char* buffer, size_t size, const char* format, va_list args) {
  if (buffer == nullptr || size == 0) return 0;
  Output out{buffer, size - 1, 0};
  if (format == nullptr) format = "";
  va_list values;
  va_copy(values, args);
  const char* p = format;
  while (*p != '\0' && !out.Full()) {
    if (*p != '%') {
      out.Put(*p++);
      continue;
    }
    const char* start = p++;
    Directive directive;
    ReadDirective(p, directive, values);
    if (FormatConversion(out, directive, values)) {
      ++p;
    } else {
      // Unknown: copied as written, up to and including the letter (if any).
      if (*p != '\0') ++p;
      out.Write(start, static_cast<size_t>(p - start));
    }
  }
  va_end(values);
  buffer[out.length] = '\0';
  return out.length;
}

size_t FormatTextF(char* buffer, size_t size, const char* format, ...) {
  va_list values;
  va_start(values, format);
  const size_t length = FormatText(buffer, size, format, values);
  va_end(values);
  return length;
}
