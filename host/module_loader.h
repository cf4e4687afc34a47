// Loading the output module and finding its table, as the host application
// does: the module is a black box reached only through GetOutputPluginTable.
#pragma once

#include <string>

#include "plugin/host_contract.h"

struct LoadedModule {
    void* handle;
    OutputPluginTable* table;
    std::string path;
};

// Loads PATH and asks it for its table. On Windows the module's message
// box is also redirected to standard output, so that a job never waits for
// a click (see message_box_win32.h).
bool LoadModule(const std::string& path, LoadedModule* module, std::string* error);
void UnloadModule(LoadedModule* module);

// GIVEN, or the default module (platform/module_location.h) when it is empty.
std::string ChosenModulePath(const std::string& given);
