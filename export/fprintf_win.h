// Formatted output into a host file, converted from Mazovia to Windows-1250 on the way.
#pragma once

#include "host/host_entries.h"

inline constexpr unsigned kFormatBlockSize = 205825;

extern "C" void HOST_CDECL fprintfWin(HostFile file, const char* format, ...);
