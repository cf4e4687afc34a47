// Loading the module and redirecting its debugger output and message box.
#include "tests/module/module_under_test.h"

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>

#if defined(_WIN32)
#include <windows.h>

#include "platform/win32/import_patch.h"
#else
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::string ModulePath() {
#if defined(_WIN32)
    std::string relative = ROZOVE_MODULE_RELATIVE;
    for (char& c : relative) {
        if (c == '/') c = '\\';
    }
    return ExecutableDirectory() + relative;
#else
    return ROZOVE_MODULE_PATH;
#endif
}

// The catchers of the module's debugger lines and message boxes: on
// Windows its imports point at them, on Linux its stand-ins route to them.
#if defined(_WIN32)
#define CATCHER WINAPI
#else
#define CATCHER
#endif
constexpr int kOk = 1;  // IDOK

// The module writes its debugger line from DllMain at every thread's and at
// the process's detach, also after main has returned and this file's
// statics are gone: what the catchers keep is therefore never destroyed.
struct Captured {
    std::mutex lock;
    std::vector<std::string> debugLines;
    std::vector<ShownMessage> messages;
    bool passThrough = false;
};
Captured& Capture() {
    static Captured* const captured = new Captured();
    return *captured;
}
void* originalMessageBox = nullptr;

void CATCHER CaptureDebugString(const char* text) {
    std::lock_guard<std::mutex> hold(Capture().lock);
    Capture().debugLines.push_back(text != nullptr ? text : "(null)");
}

int CATCHER CaptureMessageBox(void* owner, const char* text, const char* caption, unsigned type) {
    bool show;
    {
        std::lock_guard<std::mutex> hold(Capture().lock);
        Capture().messages.push_back({owner, text != nullptr ? text : "", caption != nullptr ? caption : "", type});
        show = Capture().passThrough;
    }
    if (!show || originalMessageBox == nullptr) return kOk;
    auto real = reinterpret_cast<int(CATCHER*)(void*, const char*, const char*, unsigned)>(originalMessageBox);
    return real(owner, text, caption, type);
}

ModuleUnderTest Load() {
    ModuleUnderTest module{};
    const std::string path = ModulePath();
#if defined(_WIN32)
    HMODULE handle = LoadLibraryA(path.c_str());
    if (handle == nullptr) return module;
    module.handle = handle;
    // From here on the module's debugger lines and message boxes are ours.
    PatchImport(handle, "kernel32.dll", "OutputDebugStringA", reinterpret_cast<void*>(CaptureDebugString));
    PatchImport(handle, "user32.dll", "MessageBoxA", reinterpret_cast<void*>(CaptureMessageBox), &originalMessageBox);
    auto lookup = reinterpret_cast<GetOutputPluginTableFn>(
        reinterpret_cast<void*>(GetProcAddress(handle, "GetOutputPluginTable")));
#else
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return module;
    module.handle = handle;
    // From here on the module's debugger lines and message boxes are ours.
    using RouteFn = void (*)(void (*)(const char*), int (*)(void*, const char*, const char*, unsigned));
    auto route = reinterpret_cast<RouteFn>(dlsym(handle, "RouteStandInOutput"));
    if (route != nullptr) {
        route(CaptureDebugString, CaptureMessageBox);
    } else {
        ADD_FAILURE() << "the Linux module's test build exports no RouteStandInOutput";
    }
    auto lookup = reinterpret_cast<GetOutputPluginTableFn>(dlsym(handle, "GetOutputPluginTable"));
#endif
    if (lookup == nullptr) return module;
    module.table = lookup();
    // Before any test can change them: what a freshly loaded module holds.
    if (module.table != nullptr && module.table->configGet != nullptr) {
        std::memset(module.initialSettings, 0xA5, sizeof module.initialSettings);
        module.initialSettingsRead = module.table->configGet(module.initialSettings, 8) == 8;
    }
    TakeDebugLines();
    return module;
}

}  // namespace

ModuleUnderTest& TheModule() {
    static ModuleUnderTest module = Load();
    if (module.handle == nullptr) ADD_FAILURE() << "cannot load the module " << ModulePath();
    if (module.table == nullptr) ADD_FAILURE() << "the module gave no table";
    return module;
}

void* ModuleExport(const char* name) {
    ModuleUnderTest& module = TheModule();
    if (module.handle == nullptr) return nullptr;
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module.handle), name));
#else
    return dlsym(module.handle, name);
#endif
}

std::string ExecutableDirectory() {
#if defined(_WIN32)
    char path[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string text(path, length);
    return text.substr(0, text.find_last_of("\\/") + 1);
#else
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    std::string text(path, length > 0 ? static_cast<size_t>(length) : 0);
    return text.substr(0, text.find_last_of('/') + 1);
#endif
}

std::string OutputDirectory() {
    const std::string directory = ExecutableDirectory() + "out";
#if defined(_WIN32)
    CreateDirectoryA(directory.c_str(), nullptr);
    return directory + "\\";
#else
    mkdir(directory.c_str(), 0755);
    return directory + "/";
#endif
}

void SetSettings(int32_t useRightHalfAsMask, int32_t loopCount) {
    ModuleUnderTest& module = TheModule();
    ASSERT_NE(module.table, nullptr);
    uint8_t block[8];
    std::memcpy(block, &useRightHalfAsMask, 4);  // both targets are little-endian
    std::memcpy(block + 4, &loopCount, 4);
    ASSERT_EQ(module.table->configSet(block, 8), 8);
}

void GetSettings(int32_t* useRightHalfAsMask, int32_t* loopCount) {
    ModuleUnderTest& module = TheModule();
    ASSERT_NE(module.table, nullptr);
    uint8_t block[8] = {0};
    ASSERT_EQ(module.table->configGet(block, 8), 8);
    std::memcpy(useRightHalfAsMask, block, 4);
    std::memcpy(loopCount, block + 4, 4);
}

::testing::AssertionResult HoldsSettings(int32_t useRightHalfAsMask, int32_t loopCount) {
    int32_t mask = 0, loop = 0;
    GetSettings(&mask, &loop);
    if (mask == useRightHalfAsMask && loop == loopCount) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the module holds mask " << mask << ", loop " << loop << "; expected mask "
                                         << useRightHalfAsMask << ", loop " << loopCount;
}

void ResetSettings() {
    SetSettings(0, 0);
}

std::vector<std::string> TakeDebugLines() {
    std::lock_guard<std::mutex> hold(Capture().lock);
    std::vector<std::string> taken;
    taken.swap(Capture().debugLines);
    return taken;
}

std::vector<ShownMessage> TakeMessageBoxes() {
    std::lock_guard<std::mutex> hold(Capture().lock);
    std::vector<ShownMessage> taken;
    taken.swap(Capture().messages);
    return taken;
}

void MessageBoxesPassThrough(bool show) {
    std::lock_guard<std::mutex> hold(Capture().lock);
    Capture().passThrough = show;
}
