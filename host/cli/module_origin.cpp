// The module line of --version. It loads the module as a job would, so that
// what it shows is what a job gets, and unloads it again; a module that
// does not load is told, not an error: the version is still shown.
#include "host/cli/module_origin.h"

#include "host/job/module_loader.h"
#include "platform/code_page_932.h"

std::string ModuleOrigin(const std::string& given) {
    const std::string path = ChosenModulePath(given);
    const char* how = given.empty() ? "the default, found from rozove's own folder" : "--module";
    LoadedModule module;
    std::string error;
    if (!LoadModule(path, &module, &error)) return "module: none loaded (" + std::string(how) + "): " + error;
    return "module: " + CodePage932ToUtf8(module.table->name) + " from " + path + " (" + how + ")";
}
