// Exhaustive and edge checks of ConvertPlain and ConvertMasked.
#include "bench/convert_check.h"

#include <vector>

#include "gif/gray_convert.h"
#include "plugin/host_contract.h"

namespace {

// The frame's pixel (x, y), y = 0 at the top.
const uint8_t* Pixel(const std::vector<uint8_t>& frame, int width, int height, int x, int y) {
    return frame.data() + FrameRowOffset(width, height, y) + 3 * x;
}

uint8_t Expected(const uint8_t* p) {
    return GrayLevel(p[0], p[1], p[2]);
}

std::string Where(const char* what, int width, int x, int y) {
    return std::string(what) + " differs at width " + std::to_string(width) + ", pixel (" + std::to_string(x) +
           ", " + std::to_string(y) + ")";
}

std::string CheckPlain(const std::vector<uint8_t>& frame, int width, int height) {
    std::vector<uint8_t> out(static_cast<size_t>(4) * width * height, 0);
    IndexImage image{out.data(), width, height, IndexStride(width)};
    ConvertPlain(frame.data(), width, height, &image);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < image.stride; ++x) {
            const uint8_t want = x < width ? Expected(Pixel(frame, width, height, x, y)) : 0;
            if (out[y * image.stride + x] != want) return Where("plain conversion", width, x, y);
        }
    }
    return "";
}

std::string CheckMasked(const std::vector<uint8_t>& frame, int width, int height) {
    const int outWidth = OutWidth(width, true);
    std::vector<uint8_t> out(static_cast<size_t>(4) * (outWidth > 0 ? outWidth : 1) * height, 0);
    IndexImage image{out.data(), outWidth, height, IndexStride(outWidth)};
    ConvertMasked(frame.data(), width, height, &image);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < image.stride; ++x) {
            uint8_t want = 0;
            if (x < outWidth) {
                const uint8_t* m = Pixel(frame, width, height, outWidth + x, y);
                want = (m[0] | m[1] | m[2]) == 0 ? 0 : Expected(Pixel(frame, width, height, x, y));
            }
            if (out[y * image.stride + x] != want) return Where("masked conversion", width, x, y);
        }
    }
    return "";
}

uint32_t Next(uint32_t* state) {
    *state ^= *state << 13;
    *state ^= *state >> 17;
    *state ^= *state << 5;
    return *state;
}

}  // namespace

std::string CheckConversion() {
    // Every colour once: 4096 x 4096 pixels, colour = row * 4096 + column.
    {
        const int side = 4096;
        std::vector<uint8_t> frame(static_cast<size_t>(FrameStride(side)) * side);
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                const uint32_t colour = static_cast<uint32_t>(y) * side + static_cast<uint32_t>(x);
                uint8_t* p = frame.data() + FrameRowOffset(side, side, y) + 3 * x;
                p[0] = static_cast<uint8_t>(colour);
                p[1] = static_cast<uint8_t>(colour >> 8);
                p[2] = static_cast<uint8_t>(colour >> 16);
            }
        }
        std::string failure = CheckPlain(frame, side, side);
        if (!failure.empty()) return failure;
        // The right half as mask: the colours there include black and all
        // its near neighbours.
        failure = CheckMasked(frame, side, side);
        if (!failure.empty()) return failure;
    }
    // Every row length from 1 to 80, random pixels with black and
    // near-black ones mixed in.
    uint32_t state = 12345;
    for (int width = 1; width <= 80; ++width) {
        const int height = 3;
        std::vector<uint8_t> frame(static_cast<size_t>(FrameStride(width)) * height);
        for (uint8_t& byte : frame) {
            const uint32_t r = Next(&state);
            byte = (r & 0x300) == 0 ? 0 : ((r & 0xC00) == 0 ? static_cast<uint8_t>(r & 1) : static_cast<uint8_t>(r));
        }
        std::string failure = CheckPlain(frame, width, height);
        if (failure.empty()) failure = CheckMasked(frame, width, height);
        if (!failure.empty()) return failure;
    }
    return "";
}
