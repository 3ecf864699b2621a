#include "handshake/installed_notice.h"

#include <cstddef>

#include "export/format.h"
#include "host/host_types.h"

namespace {

// The setting, in the plug-in's own section of the host's settings store.
constexpr char kNoticeKey[] = "Pytaj";
constexpr char kNoticeValueFormat[] = "%d";

// "Zainstalowano wtyczkę:\n%s"
constexpr char kNoticeFormat[] = "Zainstalowano wtyczk\x91:\n%s";

// The block dialog 1194 receives: its address is the setting's, the text follows at 108.
struct NoticeRecord {
  int32_t setting;  // only the low 16 bits count, as a signed value; 0 = show the notice
  char name[104];   // the identity string with its NUL
  char text[304];   // the notice text, Mazovia
};
static_assert(offsetof(NoticeRecord, setting) == 0, "the dialog's value address is the block's");
static_assert(offsetof(NoticeRecord, name) == 4, "identity field at byte 4");
static_assert(offsetof(NoticeRecord, text) == 108, "notice text at byte 108");
static_assert(sizeof(NoticeRecord) == 412, "bytes 0-411");

// Of the read's answer and of the setting only the low 16 bits count, taken as signed.
int16_t Low16(int32_t value) { return static_cast<int16_t>(static_cast<uint16_t>(value)); }

}  // namespace

extern "C" int HOST_CDECL PluginSetting(int mode, const char* section, const char* key,
                                        const char* format, ...) {
  va_list further;
  va_start(further, format);
  const int result = HostProfile(mode, section, key, format, further);
  va_end(further);
  return result;
}

int32_t ShowInstalledNotice() {
  // The setting starts at 0 before the read; the rest is zeroed too, so that no stale stack
  // bytes reach the host's dialog.
  NoticeRecord record = {};
  const int read =
      PluginSetting(kProfileRead, kPluginName, kNoticeKey, kNoticeValueFormat, &record.setting);
  if (Low16(read) != 0) {
    record.setting = 0;  // absent or unreadable: show the notice
  } else if (Low16(record.setting) != 0) {
    return 0;  // switched off: no notice and nothing written
  }

  CopyPluginName(record.name);
  FormatTextF(record.text, sizeof record.text, kNoticeFormat, record.name);
  HostShowDialog(kNoticeDialog, &record, 0, record.text);

  // Stored only after the user has seen the notice, as the dialog left it.
  PluginSetting(kProfileWrite, kPluginName, kNoticeKey, kNoticeValueFormat,
                static_cast<int>(Low16(record.setting)));
  return 0;
}
