// The Linux module: the same table and entries as the Windows one, pulled
// in from the system library so that the linker keeps them.
#include "plugin/plugin_table.h"

// Referencing the lookup keeps plugin_table's object in the module.
extern "C" __attribute__((used)) void* const rozoveTableLookup = reinterpret_cast<void*>(&GetOutputPluginTable);
