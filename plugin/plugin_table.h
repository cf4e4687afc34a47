// The module's ways in: the exported table lookup, the output entry and,
// on Windows, DllMain.
#pragma once

#include "plugin/host_contract.h"

extern "C" {
OutputPluginTable* ROZOVE_CDECL GetOutputPluginTable(void);
int32_t ROZOVE_CDECL OnOutput(OutputRequest* request);
}
