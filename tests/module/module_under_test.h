// The built module as a host sees it: loaded once per test process and
// reached only through its exports and its table. On Windows the module's
// imports of OutputDebugStringA and MessageBoxA are redirected, so that the
// tests can read its debugger lines and completion messages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plugin/host_contract.h"

struct ModuleUnderTest {
    void* handle;                  // HMODULE or dlopen handle
    OutputPluginTable* table;
    uint8_t initialSettings[8];    // the settings block read right after loading
    bool initialSettingsRead;
};

// Loads the module beside the test tree (once); fails the calling test
// when it cannot be loaded or gives no table.
ModuleUnderTest& TheModule();
void* ModuleExport(const char* name);

// The folder of the running test executable, with a trailing separator.
std::string ExecutableDirectory();
// Where the tests keep the GIFs for the giflib checker; created on demand.
std::string OutputDirectory();

// Restores the initial settings (both zero) through the table.
void ResetSettings();
void SetSettings(int32_t useRightHalfAsMask, int32_t loopCount);
void GetSettings(int32_t* useRightHalfAsMask, int32_t* loopCount);

#if defined(_WIN32)
// Debugger lines the module wrote since the last take, one entry per call.
std::vector<std::string> TakeDebugLines();

// One completion message box the module showed.
struct ShownMessage {
    void* owner;
    std::string text;     // bytes as given (code page 932)
    std::string caption;
    unsigned type;
};
// Message boxes since the last take. While MessageBoxesPassThrough is off
// (the default) each box is answered with OK at once and never drawn.
std::vector<ShownMessage> TakeMessageBoxes();
void MessageBoxesPassThrough(bool show);
#endif
