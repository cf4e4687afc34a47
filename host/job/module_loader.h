// Loading the output module and finding its table, as the host application
// does: the module is a black box reached only through GetOutputPluginTable.
#pragma once

#include <memory>
#include <string>

#include "plugin/host_contract.h"

struct ModuleCloser {
    void operator()(void* handle) const;
};

// A loaded module unloads itself when it goes.
struct LoadedModule {
    std::unique_ptr<void, ModuleCloser> handle;
    OutputPluginTable* table = nullptr;
    std::string path;
};

// Loads PATH and asks it for its table. On Windows the module's message
// box is also redirected to standard output, so that a job never waits for
// a click (see platform/win32/message_box_win32.h). On failure nothing
// stays loaded.
bool LoadModule(const std::string& path, LoadedModule* module, std::string* error);

// The module rozove loads when --module names none: PREFIX/lib/rozove/ for
// an installed PREFIX/bin/rozove, else the one beside the executable
// (zezodav_odevad.so, or zezodav_odevad.auo for rozove.exe).
std::string DefaultModulePath();
// GIVEN, or the default module when it is empty.
std::string ChosenModulePath(const std::string& given);
