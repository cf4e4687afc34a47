// The fixture of unit tests that touch the settings or watch the platform:
// each starts with an empty probe and the initial settings and leaves the
// initial settings behind.
#pragma once

#include <gtest/gtest.h>

#include "settings/gif_settings.h"
#include "tests/unit/platform_probe.h"

class CleanState : public ::testing::Test {
protected:
    void SetUp() override {
        ProbeReset();
        gifSettings = GifSettings{0, 0};
    }
    void TearDown() override { gifSettings = GifSettings{0, 0}; }
};
