// Loading the module by its path (never looked up on a search path, so
// "--module x.so" means ./x.so) through the platform's loader, and taking
// its table.
#include "host/job/module_loader.h"

#include "host/common/install_layout.h"
#include "platform/host_os.h"

namespace {

const char kTableExport[] = "GetOutputPluginTable";

// Asks the loaded module for its table: "" or why there is none.
std::string TakeTable(GetOutputPluginTableFn lookup, LoadedModule* module) {
    if (lookup == nullptr) return module->path + " is not an output module: it exports no " + kTableExport;
    module->table = lookup();
    if (module->table == nullptr) return module->path + ": " + kTableExport + " returned no table";
    return std::string();
}

}  // namespace

void ModuleCloser::operator()(void* handle) const {
    CloseModule(handle);
}

std::string ChosenModulePath(const std::string& given) {
    return given.empty() ? DefaultModulePath() : given;
}

bool LoadModule(const std::string& path, LoadedModule* module, std::string* error) {
    LoadedModule loaded;
    loaded.path = path;
    loaded.handle.reset(OpenModule(path, error));
    if (loaded.handle == nullptr) return false;
    auto lookup = reinterpret_cast<GetOutputPluginTableFn>(ModuleSymbol(loaded.handle.get(), kTableExport));
    std::string warning;
    if (lookup != nullptr && !PrintModuleMessages(loaded.handle.get(), &warning)) {
        *error = path + ": " + warning;
        return false;
    }
    *error = TakeTable(lookup, &loaded);
    if (!error->empty()) return false;
    *module = std::move(loaded);
    return true;
}

std::string DefaultModulePath() {
    return InstalledFilePath(kModuleFileName);
}
