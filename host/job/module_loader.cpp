// Loading the module by its path (never looked up on a search path, so
// "--module x.so" means ./x.so) through the platform's loader, and taking
// its table.
#include "host/job/module_loader.h"

#include "host/common/install_layout.h"
#include "platform/host_os.h"

namespace {

const char kTableExport[] = "GetOutputPluginTable";

// Asks the loaded module for its table; on failure the module is unloaded.
bool TakeTable(GetOutputPluginTableFn lookup, LoadedModule* module, std::string* error) {
    if (lookup == nullptr) {
        *error = module->path + " is not an output module: it exports no " + kTableExport;
        UnloadModule(module);
        return false;
    }
    module->table = lookup();
    if (module->table == nullptr) {
        *error = module->path + ": " + kTableExport + " returned no table";
        UnloadModule(module);
        return false;
    }
    return true;
}

}  // namespace

std::string ChosenModulePath(const std::string& given) {
    return given.empty() ? DefaultModulePath() : given;
}

bool LoadModule(const std::string& path, LoadedModule* module, std::string* error) {
    *module = LoadedModule{nullptr, nullptr, path};
    module->handle = OpenModule(path, error);
    if (module->handle == nullptr) return false;
    auto lookup = reinterpret_cast<GetOutputPluginTableFn>(ModuleSymbol(module->handle, kTableExport));
    std::string warning;
    if (lookup != nullptr && !PrintModuleMessages(module->handle, &warning)) {
        *error = path + ": " + warning;
        UnloadModule(module);
        return false;
    }
    return TakeTable(lookup, module, error);
}

void UnloadModule(LoadedModule* module) {
    if (module->handle != nullptr) CloseModule(module->handle);
    module->handle = nullptr;
    module->table = nullptr;
}

std::string DefaultModulePath() {
    return InstalledFilePath(kModuleFileName);
}
