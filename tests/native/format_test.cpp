// The plug-in's own formatter, its digit conversion and the negative-zero filter, checked
// against the C library's snprintf. The one intended difference is a zero value in the e, f
// and g conversions, which never shows a minus sign here.
#include "export/format.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "export/digit_conversion.h"
#include "frame/negative_zero_filter.h"

namespace {

constexpr size_t kLargeBuffer = 8192;

// The formatter writes what glibc writes, and glibc is the reference here. The i686 build of
// these tests compares against mingw's C library, which departs from it in a few places (and
// from the C standard in one); those cases are compared only against glibc.
#if defined(__GLIBC__)
constexpr bool kGlibcReference = true;
#else
constexpr bool kGlibcReference = false;
#endif

// Elsewhere a NaN's sign bit is not printed; glibc prints "-nan".
bool ReferenceDiffers(double value) { return !kGlibcReference && std::isnan(value); }

std::string Ours(const char* format, ...) {
  std::vector<char> buffer(kLargeBuffer, '\x7f');
  va_list values;
  va_start(values, format);
  const size_t length = FormatText(buffer.data(), buffer.size(), format, values);
  va_end(values);
  EXPECT_EQ(length, std::strlen(buffer.data())) << "returned length for " << format;
  return std::string(buffer.data(), length);
}

// The formatter into a caller's buffer, without the compiler's printf checks (some cases here
// are deliberately out of printf's range).
size_t Into(char* buffer, size_t size, const char* format, ...) {
  va_list values;
  va_start(values, format);
  const size_t length = FormatText(buffer, size, format, values);
  va_end(values);
  return length;
}

std::string Libc(const char* format, ...) {
  std::vector<char> buffer(kLargeBuffer);
  va_list values;
  va_start(values, format);
  const int length = std::vsnprintf(buffer.data(), buffer.size(), format, values);
  va_end(values);
  EXPECT_GE(length, 0);
  EXPECT_LT(static_cast<size_t>(length), buffer.size()) << "reference output cut for " << format;
  return std::string(buffer.data());
}

// What the formatter must print is what the C library prints for the same value with a zero's
// sign bit cleared.
double WithoutNegativeZero(double value) { return value == 0.0 ? 0.0 : value; }

// The C library's output for one floating conversion (`format` holds exactly one), with the
// zero's sign cleared. One correction: where a g conversion with # takes the e style, the
// standard makes it the e conversion with precision P-1, and the C library here drops the
// zeros that # keeps when rounding carries the value up to 10^P (999999.5 with %#g gives
// "1.e+06" instead of "1.00000e+06"); the reference then comes from that e conversion.
std::string FloatReference(const std::string& format, double value) {
  value = WithoutNegativeZero(value);
  const size_t percent = format.find('%');
  const size_t letter = format.find_first_of("feEFgG", percent);
  const std::string directive = format.substr(percent, letter - percent);
  const char conversion = format[letter];
  if ((conversion != 'g' && conversion != 'G') || directive.find('#') == std::string::npos ||
      !std::isfinite(value) || value == 0.0) {
    return Libc(format.c_str(), value);
  }
  const size_t point = directive.find('.');
  int precision = point == std::string::npos ? 6 : std::atoi(directive.c_str() + point + 1);
  if (precision == 0) precision = 1;
  char exponentStyle[2048];
  std::snprintf(exponentStyle, sizeof exponentStyle, "%.*e", precision - 1, value);
  const int exponent = std::atoi(std::strchr(exponentStyle, 'e') + 1);
  if (exponent < precision && exponent >= -4) {
    return Libc(format.c_str(), value);
  }
  const std::string asE =
      format.substr(0, percent) +
      directive.substr(0, point == std::string::npos ? directive.size() : point) + "." +
      std::to_string(precision - 1) + (conversion == 'g' ? "e" : "E") + format.substr(letter + 1);
  return Libc(asE.c_str(), value);
}

double NegativeNan() { return std::copysign(std::numeric_limits<double>::quiet_NaN(), -1.0); }

// ---- floating conversions against snprintf --------------------------------------------------

const char* const kFloatFormats[] = {
    "%f",        "%.0f",    "%.1f",    "%.2f",    "%.3f",      "%.10f",    "%.17f",    "%.20f",
    "%10.3f",    "%-10.3f", "%010.3f", "%+f",     "% f",       "%+010.2f", "%-+10.2f", "% 010.2f",
    "%#.0f",     "%F",      "%+.3F",   "%e",      "%.0e",      "%.1e",     "%.3e",     "%.16e",
    "%.20e",     "%12.4e",  "%-12.4e", "%012.4e", "%+e",       "% e",      "%#.0e",    "%E",
    "%+.2E",     "%g",      "%.0g",    "%.1g",    "%.2g",      "%.3g",     "%.10g",    "%.17g",
    "%.20g",     "%10g",    "%-10g",   "%010g",   "%+g",       "% g",      "%#g",      "%#.3g",
    "%#.0g",     "%G",      "%.3G",    "%#10.4G", "%+#012.6G", "%lf",      "%30.25e",  "%-+#25.0f",
    "%.60f",     "%.400e",  "%.800e",  "%.1100f", "%.800g",    "%#.800g",  "%#.780G",  "%3000.2f",
    "%-3000.2e",
};

const double kFloatValues[] = {
    0.0,
    -0.0,
    1.0,
    -1.0,
    1.5,
    -1.5,
    0.5,
    -0.5,
    2.5,
    -2.5,
    0.125,
    0.375,
    9.995,
    -9.995,
    0.05,
    0.15,
    1e-5,
    -1e-5,
    0.0001,
    0.00001234,
    123.456,
    0.1,
    -0.001,
    -0.0004,
    -0.4,
    99.999,
    999999.5,
    9999995.0,
    0.99999999,
    1.0 / 3.0,
    2.0 / 3.0,
    3.141592653589793,
    100.0,
    1e6,
    123456789.0,
    -123456789.0,
    1e15,
    1e16,
    1e17,
    1e21,
    1e22,
    9007199254740993.0,
    1e300,
    -1e300,
    1e-300,
    -1e-300,
    DBL_MIN,
    -DBL_MIN,
    std::numeric_limits<double>::denorm_min(),
    -std::numeric_limits<double>::denorm_min(),
    4.9406564584124654e-320,
    2.2250738585072009e-308,  // the largest denormal
    DBL_MAX,
    -DBL_MAX,
    std::numeric_limits<double>::infinity(),
    -std::numeric_limits<double>::infinity(),
    std::numeric_limits<double>::quiet_NaN(),
    NegativeNan(),
};

TEST(FormatFloat, MatchesTheCLibraryForEveryFormatAndValue) {
  for (const char* format : kFloatFormats) {
    for (const double value : kFloatValues) {
      if (ReferenceDiffers(value)) continue;
      SCOPED_TRACE(testing::Message() << format << " with " << value);
      EXPECT_EQ(Ours(format, value), FloatReference(format, value));
    }
  }
}

// Decimal ties and near-ties, where a digit routine that rounds its own way goes wrong.
TEST(FormatFloat, RoundsDecimalTiesLikeTheCLibrary) {
  const char* const formats[] = {"%.0f", "%.1f", "%.2f", "%.3f", "%.0e", "%.1e",
                                 "%.2e", "%.1g", "%.2g", "%.3g", "%g"};
  // n/2, n/20, n/200, n/2000: halfway between printed decimals (exactly so where binary can
  // hold it, as in n/16 and n/128, otherwise just above or below).
  for (int numerator = -1000; numerator <= 1000; ++numerator) {
    for (const double scale : {1.0, 10.0, 100.0, 1000.0, 8.0, 64.0}) {
      const double value = numerator / (2.0 * scale);
      for (const char* format : formats) {
        const std::string ours = Ours(format, value);
        const std::string expected = FloatReference(format, value);
        if (ours != expected) {
          FAIL() << format << " with " << std::hexfloat << value << ": \"" << ours
                 << "\", expected \"" << expected << "\"";
        }
      }
    }
  }
}

// Random bit patterns (every exponent, denormals, NaNs) and random decimal-looking values under
// random flags, widths and precisions.
TEST(FormatFloat, MatchesTheCLibraryOnARandomSweep) {
  std::mt19937_64 random(20261211);
  const char conversions[] = "feEFgG";
  const char flags[] = "-+ 0#";
  for (int round = 0; round < 30000; ++round) {
    double value;
    if (round % 2 == 0) {
      const uint64_t bits = random();
      std::memcpy(&value, &bits, sizeof value);
    } else {
      const int64_t mantissa = static_cast<int64_t>(random() % 2000001) - 1000000;
      value = static_cast<double>(mantissa) / std::pow(10.0, static_cast<double>(random() % 12));
    }
    std::string format = "%";
    for (const char flag : std::string(flags)) {
      if (random() % 4 == 0) format += flag;
    }
    if (random() % 2 == 0) format += std::to_string(random() % 40);
    if (random() % 3 != 0) {
      format += "." + std::to_string(random() % 50 == 0 ? random() % 900 : random() % 25);
    }
    format += conversions[random() % 6];
    if (ReferenceDiffers(value)) continue;
    const std::string ours = Ours(format.c_str(), value);
    const std::string expected = FloatReference(format, value);
    if (ours != expected) {
      FAIL() << "round " << round << ": " << format << " with " << std::hexfloat << value << ": \""
             << ours << "\", expected \"" << expected << "\"";
    }
  }
}

// The case where the C library here departs from the standard, spelled out.
TEST(FormatFloat, AlternateGKeepsItsZerosWhenRoundingReachesTheNextPower) {
  EXPECT_EQ(Ours("%#g", 999999.5), "1.00000e+06");
  EXPECT_EQ(Ours("%+#012.6G", 999999.5), "+1.00000E+06");
  EXPECT_EQ(Ours("%#.2g", 99.5), "1.0e+02");
  EXPECT_EQ(Ours("%#.3g", 9.9951), "10.0");  // still the f style: nothing to correct
  EXPECT_EQ(Ours("%g", 999999.5), "1e+06");
}

// ---- the negative-zero rule, spelled out -------------------------------------------------------

struct ZeroCase {
  const char* format;
  double value;
  const char* expected;
};

const ZeroCase kZeroCases[] = {
    {"%.3f", -0.0, "0.000"},
    {"%.2f", -0.0, "0.00"},
    {"%+.2f", -0.0, "+0.00"},
    {"% .2f", -0.0, " 0.00"},
    {"%08.2f", -0.0, "00000.00"},
    {"%-8.2f|", -0.0, "0.00    |"},
    {"%.0f", -0.0, "0"},
    {"%#.0f", -0.0, "0."},
    {"%f", -0.0, "0.000000"},
    {"%F", -0.0, "0.000000"},
    {"%g", -0.0, "0"},
    {"%G", -0.0, "0"},
    {"%#g", -0.0, "0.00000"},
    {"%+g", -0.0, "+0"},
    {"%e", -0.0, "0.000000e+00"},
    {"%.0E", -0.0, "0E+00"},
    {"%+.1e", -0.0, "+0.0e+00"},
    {"Ilosc=%.3f\n", -0.0, "Ilosc=0.000\n"},
    {"Rabat=%.2f", -0.0, "Rabat=0.00"},
    // A value that is not zero keeps its sign even when every printed digit is a zero.
    {"%.2f", -0.001, "-0.00"},
    {"%.3f", -0.0004, "-0.000"},
    {"%.0f", -0.4, "-0"},
    {"%.0e", -1e-300, "-1e-300"},
    {"%g", -1e-300, "-1e-300"},
    {"%.2f", -std::numeric_limits<double>::denorm_min(), "-0.00"},
    // Infinities and NaN are formatted as without the rule.
    {"%f", -std::numeric_limits<double>::infinity(), "-inf"},
    {"%+F", std::numeric_limits<double>::infinity(), "+INF"},
    {"%E", std::numeric_limits<double>::quiet_NaN(), "NAN"},
    {"%.2f", NegativeNan(), "-nan"},
    {"%08.2f", NegativeNan(), "    -nan"},
};

TEST(FormatFloat, ZeroNeverShowsAMinusSign) {
  for (const ZeroCase& c : kZeroCases) {
    SCOPED_TRACE(testing::Message() << c.format << " with " << c.value);
    EXPECT_EQ(Ours(c.format, c.value), c.expected);
  }
}

// ---- integers, texts, characters, pointers ---------------------------------------------------

template <typename T>
void ExpectIntegersMatch(const std::vector<const char*>& formats, const std::vector<T>& values) {
  for (const char* format : formats) {
    for (const T value : values) {
      SCOPED_TRACE(testing::Message() << format << " with " << +value);
      EXPECT_EQ(Ours(format, value), Libc(format, value));
    }
  }
}

TEST(FormatInteger, MatchesTheCLibrary) {
  ExpectIntegersMatch<int>(
      {"%d",    "%i",    "%5d",   "%-5d",   "%05d",   "%+d",     "% d",     "%+05d", "% 05d",
       "%.0d",  "%.3d",  "%8.3d", "%-8.3d", "%08.3d", "%+.0d",   "%20.15i", "%u",    "%.0u",
       "%o",    "%#o",   "%#5o",  "%x",     "%#x",    "%X",      "%#X",     "%#.0x", "%#8x",
       "%#08x", "%-#8o", "%#.8X", "%+u",    "% x",    "%12.10o", "%-012x",  "%.40d", "[%d]"},
      {0, 1, -1, 7, 8, 42, -42, 255, 256, 1000000, INT_MAX, INT_MIN});
  // "#" makes the first octal digit a zero even with precision 0 (mingw's printf leaves "").
  EXPECT_EQ(Ours("%#.0o", 0), "0");
  if (kGlibcReference) ExpectIntegersMatch<int>({"%#.0o"}, {0, 8});
  ExpectIntegersMatch<long long>(
      {"%lld", "%lli", "%llu", "%llx", "%#llo", "%+lld", "%20lld", "%-20lld", "%020lld", "%.25lld",
       "%#llX"},
      {0LL, -1LL, LLONG_MIN, LLONG_MAX, 1234567890123LL, -1234567890123LL});
  ExpectIntegersMatch<long>({"%ld", "%lu", "%lx", "%+ld", "%#lo"}, {0L, -5L, LONG_MIN, LONG_MAX});
  // Values wider than the length modifier are cut as printf cuts them.
  ExpectIntegersMatch<int>({"%hhd", "%hhu", "%hhx", "%hd", "%hu", "%ho", "%#hx"},
                           {0, 127, 128, 255, 300, -129, 70000, -1, 65535, 32768});
  ExpectIntegersMatch<size_t>({"%zu", "%zx", "%zd"}, {0, 1, SIZE_MAX});
  ExpectIntegersMatch<intmax_t>({"%jd", "%ju"}, {INTMAX_MIN, INTMAX_MAX, 0});
  ExpectIntegersMatch<ptrdiff_t>({"%td", "%tx"}, {PTRDIFF_MIN, -3, 0});
}

TEST(FormatText, TextsAndCharactersMatchTheCLibrary) {
  // Mazovia bytes (0x86 0xA2 0x92 ...) pass through untouched.
  const std::vector<const char*> texts = {"", "abc", "Nazwa towaru", "a%db%s", "\x86\xA2\x92\x98"};
  for (const char* format :
       {"%s", "%10s", "%-10s", "%.2s", "%10.2s", "%-10.2s", "%05s", "%.0s", "[%s]", "%.100s"}) {
    for (const char* text : texts) {
      SCOPED_TRACE(testing::Message() << format << " with \"" << text << "\"");
      EXPECT_EQ(Ours(format, text), Libc(format, text));
    }
  }
  for (const char* format : {"%c", "%3c", "%-3c", "%03c", "%c%c"}) {
    for (const int c : {int{'a'}, int{'%'}, 0xA5, int{' '}}) {
      SCOPED_TRACE(testing::Message() << format << " with " << c);
      EXPECT_EQ(Ours(format, c, c), Libc(format, c, c));
    }
  }
}

TEST(FormatText, PercentAndPointersMatchTheCLibrary) {
  for (const char* format : {"100%%", "%%d", "%5%", "%-5%x", "%%%%"}) {
    SCOPED_TRACE(format);
    EXPECT_EQ(Ours(format), Libc(format));
  }
  // How %p looks is the C library's choice; the formatter writes glibc's form.
  EXPECT_EQ(Ours("[%p]", reinterpret_cast<const void*>(uintptr_t{0x1234})), "[0x1234]");
  EXPECT_EQ(Ours("[%p]", static_cast<const void*>(nullptr)), "[(nil)]");
  if (!kGlibcReference) return;
  int local = 0;
  const std::vector<const void*> pointers = {nullptr, &local,
                                             reinterpret_cast<const void*>(uintptr_t{0x1234})};
  for (const char* format : {"%p", "%20p", "%-20p", "[%p]"}) {
    for (const void* pointer : pointers) {
      SCOPED_TRACE(testing::Message() << format << " with " << pointer);
      EXPECT_EQ(Ours(format, pointer), Libc(format, pointer));
    }
  }
}

TEST(FormatText, NullTextPrintsNullInParentheses) {
  const char* const none = nullptr;
  EXPECT_EQ(Ours("%s", none), "(null)");
  EXPECT_EQ(Ours("[%8s]", none), "[  (null)]");
  EXPECT_EQ(Ours("[%-8s]", none), "[(null)  ]");
  // As glibc does: a precision too short for all of it shows nothing.
  EXPECT_EQ(Ours("[%.5s]", none), "[]");
  if (!kGlibcReference) return;
  for (const char* format : {"%s", "%.6s", "%.5s", "%.0s", "%3s", "%10.3s", "%-10s"}) {
    SCOPED_TRACE(format);
    EXPECT_EQ(Ours(format, none), Libc(format, none));
  }
}

TEST(FormatText, TextIsNotReadPastThePrecision) {
  // Three bytes with no terminator, in an exact-size block: reading a fourth is an overrun.
  std::unique_ptr<char[]> unterminated(new char[3]{'a', 'b', 'c'});
  EXPECT_EQ(Ours("[%.3s]", unterminated.get()), "[abc]");
  EXPECT_EQ(Ours("[%5.2s]", unterminated.get()), "[   ab]");
}

// ---- widths and precisions from the arguments --------------------------------------------------

TEST(FormatText, StarTakesWidthAndPrecisionFromTheArguments) {
  EXPECT_EQ(Ours("%*d|", 5, 42), Libc("%*d|", 5, 42));
  EXPECT_EQ(Ours("%*d|", -5, 42), Libc("%*d|", -5, 42));
  EXPECT_EQ(Ours("%-*d|", -5, 42), Libc("%-*d|", -5, 42));
  EXPECT_EQ(Ours("%.*f", 2, 1.005), Libc("%.*f", 2, 1.005));
  EXPECT_EQ(Ours("%.*f", -1, 1.5), Libc("%.*f", -1, 1.5));  // negative: no precision
  EXPECT_EQ(Ours("%*.*e|", 14, 3, -2.5e-7), Libc("%*.*e|", 14, 3, -2.5e-7));
  EXPECT_EQ(Ours("%.*s|", 2, "abcdef"), Libc("%.*s|", 2, "abcdef"));
  EXPECT_EQ(Ours("%*.*f|", 10, 3, -0.0), Libc("%*.*f|", 10, 3, 0.0));
  EXPECT_EQ(Ours("%0*d", 6, -12), Libc("%0*d", 6, -12));
}

TEST(FormatText, MixedLineMatchesTheCLibrary) {
  const char* format = "Poz%02d: %s Ilosc=%.3f Rabat=%5.2f%% %c %lld %#x %e %g\n";
  EXPECT_EQ(Ours(format, 7, "\x86\x92", 12.5, 3.0, 'z', -7LL, 255u, 6.02e23, 1e-7),
            Libc(format, 7, "\x86\x92", 12.5, 3.0, 'z', -7LL, 255u, 6.02e23, 1e-7));
}

TEST(FormatText, UnknownConversionsAreCopiedAndTakeNoArgument) {
  int target = 1234;
  // %n would write through its argument: it is copied as text and the argument is left alone,
  // so the next conversion still takes its own argument.
  EXPECT_EQ(Ours("a%nb", &target), "a%nb");
  EXPECT_EQ(target, 1234);
  EXPECT_EQ(Ours("%y %d", 5), "%y 5");
  EXPECT_EQ(Ours("%-5y"), "%-5y");
  EXPECT_EQ(Ours("tail %"), "tail %");
  EXPECT_EQ(Ours("tail %-0"), "tail %-0");
  EXPECT_EQ(Ours("%ls|%%"), "%ls|%");
}

// ---- the buffer's end --------------------------------------------------------------------------

struct CutCase {
  const char* label;
  std::string full;                             // what an unbounded buffer receives
  size_t (*format)(char* buffer, size_t size);  // the same formatting into a bounded one
};

const CutCase kCutCases[] = {
    {"text and integers", "Nazwa=ab|   42|-0007|ff",
     [](char* b, size_t n) {
       return FormatTextF(b, n, "Nazwa=%s|%5d|%05d|%x", "ab", 42, -7, 255u);
     }},
    {"floats with padding", "  -1.500|1.250000e+03|0.000   |",
     [](char* b, size_t n) { return FormatTextF(b, n, "%8.3f|%e|%-8.3f|", -1.5, 1250.0, -0.0); }},
    {"long zero runs", "1." + std::string(1100, '0'),
     [](char* b, size_t n) { return FormatTextF(b, n, "%.1100f", 1.0); }},
    {"wide field", std::string(299, ' ') + "x",
     [](char* b, size_t n) { return FormatTextF(b, n, "%300s", "x"); }},
};

TEST(FormatText, OutputIsCutAtTheBufferEndAndNeverPastIt) {
  for (const CutCase& c : kCutCases) {
    for (size_t size = 0; size <= c.full.size() + 2; ++size) {
      SCOPED_TRACE(testing::Message() << c.label << ", buffer of " << size);
      // An exact-size block: AddressSanitizer stops a write one byte past it.
      std::unique_ptr<char[]> buffer(new char[size]);
      std::memset(buffer.get(), '\x7f', size);
      const size_t length = c.format(buffer.get(), size);
      const size_t expected = size == 0 ? 0 : std::min(size - 1, c.full.size());
      ASSERT_EQ(length, expected);
      if (size > 0) {
        ASSERT_EQ(std::string(buffer.get(), length), c.full.substr(0, expected));
        ASSERT_EQ(buffer[length], '\0');
      }
    }
  }
}

TEST(FormatText, HugeWidthsAndPrecisionsStopAtTheBufferEnd) {
  char buffer[16];
  EXPECT_EQ(Into(buffer, sizeof buffer, "%2147483647d", 1), 15u);
  EXPECT_EQ(std::string(buffer), std::string(15, ' '));
  EXPECT_EQ(Into(buffer, sizeof buffer, "%99999999999999999999d", 1), 15u);
  EXPECT_EQ(Into(buffer, sizeof buffer, "%.2147483647f", 1.0), 15u);
  EXPECT_EQ(std::string(buffer), "1.0000000000000");
  EXPECT_EQ(Into(buffer, sizeof buffer, "%-*d|", INT_MIN, 1), 15u);
  EXPECT_EQ(std::string(buffer), "1" + std::string(14, ' '));
  EXPECT_EQ(Into(buffer, sizeof buffer, "%.*e", INT_MAX, 2.0), 15u);
  EXPECT_EQ(std::string(buffer), "2.0000000000000");
}

// ---- the digit conversion ----------------------------------------------------------------------

struct DigitCase {
  const char* label;
  double value;
  char mode;
  int32_t ndigits;
  char sign;
  int32_t exponent;
  std::string digits;
};

const DigitCase kDigitCases[] = {
    {"e: significant digits", 1.5, 'e', 3, ' ', 0, "150"},
    {"e: exponent of the first digit", -123456.0, 'e', 2, '-', 5, "12"},
    {"e: rounding carries into the exponent", 9.9999, 'e', 2, ' ', 1, "10"},
    {"e: 9.995 lies below the tie", 9.995, 'e', 3, ' ', 0, "999"},
    {"e: exact tie to even", 0.125, 'e', 2, ' ', -1, "12"},
    {"e: negative zero keeps its sign bit here", -0.0, 'e', 2, '-', 0, "00"},
    {"e: small", 1e-300, 'e', 1, ' ', -300, "1"},
    {"f: integer digits then decimals", 123.456, 'f', 2, ' ', 3, "12346"},
    {"f: below one", 0.001234, 'f', 5, ' ', 1, "000123"},
    {"f: no decimals, tie to even", 2.5, 'f', 0, ' ', 1, "2"},
    {"f: negative", -0.0004, 'f', 3, '-', 1, "0000"},
    {"f: large", 1e22, 'f', 0, ' ', 23, "10000000000000000000000"},
};

TEST(ConvertDigits, AnswersSignExponentAndDigits) {
  for (const DigitCase& c : kDigitCases) {
    SCOPED_TRACE(c.label);
    char buffer[64];
    DigitRecord record{};
    record.mode = c.mode;
    ASSERT_EQ(ConvertDigits(c.value, c.ndigits, &record, buffer, sizeof buffer), 0);
    EXPECT_EQ(record.sign, c.sign);
    EXPECT_EQ(record.exponent, c.exponent);
    EXPECT_EQ(record.digits, buffer);
    EXPECT_EQ(record.length, static_cast<int32_t>(c.digits.size()));
    EXPECT_EQ(std::string(record.digits), c.digits);
  }
}

TEST(ConvertDigits, AsksNoMoreDigitsThanADoubleHas) {
  std::vector<char> buffer(4096);
  DigitRecord record{};
  const double tiny = std::numeric_limits<double>::denorm_min();

  record.mode = 'e';
  ASSERT_EQ(ConvertDigits(tiny, 5000, &record, buffer.data(), 4096), 0);
  ASSERT_EQ(record.length, 767);
  EXPECT_EQ(record.exponent, -324);
  const std::string significant(record.digits);
  EXPECT_EQ(significant.substr(0, 18), "494065645841246544");
  // 2^-1074 has 751 significant digits, the last a 5; the rest are zeros.
  EXPECT_EQ(significant[750], '5');
  EXPECT_EQ(significant.find_first_not_of('0', 751), std::string::npos);

  record.mode = 'f';
  ASSERT_EQ(ConvertDigits(tiny, 5000, &record, buffer.data(), 4096), 0);
  EXPECT_EQ(record.exponent, 1);
  ASSERT_EQ(record.length, 1 + 1074);
  EXPECT_EQ(record.digits[1074], '5');
}

TEST(ConvertDigits, DigitBufferSizeHoldsTheLongestAnswerExactly) {
  // Sign, 309 integer digits, point, 1074 decimals and the terminator.
  std::vector<char> buffer(kDigitBufferSize);
  DigitRecord record{};
  record.mode = 'f';
  ASSERT_EQ(ConvertDigits(-DBL_MAX, kMaxFractionDigits, &record, buffer.data(), kDigitBufferSize),
            0);
  EXPECT_EQ(record.exponent, 309);
  EXPECT_EQ(record.length, 309 + 1074);
  std::vector<char> oneShort(kDigitBufferSize - 1);
  EXPECT_EQ(
      ConvertDigits(-DBL_MAX, kMaxFractionDigits, &record, oneShort.data(), kDigitBufferSize - 1),
      -1);
}

TEST(ConvertDigits, RefusesWhatItCannotAnswer) {
  struct Refusal {
    const char* label;
    double value;
    char mode;
    int32_t ndigits;
    int32_t size;
  };
  const Refusal refusals[] = {
      {"infinity", std::numeric_limits<double>::infinity(), 'e', 3, 64},
      {"NaN", std::numeric_limits<double>::quiet_NaN(), 'f', 3, 64},
      {"unknown mode", 1.0, 'g', 3, 64},
      {"no significant digit", 1.0, 'e', 0, 64},
      {"negative decimals", 1.0, 'f', -1, 64},
      {"buffer too small", 123456.0, 'f', 2, 8},
      {"no buffer room at all", 1.0, 'e', 1, 1},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.label);
    char buffer[64];
    DigitRecord record{};
    record.mode = r.mode;
    EXPECT_EQ(ConvertDigits(r.value, r.ndigits, &record, buffer, r.size), -1);
  }
  char buffer[8];
  EXPECT_EQ(ConvertDigits(1.0, 1, nullptr, buffer, sizeof buffer), -1);
}

// ---- the negative-zero filter ------------------------------------------------------------------

// Stands in for the continuation and records what reaches it.
struct Seen {
  int calls = 0;
  uint64_t valueBits = 0;
  int32_t ndigits = 0;
  DigitRecord* record = nullptr;
  char* buffer = nullptr;
  int32_t size = 0;
};
Seen g_seen;

int HOST_CDECL RecordingContinuation(double value, int32_t ndigits, DigitRecord* record,
                                     char* buffer, int32_t size) {
  ++g_seen.calls;
  std::memcpy(&g_seen.valueBits, &value, sizeof value);
  g_seen.ndigits = ndigits;
  g_seen.record = record;
  g_seen.buffer = buffer;
  g_seen.size = size;
  return 77;
}

int HOST_CDECL ForwardingContinuation(double value, int32_t ndigits, DigitRecord* record,
                                      char* buffer, int32_t size) {
  ++g_seen.calls;
  return ConvertDigits(value, ndigits, record, buffer, size);
}

class NegativeZeroFilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = g_digitContinuation;
    g_seen = Seen{};
  }
  void TearDown() override { g_digitContinuation = saved_; }

 private:
  DigitConversionRoutine saved_ = nullptr;
};

uint64_t Bits(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

TEST_F(NegativeZeroFilterTest, StartsAtTheDigitConversion) {
  EXPECT_EQ(g_digitContinuation, &ConvertDigits);
}

TEST_F(NegativeZeroFilterTest, ClearsOnlyTheSignOfAZero) {
  struct FilterCase {
    const char* label;
    double value;
    uint64_t passedBits;
  };
  const FilterCase cases[] = {
      {"negative zero becomes all bits clear", -0.0, 0},
      {"positive zero stays", 0.0, 0},
      {"negative NaN untouched", NegativeNan(), Bits(NegativeNan())},
      {"tiny negative keeps its sign", -std::numeric_limits<double>::denorm_min(),
       Bits(-std::numeric_limits<double>::denorm_min())},
      {"-0.001 keeps its sign", -0.001, Bits(-0.001)},
      {"negative infinity untouched", -std::numeric_limits<double>::infinity(),
       Bits(-std::numeric_limits<double>::infinity())},
      {"ordinary value untouched", 1.5, Bits(1.5)},
  };
  g_digitContinuation = &RecordingContinuation;
  for (const FilterCase& c : cases) {
    SCOPED_TRACE(c.label);
    g_seen = Seen{};
    DigitRecord record{};
    char buffer[16];
    EXPECT_EQ(NegativeZeroFilter(c.value, 9, &record, buffer, 16), 77);
    EXPECT_EQ(g_seen.calls, 1);
    EXPECT_EQ(g_seen.valueBits, c.passedBits);
    EXPECT_EQ(g_seen.ndigits, 9);
    EXPECT_EQ(g_seen.record, &record);
    EXPECT_EQ(g_seen.buffer, buffer);
    EXPECT_EQ(g_seen.size, 16);
  }
}

TEST_F(NegativeZeroFilterTest, NegativeZeroReachesTheDigitsWithAPlusSign) {
  char buffer[16];
  DigitRecord record{};
  record.mode = 'f';
  ASSERT_EQ(NegativeZeroFilter(-0.0, 2, &record, buffer, sizeof buffer), 0);
  EXPECT_EQ(record.sign, ' ');
  EXPECT_EQ(std::string(record.digits), "000");
}

#if !defined(QARN_DIGITS_PATCHED)
// Without the frame's patch the formatter must go through the filter for every e, f and g
// conversion, and only for those.
TEST_F(NegativeZeroFilterTest, FormatterReachesTheDigitsThroughTheFilter) {
  struct RouteCase {
    const char* format;
    int conversions;
  };
  const RouteCase cases[] = {{"%f", 1}, {"%E", 1}, {"%g", 1}, {"%e %F %G", 3},
                             {"%d", 0}, {"%x", 0}, {"%s", 0}};
  g_digitContinuation = &ForwardingContinuation;
  for (const RouteCase& c : cases) {
    SCOPED_TRACE(c.format);
    g_seen = Seen{};
    char buffer[64];
    if (std::strchr(c.format, 's') != nullptr) {
      FormatTextF(buffer, sizeof buffer, c.format, "x");
    } else if (c.conversions == 0) {
      FormatTextF(buffer, sizeof buffer, c.format, 5);
    } else {
      FormatTextF(buffer, sizeof buffer, c.format, -0.0, -0.0, -0.0);
      EXPECT_EQ(std::string(buffer).find('-'), std::string::npos);
    }
    EXPECT_EQ(g_seen.calls, c.conversions);
  }
}
#endif

}  // namespace
