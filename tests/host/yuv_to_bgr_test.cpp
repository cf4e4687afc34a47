// The BT.601 and BT.709 matrices on values whose results are known: the
// ends of the luma range, neutral gray and the primaries as each encoder
// writes them; and which of them untagged video takes by its size.
#include "host/input/yuv_to_bgr.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

void ExpectNear(BgrPixel p, int b, int g, int r) {
    EXPECT_LE(std::abs(p.b - b), 1) << "blue " << int(p.b);
    EXPECT_LE(std::abs(p.g - g), 1) << "green " << int(p.g);
    EXPECT_LE(std::abs(p.r - r), 1) << "red " << int(p.r);
}

TEST(YuvToBgrLimited, LumaRangeEndsAreBlackAndWhite) {
    const BgrPixel black = YuvToBgr(16, 128, 128, ColourRange::Limited, ColourMatrix::Bt601);
    EXPECT_EQ(black.b, 0);
    EXPECT_EQ(black.g, 0);
    EXPECT_EQ(black.r, 0);
    const BgrPixel white = YuvToBgr(235, 128, 128, ColourRange::Limited, ColourMatrix::Bt601);
    EXPECT_EQ(white.b, 255);
    EXPECT_EQ(white.g, 255);
    EXPECT_EQ(white.r, 255);
}

TEST(YuvToBgrLimited, OutOfRangeLumaClamps) {
    const BgrPixel below = YuvToBgr(0, 128, 128, ColourRange::Limited, ColourMatrix::Bt601);
    EXPECT_EQ(below.r, 0);
    const BgrPixel above = YuvToBgr(255, 128, 128, ColourRange::Limited, ColourMatrix::Bt601);
    EXPECT_EQ(above.r, 255);
    // Extreme chroma pushes channels past both ends; they clamp, not wrap.
    const BgrPixel clash = YuvToBgr(16, 255, 0, ColourRange::Limited, ColourMatrix::Bt601);
    EXPECT_EQ(clash.b, 255);
    EXPECT_EQ(clash.r, 0);
}

TEST(YuvToBgrLimited, NeutralChromaGivesGray) {
    for (int y = 16; y <= 235; ++y) {
        const BgrPixel p = YuvToBgr(y, 128, 128, ColourRange::Limited, ColourMatrix::Bt601);
        EXPECT_EQ(p.b, p.g);
        EXPECT_EQ(p.g, p.r);
        // 255 / 219 steps per code: monotone and close to the ideal.
        EXPECT_LE(std::abs(p.g - (y - 16) * 255.0 / 219.0), 0.6) << "Y=" << y;
    }
}

TEST(YuvToBgrLimited, PrimariesAsBt601EncodesThem) {
    ExpectNear(YuvToBgr(81, 90, 240, ColourRange::Limited, ColourMatrix::Bt601), 0, 0, 255);    // red
    ExpectNear(YuvToBgr(145, 54, 34, ColourRange::Limited, ColourMatrix::Bt601), 0, 255, 0);    // green
    ExpectNear(YuvToBgr(41, 240, 110, ColourRange::Limited, ColourMatrix::Bt601), 255, 0, 0);   // blue
    ExpectNear(YuvToBgr(210, 16, 146, ColourRange::Limited, ColourMatrix::Bt601), 0, 255, 255); // yellow
}

TEST(YuvToBgrFull, UsesTheWholeRange) {
    ExpectNear(YuvToBgr(0, 128, 128, ColourRange::Full, ColourMatrix::Bt601), 0, 0, 0);
    ExpectNear(YuvToBgr(255, 128, 128, ColourRange::Full, ColourMatrix::Bt601), 255, 255, 255);
    ExpectNear(YuvToBgr(128, 128, 128, ColourRange::Full, ColourMatrix::Bt601), 128, 128, 128);
    ExpectNear(YuvToBgr(76, 85, 255, ColourRange::Full, ColourMatrix::Bt601), 0, 0, 255);   // red
    ExpectNear(YuvToBgr(150, 44, 21, ColourRange::Full, ColourMatrix::Bt601), 0, 255, 0);   // green
    ExpectNear(YuvToBgr(29, 255, 107, ColourRange::Full, ColourMatrix::Bt601), 255, 0, 0);  // blue
}

TEST(YuvToBgrLimited, PrimariesAsBt709EncodesThem) {
    ExpectNear(YuvToBgr(63, 102, 240, ColourRange::Limited, ColourMatrix::Bt709), 0, 0, 255);  // red
    ExpectNear(YuvToBgr(173, 42, 26, ColourRange::Limited, ColourMatrix::Bt709), 0, 255, 0);   // green
    ExpectNear(YuvToBgr(32, 240, 118, ColourRange::Limited, ColourMatrix::Bt709), 255, 0, 0);  // blue
    ExpectNear(YuvToBgr(54, 99, 255, ColourRange::Full, ColourMatrix::Bt709), 0, 0, 255);      // red, full range
}

TEST(UntaggedMatrix, Bt709ForHdBt601Below) {
    const struct {
        int32_t width, height;
        ColourMatrix matrix;
    } cases[] = {
        {1280, 720, ColourMatrix::Bt709}, {1920, 1080, ColourMatrix::Bt709}, {1025, 200, ColourMatrix::Bt709},
        {720, 577, ColourMatrix::Bt709},  {720, 576, ColourMatrix::Bt601},   {1024, 576, ColourMatrix::Bt601},
        {320, 180, ColourMatrix::Bt601},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UntaggedMatrix(c.width, c.height), c.matrix) << c.width << "x" << c.height;
    }
}

}  // namespace
