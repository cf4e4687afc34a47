// The fixture of tests that drive the loaded module: each starts with the
// module's table, the initial settings and nothing left over from an
// earlier test's debugger lines or message boxes, and ends with the initial
// settings again.
#pragma once

#include <gtest/gtest.h>

#include "tests/module/module_under_test.h"

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        table = TheModule().table;
        ASSERT_NE(table, nullptr);
        ResetSettings();
        TakeDebugLines();
        TakeMessageBoxes();
    }
    void TearDown() override { ResetSettings(); }

    OutputPluginTable* table = nullptr;
};
