// YCbCr to blue-green-red for one pixel, with the BT.601 matrix in the two
// ranges a Y4M stream can declare. Fixed point, so that every platform
// produces the same bytes.
#pragma once

#include <cstdint>

enum class ColourRange {
    Limited,  // Y 16..235, Cb/Cr 16..240: what video almost always carries
    Full,     // Y, Cb, Cr 0..255 (JPEG style)
};

struct BgrPixel {
    uint8_t b;
    uint8_t g;
    uint8_t r;
};

BgrPixel YuvToBgr(int y, int cb, int cr, ColourRange range);
