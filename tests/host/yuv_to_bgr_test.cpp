// The BT.601 matrix on values whose results are known: the ends of the
// luma range, neutral gray and the primaries as a BT.601 encoder writes them.
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
    const BgrPixel black = YuvToBgr(16, 128, 128, ColourRange::Limited);
    EXPECT_EQ(black.b, 0);
    EXPECT_EQ(black.g, 0);
    EXPECT_EQ(black.r, 0);
    const BgrPixel white = YuvToBgr(235, 128, 128, ColourRange::Limited);
    EXPECT_EQ(white.b, 255);
    EXPECT_EQ(white.g, 255);
    EXPECT_EQ(white.r, 255);
}

TEST(YuvToBgrLimited, OutOfRangeLumaClamps) {
    const BgrPixel below = YuvToBgr(0, 128, 128, ColourRange::Limited);
    EXPECT_EQ(below.r, 0);
    const BgrPixel above = YuvToBgr(255, 128, 128, ColourRange::Limited);
    EXPECT_EQ(above.r, 255);
    // Extreme chroma pushes channels past both ends; they clamp, not wrap.
    const BgrPixel clash = YuvToBgr(16, 255, 0, ColourRange::Limited);
    EXPECT_EQ(clash.b, 255);
    EXPECT_EQ(clash.r, 0);
}

TEST(YuvToBgrLimited, NeutralChromaGivesGray) {
    for (int y = 16; y <= 235; ++y) {
        const BgrPixel p = YuvToBgr(y, 128, 128, ColourRange::Limited);
        EXPECT_EQ(p.b, p.g);
        EXPECT_EQ(p.g, p.r);
        // 255 / 219 steps per code: monotone and close to the ideal.
        EXPECT_LE(std::abs(p.g - (y - 16) * 255.0 / 219.0), 0.6) << "Y=" << y;
    }
}

TEST(YuvToBgrLimited, PrimariesAsBt601EncodesThem) {
    ExpectNear(YuvToBgr(81, 90, 240, ColourRange::Limited), 0, 0, 255);    // red
    ExpectNear(YuvToBgr(145, 54, 34, ColourRange::Limited), 0, 255, 0);    // green
    ExpectNear(YuvToBgr(41, 240, 110, ColourRange::Limited), 255, 0, 0);   // blue
    ExpectNear(YuvToBgr(210, 16, 146, ColourRange::Limited), 0, 255, 255); // yellow
}

TEST(YuvToBgrFull, UsesTheWholeRange) {
    ExpectNear(YuvToBgr(0, 128, 128, ColourRange::Full), 0, 0, 0);
    ExpectNear(YuvToBgr(255, 128, 128, ColourRange::Full), 255, 255, 255);
    ExpectNear(YuvToBgr(128, 128, 128, ColourRange::Full), 128, 128, 128);
    ExpectNear(YuvToBgr(76, 85, 255, ColourRange::Full), 0, 0, 255);   // red
    ExpectNear(YuvToBgr(150, 44, 21, ColourRange::Full), 0, 255, 0);   // green
    ExpectNear(YuvToBgr(29, 255, 107, ColourRange::Full), 255, 0, 0);  // blue
}

}  // namespace
