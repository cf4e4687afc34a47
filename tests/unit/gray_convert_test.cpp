// Gray palette and frame conversion: weights, clamping, the reserved index
// 0, row order, padding, and the mask mode's halves.
#include <gtest/gtest.h>

#include <vector>

#include "gif/gray_convert.h"
#include "tests/unit/test_frames.h"

namespace {

// Converts a frame into a freshly zeroed buffer of the documented size and
// returns the whole buffer, padding included.
std::vector<uint8_t> Convert(const std::vector<uint8_t>& frame, int width, int height, bool mask,
                             int64_t* stride = nullptr) {
    const int32_t outWidth = OutWidth(width, mask);
    std::vector<uint8_t> buffer(static_cast<size_t>(4) * (outWidth > 0 ? outWidth : 0) * height, 0);
    IndexImage image{buffer.data(), outWidth, height, IndexStride(outWidth)};
    if (mask) {
        ConvertMasked(frame.data(), width, height, &image);
    } else {
        ConvertPlain(frame.data(), width, height, &image);
    }
    if (stride != nullptr) *stride = image.stride;
    return buffer;
}

TEST(GrayPalette, IndexZeroIsTheOnlyTransparentEntry) {
    const GrayPalette palette = BuildGrayPalette();
    EXPECT_EQ(palette.flags, 0u);
    EXPECT_EQ(palette.count, 256u);
    EXPECT_EQ(palette.entries[0], 0x00000000u);
    EXPECT_EQ(palette.entries[1], 0xFF010101u);
    EXPECT_EQ(palette.entries[128], 0xFF808080u);
    EXPECT_EQ(palette.entries[255], 0xFFFFFFFFu);
    for (int i = 1; i < 256; ++i) EXPECT_EQ(palette.entries[i] >> 24, 0xFFu) << i;
}

TEST(GrayLevel, WeightsClampAndReservedZero) {
    EXPECT_EQ(GrayLevel(0, 0, 0), 1);        // black never becomes transparent
    EXPECT_EQ(GrayLevel(255, 255, 255), 255);  // 265 clamped
    EXPECT_EQ(GrayLevel(255, 0, 0), 29);     // pure blue
    EXPECT_EQ(GrayLevel(0, 0, 255), 87);     // pure red: weight 87
    EXPECT_EQ(GrayLevel(0, 255, 0), 149);    // pure green
    EXPECT_EQ(GrayLevel(1, 0, 0), 1);        // (29 + 128) >> 8 = 0, raised to 1
    EXPECT_EQ(GrayLevel(240, 240, 240), 249);  // (266 * 240 + 128) >> 8
}

TEST(ConvertPlain, TurnsRowsTopDownAndLeavesPaddingZero) {
    // Width 5: source stride 16, output stride 8; each row its own level.
    const int width = 5, height = 3;
    const auto frame = MakeHostFrame(width, height, [](int x, int y) {
        const uint8_t v = static_cast<uint8_t>(40 * y + 10 * x + 20);
        return Bgr{v, v, v};
    });
    int64_t stride = 0;
    const auto out = Convert(frame, width, height, false, &stride);
    ASSERT_EQ(stride, 8);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t v = 40 * y + 10 * x + 20;
            EXPECT_EQ(out[y * stride + x], GrayLevel(v, v, v)) << x << "," << y;
        }
        for (int x = width; x < stride; ++x) EXPECT_EQ(out[y * stride + x], 0) << "padding " << x;
    }
}

TEST(ConvertPlain, NarrowAndAlignedWidths) {
    for (int width : {1, 2, 3, 4, 7, 8}) {
        const auto frame = MakeHostFrame(width, 2, [](int x, int y) {
            return Bgr{static_cast<uint8_t>(x * 30), static_cast<uint8_t>(y * 100), 7};
        });
        int64_t stride = 0;
        const auto out = Convert(frame, width, 2, false, &stride);
        EXPECT_EQ(stride, (width + 3) / 4 * 4);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < width; ++x) {
                EXPECT_EQ(out[y * stride + x], GrayLevel(x * 30, y * 100, 7)) << width << ":" << x << "," << y;
            }
        }
    }
}

TEST(ConvertMasked, OnlyPureBlackInTheMaskIsTransparent) {
    // Width 5: picture pixels 0-1, mask pixels 2-3, pixel 4 belongs to neither.
    const int width = 5, height = 2;
    const auto frame = MakeHostFrame(width, height, [](int x, int y) -> Bgr {
        if (x < 2) return Bgr{200, 200, 200};
        if (x == 2) return y == 0 ? Bgr{0, 0, 0} : Bgr{1, 0, 0};
        if (x == 3) return y == 0 ? Bgr{0, 0, 1} : Bgr{0, 0, 0};
        return Bgr{0, 0, 0};
    });
    int64_t stride = 0;
    const auto out = Convert(frame, width, height, true, &stride);
    ASSERT_EQ(stride, 4);
    const uint8_t level = GrayLevel(200, 200, 200);
    EXPECT_EQ(out[0], 0);      // mask black
    EXPECT_EQ(out[1], level);  // mask (0,0,1): dark but not black
    EXPECT_EQ(out[stride + 0], level);  // mask (1,0,0)
    EXPECT_EQ(out[stride + 1], 0);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], 0);
}

TEST(ConvertMasked, BlackPictureUnderAnOpaqueMaskStaysOpaque) {
    const auto frame = MakeHostFrame(4, 1, [](int x, int) { return x < 2 ? Bgr{0, 0, 0} : Bgr{255, 255, 255}; });
    const auto out = Convert(frame, 4, 1, true);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[1], 1);
}

TEST(ConvertMasked, WidthOneAndHeightZeroConvertNothing) {
    EXPECT_EQ(OutWidth(1, true), 0);
    EXPECT_EQ(OutWidth(640, true), 320);
    EXPECT_EQ(OutWidth(641, false), 641);
    const auto frame = MakeHostFrame(1, 1, [](int, int) { return Bgr{9, 9, 9}; });
    uint8_t sentinel[4] = {7, 7, 7, 7};
    IndexImage image{sentinel, 0, 1, IndexStride(0)};
    ConvertMasked(frame.data(), 1, 1, &image);
    EXPECT_EQ(sentinel[0], 7);
    IndexImage empty{sentinel, 1, 0, 4};
    ConvertPlain(frame.data(), 1, 0, &empty);
    EXPECT_EQ(sentinel[0], 7);
}

TEST(ConvertBoth, EveryWidthUpTo80MatchesTheReferenceLevel) {
    // Widths past 16 take the vector path, with scalar tails of every
    // length; dark pixels sit where rounding and the raised 0 meet, bright
    // ones where the clamp does, and near-black mask pixels must stay opaque.
    uint32_t state = 12345;
    auto next = [&state]() {
        state = state * 1103515245u + 12345u;
        return static_cast<uint8_t>(state >> 23);
    };
    for (int width = 1; width <= 80; ++width) {
        const int height = 3;
        std::vector<Bgr> pixels(static_cast<size_t>(width) * height);
        for (size_t i = 0; i < pixels.size(); ++i) {
            switch (i % 4) {
            case 0: pixels[i] = Bgr{next(), next(), next()}; break;
            case 1: pixels[i] = Bgr{static_cast<uint8_t>(next() % 3), static_cast<uint8_t>(next() % 2), static_cast<uint8_t>(next() % 3)}; break;
            case 2: pixels[i] = Bgr{static_cast<uint8_t>(250 + next() % 6), static_cast<uint8_t>(240 + next() % 16), static_cast<uint8_t>(250 + next() % 6)}; break;
            default: pixels[i] = (next() & 1) ? Bgr{0, 0, 0} : Bgr{0, 0, 1}; break;
            }
        }
        const auto frame = MakeHostFrame(width, height, [&](int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; });
        int64_t stride = 0;
        const auto plain = Convert(frame, width, height, false, &stride);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const Bgr p = pixels[static_cast<size_t>(y) * width + x];
                ASSERT_EQ(plain[y * stride + x], GrayLevel(p.b, p.g, p.r)) << "width " << width << " at " << x << "," << y;
            }
        }
        const int half = width / 2;
        if (half == 0) continue;
        const auto masked = Convert(frame, width, height, true, &stride);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < half; ++x) {
                const Bgr p = pixels[static_cast<size_t>(y) * width + x];
                const Bgr m = pixels[static_cast<size_t>(y) * width + half + x];
                const uint8_t expected = (m.b | m.g | m.r) == 0 ? 0 : GrayLevel(p.b, p.g, p.r);
                ASSERT_EQ(masked[y * stride + x], expected) << "mask, width " << width << " at " << x << "," << y;
            }
        }
    }
}

}  // namespace
