#include "host/module_record.h"

ModuleRecord g_moduleRecord;
