// Gray palette and frame conversion. The inner loops are kept branch-free
// and free of aliasing doubts so that the compiler can vectorise them.
#include "gif/gray_convert.h"

#include "plugin/host_contract.h"

GrayPalette BuildGrayPalette() {
    GrayPalette palette;
    palette.flags = 0;
    palette.count = 256;
    palette.entries[0] = 0x00000000u;  // black with alpha 0: the transparent colour
    for (uint32_t i = 1; i < 256; ++i) palette.entries[i] = 0xFF000000u | (i * 0x010101u);
    return palette;
}

int32_t OutWidth(int32_t frameWidth, bool maskMode) {
    return maskMode ? frameWidth / 2 : frameWidth;
}

int64_t IndexStride(int32_t outWidth) {
    return ((static_cast<int64_t>(outWidth) + 3) / 4) * 4;
}

namespace {

// Source row feeding output row y: host frames are stored bottom-up.
const uint8_t* SourceRow(const uint8_t* frame, int32_t width, int32_t height, int32_t y) {
    return frame + static_cast<int64_t>(height - 1 - y) * FrameStride(width);
}

void ConvertRow(const uint8_t* __restrict source, uint8_t* __restrict out, int32_t count) {
    for (int32_t x = 0; x < count; ++x) {
        out[x] = GrayLevel(source[3 * x], source[3 * x + 1], source[3 * x + 2]);
    }
}

void ConvertMaskedRow(const uint8_t* __restrict picture, const uint8_t* __restrict mask,
                      uint8_t* __restrict out, int32_t count) {
    for (int32_t x = 0; x < count; ++x) {
        uint8_t level = GrayLevel(picture[3 * x], picture[3 * x + 1], picture[3 * x + 2]);
        // Only pure black in the mask makes the pixel transparent.
        bool black = (mask[3 * x] | mask[3 * x + 1] | mask[3 * x + 2]) == 0;
        out[x] = black ? 0 : level;
    }
}

}  // namespace

void ConvertPlain(const uint8_t* frame, int32_t width, int32_t height, IndexImage* destination) {
    for (int32_t y = 0; y < height; ++y) {
        ConvertRow(SourceRow(frame, width, height, y), destination->pixels + y * destination->stride,
                   width);
    }
}

void ConvertMasked(const uint8_t* frame, int32_t width, int32_t height, IndexImage* destination) {
    const int32_t outWidth = OutWidth(width, true);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = SourceRow(frame, width, height, y);
        // With an odd width the last column belongs to neither half.
        ConvertMaskedRow(row, row + 3 * static_cast<int64_t>(outWidth),
                         destination->pixels + y * destination->stride, outWidth);
    }
}
