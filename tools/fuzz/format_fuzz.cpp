// Fuzzes the formatter: one conversion built from the input (flags, width, precision, length,
// letter, value) into an exact-size buffer of the input's choosing. The result must be the C
// library's output cut to the buffer, except that a zero value never shows a minus sign in the
// e, f and g conversions. Every write past the buffer is caught by AddressSanitizer.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "export/format.h"

namespace {

struct Input {
  const uint8_t* data;
  size_t size;
  uint8_t Byte() {
    if (size == 0) return 0;
    --size;
    return *data++;
  }
  uint64_t Word() {
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value = value << 8 | Byte();
    return value;
  }
};

size_t Ours(char* buffer, size_t size, const char* format, ...) {
  va_list values;
  va_start(values, format);
  const size_t length = FormatText(buffer, size, format, values);
  va_end(values);
  return length;
}

std::string Libc(const char* format, ...) {
  va_list values;
  va_start(values, format);
  va_list again;
  va_copy(again, values);
  const int length = std::vsnprintf(nullptr, 0, format, values);
  va_end(values);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, again);
  va_end(again);
  text.resize(static_cast<size_t>(length));
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in{data, size};
  const uint8_t shape = in.Byte();
  std::string format = "%";
  static const char kFlags[] = "-+ 0#";
  for (int i = 0; i < 5; ++i) {
    if (shape & (1u << i)) format += kFlags[i];
  }
  const bool isFloat = (shape & 0x20) != 0;
  // The C library drops the zeros # keeps in a g conversion that rounds up to 10^P; leave #
  // out of g so the comparison stays with the standard's output.
  const char letter = isFloat ? "feEFgG"[in.Byte() % 6] : "diuoxXc"[in.Byte() % 7];
  if ((letter == 'g' || letter == 'G') && format.find('#') != std::string::npos) {
    format.erase(format.find('#'), 1);
  }
  if (shape & 0x40) format += std::to_string(in.Byte() % 64);
  if (shape & 0x80) format += "." + std::to_string(in.Word() % 1200);
  const bool wide = !isFloat && letter != 'c' && (in.Byte() & 1) != 0;
  if (wide) format += "ll";
  format += letter;

  const size_t bufferSize = in.Byte() % 96;
  std::vector<char> buffer(bufferSize);
  std::string expected;
  size_t length;
  if (isFloat) {
    const uint64_t bits = in.Word();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    length = Ours(buffer.data(), bufferSize, format.c_str(), value);
    expected = Libc(format.c_str(), value == 0.0 ? 0.0 : value);
  } else if (wide) {
    const long long value = static_cast<long long>(in.Word());
    length = Ours(buffer.data(), bufferSize, format.c_str(), value);
    expected = Libc(format.c_str(), value);
  } else {
    const int value = static_cast<int>(in.Word());
    length = Ours(buffer.data(), bufferSize, format.c_str(), value);
    expected = Libc(format.c_str(), value);
  }
  if (bufferSize == 0) {
    if (length != 0) std::abort();
    return 0;
  }
  const size_t stored = expected.size() < bufferSize - 1 ? expected.size() : bufferSize - 1;
  if (length != stored || buffer[length] != '\0' ||
      std::memcmp(buffer.data(), expected.data(), stored) != 0) {
    std::fprintf(stderr, "%s: got \"%.*s\", expected \"%s\"\n", format.c_str(),
                 static_cast<int>(length), buffer.data(), expected.c_str());
    std::abort();
  }
  return 0;
}
