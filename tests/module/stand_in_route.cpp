// The one addition of the Linux module's test build: a reference that keeps
// RouteStandInOutput in it, for routed_module.map to export, so that the
// module tests can take the loaded module's debugger lines and message
// boxes (the Windows tests redirect the module's imports instead).
#include "platform/linux/stand_in_control.h"

extern "C" __attribute__((used)) void* const rozoveStandInRoute = reinterpret_cast<void*>(&RouteStandInOutput);
