// dlopen on Linux, LoadLibrary on Windows. The module is loaded by a path
// (never looked up on a search path), so "--module x.so" means ./x.so.
#include "host/module_loader.h"

#include "platform/module_location.h"

#if defined(_WIN32)
#include <windows.h>

#include "host/message_box_win32.h"
#else
#include <dlfcn.h>
#endif

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

#if defined(_WIN32)

bool LoadModule(const std::string& path, LoadedModule* module, std::string* error) {
    *module = LoadedModule{nullptr, nullptr, path};
    char full[MAX_PATH * 2];
    const DWORD fullLength = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    const char* name = (fullLength > 0 && fullLength < sizeof full) ? full : path.c_str();
    // No error dialog when the module or one of its imports is missing.
    const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE handle = LoadLibraryExA(name, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    const DWORD loadError = GetLastError();
    SetErrorMode(previousMode);
    if (handle == nullptr) {
        *error = "cannot load the module " + path + " (Windows error " + std::to_string(loadError) + ")";
        return false;
    }
    module->handle = handle;
    auto lookup = reinterpret_cast<GetOutputPluginTableFn>(
        reinterpret_cast<void*>(GetProcAddress(handle, kTableExport)));
    std::string warning;
    if (lookup != nullptr && !RedirectMessageBox(handle, &warning)) {
        *error = path + ": " + warning;
        UnloadModule(module);
        return false;
    }
    return TakeTable(lookup, module, error);
}

void UnloadModule(LoadedModule* module) {
    if (module->handle != nullptr) FreeLibrary(static_cast<HMODULE>(module->handle));
    module->handle = nullptr;
    module->table = nullptr;
}

#else

bool LoadModule(const std::string& path, LoadedModule* module, std::string* error) {
    *module = LoadedModule{nullptr, nullptr, path};
    const std::string name = path.find('/') == std::string::npos ? "./" + path : path;
    void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        *error = "cannot load the module: " + std::string(reason != nullptr ? reason : path.c_str());
        return false;
    }
    module->handle = handle;
    return TakeTable(reinterpret_cast<GetOutputPluginTableFn>(dlsym(handle, kTableExport)), module, error);
}

void UnloadModule(LoadedModule* module) {
    if (module->handle != nullptr) dlclose(module->handle);
    module->handle = nullptr;
    module->table = nullptr;
}

#endif
