#include "frame/missing_entry_text.h"

#include "frame/fallback_rule.h"
#include "host/host_types.h"

// The Mazovia bytes: ł 92, ą 86, ż A7, ć 8D, Ż A1, Ł 9C, Ą 8F.
const char kMissingEntryTemplate[] =
    "W module \x02%s\x01\nbrak wpisu \x02%s\x01\nWywo\x92"  // Wywołano
    "ano z wtyczki \x02%s\x01.\n\n"
    "B\x92\x86"                                             // Błąd
    "d ten mo\xA7"                                          // można
    "na zignorowa\x8D"                                      // zignorować
    " lecz dalsza praca\nprogramu w tych warunkach mo\xA7"  // może
    "e by\x8D"                                              // być
    " niebezpieczna.\n\nKonieczna jest aktualizacja programu!";

const char kMissingEntryTitle[] =
    "POWA\xA1"      // POWAŻNY
    "NY B\x9C\x8F"  // BŁĄD
    "D WTYCZKI";

namespace {

// Appends `text` to the bounded buffer; `length` is the bytes written so far.
void Append(char* buffer, size_t size, size_t& length, const char* text, size_t count) {
  for (size_t i = 0; i < count && text[i] != '\0' && length + 1 < size; ++i) {
    buffer[length++] = text[i];
  }
}

size_t Length(const char* text) {
  size_t n = 0;
  while (text[n] != '\0') ++n;
  return n;
}

}  // namespace

size_t FormatEntryText(char* buffer, size_t size, uintptr_t entry) {
  if (size == 0) return 0;
  size_t length = 0;
  if (IsOrdinalEntry(entry)) {
    char digits[8];
    size_t count = 0;
    unsigned value = static_cast<unsigned>(entry);
    do {
      digits[count++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    while (count > 0 && length + 1 < size) buffer[length++] = digits[--count];
  } else {
    const char* name = reinterpret_cast<const char*>(entry);
    Append(buffer, size, length, name, Length(name));
  }
  buffer[length] = '\0';
  return length;
}

size_t ComposeMissingEntryText(char* buffer, size_t size, const char* moduleName,
                               const char* entryText, const char* pluginName) {
  if (size == 0) return 0;
  const char* const inserts[] = {moduleName, entryText, pluginName};
  size_t next = 0;
  size_t length = 0;
  const char* fixed = kMissingEntryTemplate;
  for (const char* p = kMissingEntryTemplate; *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] == 's' && next < sizeof inserts / sizeof inserts[0]) {
      Append(buffer, size, length, fixed, static_cast<size_t>(p - fixed));
      const char* insert = inserts[next] != nullptr ? inserts[next] : "";
      Append(buffer, size, length, insert, Length(insert));
      ++next;
      fixed = p + 2;
      ++p;
    }
  }
  Append(buffer, size, length, fixed, Length(fixed));
  buffer[length] = '\0';
  return length;
}

void ReplaceMarkupBytes(char* text) {
  for (char* p = text; *p != '\0'; ++p) {
    if (*p == kMarkupCommand || *p == kMarkupEmphasis) *p = ' ';
  }
}
