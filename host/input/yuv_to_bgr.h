// YCbCr to blue-green-red for one pixel, by the BT.601 or BT.709 matrix in
// the two ranges a Y4M stream can declare, and the one rule for the matrix
// of video that names none, which every Linux route (our Y4M reader and
// FFmpeg's libraries) follows so that a clip gives the same grays whichever
// way it comes in. Fixed point, so that every platform produces the same
// bytes.
#pragma once

#include <cstdint>

enum class ColourRange {
    Limited,  // Y 16..235, Cb/Cr 16..240: what video almost always carries
    Full,     // Y, Cb, Cr 0..255 (JPEG style)
};

enum class ColourMatrix {
    Bt601,  // standard definition
    Bt709,  // high definition
};

// The matrix of video that names none, as players take it (mpv, VLC and
// the browsers guess by size, and HD is BT.709 by its standard): BT.709
// when the picture is HD, wider than 1024 or taller than 576 pixels, else
// BT.601. FFmpeg's own converter would take BT.601 for every size, which
// shifts the grays of untagged HD several levels from what players show.
inline ColourMatrix UntaggedMatrix(int32_t width, int32_t height) {
    return width > 1024 || height > 576 ? ColourMatrix::Bt709 : ColourMatrix::Bt601;
}

struct BgrPixel {
    uint8_t b;
    uint8_t g;
    uint8_t r;
};

BgrPixel YuvToBgr(int y, int cb, int cr, ColourRange range, ColourMatrix matrix);
