// The fixed 256-level gray palette and the conversion of a host frame
// (blue-green-red, bottom-up, rows padded to 4 bytes) into 8-bit palette
// indices, plain or with the right half of the frame as a transparency mask.
#pragma once

#include <cstdint>

// Laid out as the image library's palette record (flags, count, entries), so
// it can be handed to it as it is.
struct GrayPalette {
    uint32_t flags;
    uint32_t count;
    uint32_t entries[256];  // ARGB; entry 0 is the only transparent colour
};

// 8-bit indices, rows top-down, each row padded to a multiple of 4 bytes.
struct IndexImage {
    uint8_t* pixels;
    int32_t width;   // outWidth
    int32_t height;
    int64_t stride;
};

GrayPalette BuildGrayPalette();

// Width of the converted picture: the frame's, or half of it in mask mode.
int32_t OutWidth(int32_t frameWidth, bool maskMode);
int64_t IndexStride(int32_t outWidth);

// Both fill destination->pixels, which the caller provides zero-filled and
// sized for outWidth x height; width and height are the host frame's.
void ConvertPlain(const uint8_t* frame, int32_t width, int32_t height, IndexImage* destination);
void ConvertMasked(const uint8_t* frame, int32_t width, int32_t height, IndexImage* destination);

// Gray level of one pixel: weights 29/150/87 (they add up to 266, so white
// overshoots and is clamped), and never 0, which is reserved for transparency.
inline uint8_t GrayLevel(uint32_t blue, uint32_t green, uint32_t red) {
    uint32_t level = (29 * blue + 150 * green + 87 * red + 128) >> 8;
    if (level > 255) level = 255;
    if (level == 0) level = 1;
    return static_cast<uint8_t>(level);
}
