// The texts of the missing-entry message box shown while the plug-in binds its host entries.
//
// The message names the plug-in's module file, the missing entry and the plug-in itself. It is
// composed in Mazovia with the host's markup around the inserted names; the platform message
// box knows no markup, so those bytes become spaces before the text is converted and shown.
#pragma once

#include <cstddef>
#include <cstdint>

// "W module \x02%s\x01\nbrak wpisu \x02%s\x01\nWywołano z wtyczki \x02%s\x01.\n\nBłąd ten można
// zignorować lecz dalsza praca\nprogramu w tych warunkach może być niebezpieczna.\n\nKonieczna
// jest aktualizacja programu!" in Mazovia: module name, entry, plug-in name.
extern const char kMissingEntryTemplate[];
// "POWAŻNY BŁĄD WTYCZKI"
extern const char kMissingEntryTitle[];
// Shown in place of the module name when the platform gives none.
inline constexpr char kUnknownModuleName[] = "<nieznany>";

// 182 bytes of fixed text, a module path of up to 299 characters, an ordinal of up to 5
// digits, the 23-character plug-in name and the terminator.
inline constexpr size_t kMissingEntryTextSize = 510;
// A title buffer that the conversion may write in place.
inline constexpr size_t kMissingEntryTitleSize = 21;

// The entry as the message shows it: an ordinal in decimal, a name unchanged (cut to fit).
// Returns the length written; `buffer` is always terminated when `size` is non-zero.
size_t FormatEntryText(char* buffer, size_t size, uintptr_t entry);

// Composes the message into `buffer` (at most size-1 bytes and a NUL; a longer text is cut) and
// returns its length.
size_t ComposeMissingEntryText(char* buffer, size_t size, const char* moduleName,
                               const char* entryText, const char* pluginName);

// Turns every markup byte (0x01, 0x02) of the terminated `text` into a space.
void ReplaceMarkupBytes(char* text);
