// Y4M headers as ffmpeg and other writers produce them, the ones we refuse,
// plane sizes for odd frame sizes and the placement of converted pixels in
// the bottom-up, padded host frame.
#include "host/input/y4m_format.h"

#include <gtest/gtest.h>

#include <vector>

#include "plugin/host_contract.h"

namespace {

Y4mHeader Parse(const std::string& line) {
    Y4mHeader header = {};
    std::string error;
    EXPECT_TRUE(ParseY4mHeader(line, &header, &error)) << line << ": " << error;
    return header;
}

std::string Refusal(const std::string& line) {
    Y4mHeader header = {};
    std::string error;
    EXPECT_FALSE(ParseY4mHeader(line, &header, &error)) << line;
    EXPECT_EQ(error.find('\n'), std::string::npos);
    return error;
}

TEST(Y4mHeader, ReadsWhatFfmpegWrites) {
    const Y4mHeader h = Parse("YUV4MPEG2 W160 H90 F30000:1001 Ip A1:1 C420jpeg XYSCSS=420JPEG XCOLORRANGE=LIMITED");
    EXPECT_EQ(h.width, 160);
    EXPECT_EQ(h.height, 90);
    EXPECT_EQ(h.rate, 30000);
    EXPECT_EQ(h.scale, 1001);
    EXPECT_EQ(h.chroma, ChromaLayout::Yuv420);
    EXPECT_EQ(h.range, ColourRange::Limited);
    EXPECT_EQ(Parse("YUV4MPEG2 W16 H8 F25:1 Ip A1:1 Cmono XCOLORRANGE=FULL").range, ColourRange::Full);
}

TEST(Y4mHeader, DefaultsAreFourTwoZeroLimitedRange) {
    const Y4mHeader h = Parse("YUV4MPEG2 W2 H2 F25:1");
    EXPECT_EQ(h.chroma, ChromaLayout::Yuv420);
    EXPECT_EQ(h.range, ColourRange::Limited);
}

TEST(Y4mHeader, EveryEightBitLayout) {
    EXPECT_EQ(Parse("YUV4MPEG2 W2 H2 F25:1 C420").chroma, ChromaLayout::Yuv420);
    EXPECT_EQ(Parse("YUV4MPEG2 W2 H2 F25:1 C420paldv").chroma, ChromaLayout::Yuv420);
    EXPECT_EQ(Parse("YUV4MPEG2 W2 H2 F25:1 C420mpeg2").chroma, ChromaLayout::Yuv420);
    EXPECT_EQ(Parse("YUV4MPEG2 W2 H2 F25:1 C422").chroma, ChromaLayout::Yuv422);
    EXPECT_EQ(Parse("YUV4MPEG2 W2 H2 F25:1 C444").chroma, ChromaLayout::Yuv444);
    EXPECT_EQ(Parse("YUV4MPEG2 W2 H2 F25:1 Cmono").chroma, ChromaLayout::Mono);
}

TEST(Y4mHeader, ParametersInAnyOrderAndUnknownOnesIgnored) {
    const Y4mHeader h = Parse("YUV4MPEG2 C444 Zfuture F24000:1001 XSOMETHING=1 H4 W6");
    EXPECT_EQ(h.width, 6);
    EXPECT_EQ(h.height, 4);
    EXPECT_EQ(h.rate, 24000);
    EXPECT_EQ(h.chroma, ChromaLayout::Yuv444);
}

// Interlaced streams are read as they are, as FFmpeg's libraries read them
// in any container; the header only says which they are.
TEST(Y4mHeader, EveryFieldOrderIsReadAndInterlacedOnesAreMarked) {
    for (const char* order : {"Ip", "I?", ""}) {
        EXPECT_FALSE(Parse(std::string("YUV4MPEG2 W2 H2 F25:1 ") + order).interlaced) << order;
    }
    for (const char* order : {"It", "Ib", "Im"}) {
        EXPECT_TRUE(Parse(std::string("YUV4MPEG2 W2 H2 F25:1 ") + order).interlaced) << order;
    }
}

// Refusals that once misled: an unknown field order is not "interlaced",
// a rate past 32 bits is not "not positive", and control characters from
// the header never reach the terminal raw.
TEST(Y4mHeader, RefusalsSayWhatIsReallyWrong) {
    const std::string order = Refusal("YUV4MPEG2 W2 H2 F25:1 Ix");
    EXPECT_EQ(order.find("interlaced"), std::string::npos) << order;
    EXPECT_NE(order.find("unknown interlacing Ix"), std::string::npos) << order;
    const std::string rate = Refusal("YUV4MPEG2 W2 H2 F4294967295:1");
    EXPECT_NE(rate.find("F4294967295:1"), std::string::npos) << rate;
    EXPECT_NE(rate.find("1 to 2147483647"), std::string::npos) << rate;
    const std::string width = Refusal("YUV4MPEG2 W2\r\x1b[2J H2 F25:1");
    EXPECT_NE(width.find("W2\\r\\e[2J"), std::string::npos) << width;
    EXPECT_EQ(width.find('\r'), std::string::npos);
    EXPECT_EQ(width.find('\x1b'), std::string::npos);
}

TEST(Y4mHeader, RefusesDeepAndAlphaColourSpacesByName) {
    for (const char* space : {"C420p10", "C444alpha", "Cmono16", "C444p12", "C411"}) {
        const std::string error = Refusal(std::string("YUV4MPEG2 W2 H2 F25:1 ") + space);
        EXPECT_NE(error.find(space), std::string::npos) << error;
    }
}

TEST(Y4mHeader, RefusesMissingOrBadSizeAndRate) {
    Refusal("YUV4MPEG2 H2 F25:1");
    Refusal("YUV4MPEG2 W2 F25:1");
    Refusal("YUV4MPEG2 W2 H2");
    Refusal("YUV4MPEG2 W0 H2 F25:1");
    Refusal("YUV4MPEG2 W65536 H2 F25:1");
    Refusal("YUV4MPEG2 W-4 H2 F25:1");
    Refusal("YUV4MPEG2 W2 H2x F25:1");
    Refusal("YUV4MPEG2 W2 H2 F25");
    Refusal("YUV4MPEG2 W2 H2 F25:0");
    Refusal("YUV4MPEG2 W2 H2 F0:0");
    Refusal("YUV4MPEG2 W2 H2 F4294967296:1");
    EXPECT_NE(Refusal("RIFF....WAVE").find("not a Y4M"), std::string::npos);
    Refusal("YUV4MPEG W2 H2 F25:1");
}

TEST(Y4mFrameHeader, FrameWithOrWithoutParameters) {
    EXPECT_TRUE(IsY4mFrameHeader("FRAME"));
    EXPECT_TRUE(IsY4mFrameHeader("FRAME Ixyz XFOO=1"));
    EXPECT_FALSE(IsY4mFrameHeader("FRAMES"));
    EXPECT_FALSE(IsY4mFrameHeader("FRAM"));
    EXPECT_FALSE(IsY4mFrameHeader(""));
    EXPECT_FALSE(IsY4mFrameHeader("frame"));
}

TEST(Y4mFrameBytes, ChromaPlanesRoundUpOnOddSizes) {
    Y4mHeader h = Parse("YUV4MPEG2 W5 H3 F25:1 C420");
    EXPECT_EQ(Y4mFrameBytes(h), 15u + 2 * 3 * 2);
    h.chroma = ChromaLayout::Yuv422;
    EXPECT_EQ(Y4mFrameBytes(h), 15u + 2 * 3 * 3);
    h.chroma = ChromaLayout::Yuv444;
    EXPECT_EQ(Y4mFrameBytes(h), 45u);
    h.chroma = ChromaLayout::Mono;
    EXPECT_EQ(Y4mFrameBytes(h), 15u);
    const Y4mHeader big = Parse("YUV4MPEG2 W65535 H65535 F25:1 C444");
    EXPECT_EQ(Y4mFrameBytes(big), 3ull * 65535 * 65535);
}

// A host frame of W x H, filled with a marker so that untouched bytes show.
std::vector<uint8_t> MarkedFrame(int32_t width, int32_t height) {
    return std::vector<uint8_t>(static_cast<size_t>(FrameStride(width) * height), 0xAB);
}

const uint8_t* PixelAt(const std::vector<uint8_t>& frame, int32_t width, int32_t height, int32_t x, int32_t y) {
    // Host frames are bottom-up: picture row y is memory row height - 1 - y.
    return frame.data() + FrameRowOffset(width, height, y) + 3 * x;
}

TEST(ConvertY4mFrame, TopRowLandsLastAndPaddingStaysUntouched) {
    // 3x2 mono, full range: the value is the gray level.
    const Y4mHeader h = Parse("YUV4MPEG2 W3 H2 F25:1 Cmono XCOLORRANGE=FULL");
    const uint8_t planes[] = {10, 20, 30, 40, 50, 60};
    std::vector<uint8_t> frame = MarkedFrame(3, 2);
    ConvertY4mFrame(h, planes, frame.data());
    ASSERT_EQ(FrameStride(3), 12);
    EXPECT_EQ(PixelAt(frame, 3, 2, 0, 0)[0], 10);
    EXPECT_EQ(PixelAt(frame, 3, 2, 2, 0)[2], 30);
    EXPECT_EQ(PixelAt(frame, 3, 2, 0, 1)[1], 40);
    EXPECT_EQ(frame[0], 40);  // the first bytes in memory are the bottom row
    for (int row = 0; row < 2; ++row) {
        for (int pad = 9; pad < 12; ++pad) EXPECT_EQ(frame[row * 12 + pad], 0xAB);
    }
}

TEST(ConvertY4mFrame, FourTwoZeroOddSizeSharesChromaByPairs) {
    // 3x3: chroma 2x2. Each chroma sample a different colour; luma flat.
    const Y4mHeader h = Parse("YUV4MPEG2 W3 H3 F25:1 C420jpeg");
    std::vector<uint8_t> planes(Y4mFrameBytes(h), 128);
    uint8_t* cb = planes.data() + 9;
    uint8_t* cr = cb + 4;
    for (int i = 0; i < 9; ++i) planes[i] = 126;
    // Sample (1,1), shared by the bottom-right pixel only, is strongly red.
    cb[3] = 90;
    cr[3] = 240;
    std::vector<uint8_t> frame = MarkedFrame(3, 3);
    ConvertY4mFrame(h, planes.data(), frame.data());
    const uint8_t* corner = PixelAt(frame, 3, 3, 2, 2);
    EXPECT_GT(corner[2], 200);
    EXPECT_LT(corner[0], 60);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) {
            if (x == 2 && y == 2) continue;
            const uint8_t* p = PixelAt(frame, 3, 3, x, y);
            EXPECT_EQ(p[0], p[2]) << x << "," << y;  // neutral: gray
        }
    }
}

TEST(ConvertY4mFrame, FourTwoTwoKeepsChromaPerRow) {
    const Y4mHeader h = Parse("YUV4MPEG2 W2 H2 F25:1 C422");
    // Y 4 bytes, Cb 1x2, Cr 1x2: bottom row blue, top row neutral.
    const uint8_t planes[] = {126, 126, 41, 41, 128, 240, 128, 110};
    std::vector<uint8_t> frame = MarkedFrame(2, 2);
    ConvertY4mFrame(h, planes, frame.data());
    EXPECT_EQ(PixelAt(frame, 2, 2, 1, 0)[0], PixelAt(frame, 2, 2, 1, 0)[2]);
    EXPECT_GT(PixelAt(frame, 2, 2, 1, 1)[0], 250);
    EXPECT_LT(PixelAt(frame, 2, 2, 1, 1)[2], 5);
}

}  // namespace
