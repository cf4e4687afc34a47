// The two user settings, one process-wide record shared by the settings
// exchange, the dialog and the animation writer. Plain values, no lock: every
// entry runs on the thread the host calls it on.
#pragma once

#include <cstdint>

struct GifSettings {
    int32_t useRightHalfAsMask;  // nonzero: each frame's right half is a transparency mask
    int32_t loopCount;           // repeat count of the looping block; 0 is endless
};

extern GifSettings gifSettings;

// The host keeps them as the 8-byte block of settings/settings_block.h.
