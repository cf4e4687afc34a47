// The Linux module: the same table and entries as the Windows one, pulled
// in from the system library so that the linker keeps them, and the one
// way in to the stand-ins that tests of the loaded module need: where its
// debugger lines and message boxes go (on Windows the tests redirect the
// module's imports instead).
#include "platform/linux/stand_in_control.h"
#include "plugin/plugin_table.h"

// Referencing the lookups keeps their objects in the module.
extern "C" __attribute__((used)) void* const rozoveTableLookup = reinterpret_cast<void*>(&GetOutputPluginTable);
extern "C" __attribute__((used)) void* const rozoveStandInRoute = reinterpret_cast<void*>(&RouteStandInOutput);
