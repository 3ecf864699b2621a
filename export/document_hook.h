// The plug-in's handler in the document table's action slot.
#pragma once

#include <cstdint>

#include "host/host_types.h"

inline constexpr int32_t kActionCollectiveInvoice = 23;

// Hook state: the hooked table-112 object (null while not installed) and the handler that was
// in its slot before.
extern HostTable g_hookedTable;
extern DocumentActionHandler g_savedHandler;
// The install's own record of a failed install.
extern TableSizeNode g_hookNode;

// Non-zero installs (0 in place, -1 refused), zero removes (0).
int32_t SetDocumentHook(int32_t install);
int32_t RestoreDocumentHandler();

extern "C" int32_t HOST_CDECL DocumentActionHook(uintptr_t action, uintptr_t a2, uintptr_t count,
                                                 uintptr_t a4, uintptr_t a5, uintptr_t a6,
                                                 uintptr_t a7, uintptr_t a8, uintptr_t a9,
                                                 uintptr_t a10, uintptr_t a11);
