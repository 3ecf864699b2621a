// The installed-plug-in notice and the plug-in's front end to the host's settings store.
#pragma once

#include <cstdint>

#include "host/host_entries.h"

inline constexpr int kNoticeDialog = 1194;

// Reads "Pytaj", shows dialog 1194 unless it says not to, writes the value back; returns 0.
int32_t ShowInstalledNotice();

// HostProfile with the one further argument handed over as a va_list: mode 1 passes the
// destination's address, mode 2 the value.
extern "C" int HOST_CDECL PluginSetting(int mode, const char* section, const char* key,
                                        const char* format, ...);
