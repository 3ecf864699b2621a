// The module record: written once by the load step, read by the missing-entry dialog and the
// report. Plain process-wide data, never freed.
#pragma once

#include <cstddef>

inline constexpr size_t kModulePathSize = 300;  // at most 299 characters and a NUL

struct ModuleRecord {
  void* module;                // the plug-in's own module handle
  char path[kModulePathSize];  // its full path; all zero when the platform gives none
  void* hostLibrary;           // ZEFIRA, found without loading it; null until found
};

extern ModuleRecord g_moduleRecord;
