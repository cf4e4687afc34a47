// The built module as a host sees it: loaded once per test process and
// reached only through its exports and its table. Its debugger lines and
// completion messages come to the tests: on Windows by redirecting its
// imports of OutputDebugStringA and MessageBoxA, on Linux through the route
// to its stand-ins that the module's test build exports.
#pragma once

#include <gtest/gtest.h>

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
// Success when the module's settings block holds these two values.
::testing::AssertionResult HoldsSettings(int32_t useRightHalfAsMask, int32_t loopCount);

// Debugger lines the module wrote since the last take, one entry per call
// (on Linux its stand-ins route them here, on Windows its import is
// redirected).
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
// Passing through draws the real box (Windows only; on Linux it is answered
// with OK all the same).
void MessageBoxesPassThrough(bool show);
