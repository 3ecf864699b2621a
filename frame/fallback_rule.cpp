#include "frame/fallback_rule.h"

namespace {

constexpr unsigned kCallerRemovesMark = 99;  // last two digits of a caller-cleans entry
constexpr unsigned kArgumentWordSize = 4;    // bytes per argument word
constexpr unsigned kLargestStubBytes = (kFallbackStubCount - 1) * kArgumentWordSize;  // 56

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int FallbackStubForOrdinal(unsigned ordinal) {
  const unsigned lastTwoDigits = ordinal % 100;
  if (lastTwoDigits == kCallerRemovesMark) return 0;
  if (lastTwoDigits % kArgumentWordSize != 0 || lastTwoDigits > kLargestStubBytes) {
    return kNoFallback;
  }
  return static_cast<int>(lastTwoDigits / kArgumentWordSize);
}

int FallbackStubForName(const char* name) {
  const char* lastAt = nullptr;
  for (const char* p = name; *p != '\0'; ++p) {
    if (*p == '@') lastAt = p;
  }
  if (lastAt == nullptr || !IsDigit(lastAt[1])) return 0;

  // A decoration too large for any stub stops counting once it is past the largest one, so a
  // long run of digits can never overflow.
  unsigned bytes = 0;
  for (const char* p = lastAt + 1; IsDigit(*p); ++p) {
    bytes = bytes * 10 + static_cast<unsigned>(*p - '0');
    if (bytes / kArgumentWordSize >= kFallbackStubCount) return kNoFallback;
  }
  return static_cast<int>(bytes / kArgumentWordSize);
}

int FallbackStubNumber(uintptr_t entry) {
  if (IsOrdinalEntry(entry)) return FallbackStubForOrdinal(static_cast<unsigned>(entry));
  return FallbackStubForName(reinterpret_cast<const char*>(entry));
}
