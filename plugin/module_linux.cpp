// The Linux module: the same table and entries as the Windows one, pulled
// in from the system library so that the linker keeps them. Like the
// Windows module it exports the table lookup alone; tests that watch the
// loaded module's stand-ins load a test build of it (tests/module/).
#include "plugin/plugin_table.h"

// Referencing the lookup keeps its object in the module.
extern "C" __attribute__((used)) void* const rozoveTableLookup = reinterpret_cast<void*>(&GetOutputPluginTable);
