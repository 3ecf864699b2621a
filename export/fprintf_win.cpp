// fprintfWin: one piece of formatted text into a host file, formatted here in Mazovia and
// converted to Windows-1250 by the host on the way.
#include "export/fprintf_win.h"

#include <cstring>

#include "export/format.h"

namespace {

// "Nie udało się zająć pamięci dla zmiennej w funkcji fprintfWin"
constexpr char kNoMemoryText[] =
    "Nie uda\x92o si\x91 zaj\x86\x8D pami\x91"
    "ci dla zmiennej w funkcji fprintfWin";

}  // namespace

extern "C" void HOST_CDECL fprintfWin(HostFile file, const char* format, ...) {
  char* formatted = static_cast<char*>(HostCalloc(1, kFormatBlockSize));
  if (formatted == nullptr) {
    return;
  }
  // Bounded at the block's size: a text that would not fit is cut there, never written past.
  va_list values;
  va_start(values, format);
  FormatText(formatted, kFormatBlockSize, format, values);
  va_end(values);

  const size_t length = std::strlen(formatted);
  char* converted = static_cast<char*>(HostCalloc(1, static_cast<uint32_t>(length + 1)));
  if (converted == nullptr) {
    HostErrorMessage(kNoMemoryText);
    HostFree(formatted);
    return;
  }
  HostConvertText(converted, formatted, kCodeMazovia, kCodeWindows1250);
  // The host writes the text as an argument of "%s", so a percent sign in a record field
  // reaches the file as it is.
  HostFilePrintf(file, "%s", converted);
  HostFree(converted);
  HostFree(formatted);
}
