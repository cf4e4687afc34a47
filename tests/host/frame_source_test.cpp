// Frame sources over files: the frame count found by walking a Y4M file
// (frame headers with parameters included), a damaged tail found before the
// export starts and told by the read after the last frame, raw bgr24 frames
// turned bottom-up, a clean end, and a file cut while it is read; which
// names are URLs.
#include "host/input/sources.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "host/input/prefetch_source.h"
#include "host/input/url_name.h"
#include "plugin/host_contract.h"

namespace {

class FrameSourceFile : public ::testing::Test {
protected:
    std::string path;

    void SetUp() override {
        path = std::string("frame_source_test_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    }
    void TearDown() override { std::remove(path.c_str()); }

    void Write(const std::string& bytes) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
        std::fclose(f);
    }
};

// A 2x2 mono full-range frame whose four luma bytes are all VALUE.
std::string MonoFrame(const std::string& header, char value) {
    return header + "\n" + std::string(4, value);
}

FrameRead Next(FrameSource* source, std::string* problem = nullptr) {
    std::string ignored;
    return ReadNextFrame(source, problem != nullptr ? problem : &ignored);
}

const char kMonoHeader[] = "YUV4MPEG2 W2 H2 F25:1 Cmono XCOLORRANGE=FULL\n";

TEST_F(FrameSourceFile, Y4mFileIsCountedAndReadInOrder) {
    Write(kMonoHeader + MonoFrame("FRAME", 10) + MonoFrame("FRAME Ixyz XA=1", 20) + MonoFrame("FRAME", 30));
    FrameSource source;
    std::string error;
    ASSERT_TRUE(OpenY4mSource(path, &source, &error)) << error;
    EXPECT_EQ(source.knownFrames, 3);
    EXPECT_EQ(source.width, 2);
    EXPECT_EQ(source.rate, 25);
    for (int value : {10, 20, 30}) {
        ASSERT_EQ(Next(&source), FrameRead::Frame);
        EXPECT_EQ(source.pixels[0], value);
        EXPECT_EQ(source.pixels[FrameStride(2) + 5], value);
    }
    std::string problem;
    EXPECT_EQ(Next(&source, &problem), FrameRead::End);
    EXPECT_TRUE(problem.empty());
    EXPECT_TRUE(source.tail.empty());
    CloseSource(&source);
}

TEST_F(FrameSourceFile, CutOffLastFrameIsFoundBeforeTheExport) {
    Write(kMonoHeader + MonoFrame("FRAME", 10) + MonoFrame("FRAME", 20) + "FRAME\n" + std::string(3, 30));
    FrameSource source;
    std::string error;
    ASSERT_TRUE(OpenY4mSource(path, &source, &error)) << error;
    EXPECT_EQ(source.knownFrames, 2);
    EXPECT_NE(source.tail.find("middle of frame 3"), std::string::npos) << source.tail;
    EXPECT_EQ(Next(&source), FrameRead::Frame);
    EXPECT_EQ(Next(&source), FrameRead::Frame);
    std::string problem;
    EXPECT_EQ(Next(&source, &problem), FrameRead::Damaged);
    EXPECT_EQ(problem, source.tail);
    CloseSource(&source);
}

TEST_F(FrameSourceFile, GarbageWhereAFrameHeaderBelongs) {
    Write(kMonoHeader + MonoFrame("FRAME", 10) + "JUNK!\n" + std::string(4, 0));
    FrameSource source;
    std::string error;
    ASSERT_TRUE(OpenY4mSource(path, &source, &error)) << error;
    EXPECT_EQ(source.knownFrames, 1);
    EXPECT_NE(source.tail.find("frame 2 has no FRAME header"), std::string::npos) << source.tail;
    CloseSource(&source);
}

TEST_F(FrameSourceFile, HeaderOnlyHoldsNoFrame) {
    Write(kMonoHeader);
    FrameSource source;
    std::string error;
    ASSERT_TRUE(OpenY4mSource(path, &source, &error)) << error;
    EXPECT_EQ(source.knownFrames, 0);
    EXPECT_EQ(Next(&source), FrameRead::End);
    EXPECT_TRUE(source.tail.empty());
    CloseSource(&source);
}

// Another program cuts the file after it was counted: the frames end early
// and the read says so, at a frame boundary as in the middle of a frame.
// The frames are far larger than a stream buffer, so the reader cannot
// have the cut bytes buffered already.
TEST_F(FrameSourceFile, FileCutAfterItWasCountedIsDamaged) {
    const std::string header = "YUV4MPEG2 W256 H256 F25:1 Cmono\n";
    const std::string frame = "FRAME\n" + std::string(256 * 256, 'a');
    for (size_t cut : {size_t(0), size_t(1000)}) {
        Write(header + frame + frame + frame);
        FrameSource source;
        std::string error;
        ASSERT_TRUE(OpenY4mSource(path, &source, &error)) << error;
        ASSERT_EQ(source.knownFrames, 3);
        Write(header + frame + frame.substr(0, cut));
        ASSERT_EQ(Next(&source), FrameRead::Frame);
        std::string problem;
        EXPECT_EQ(Next(&source, &problem), FrameRead::Damaged);
        const char* expected = cut == 0 ? "after 1 of the 3 frames" : "middle of frame 2";
        EXPECT_NE(problem.find(expected), std::string::npos) << problem;
        CloseSource(&source);
    }
}

TEST_F(FrameSourceFile, RefusalsNameTheInput) {
    FrameSource source;
    std::string error;
    Write("");
    EXPECT_FALSE(OpenY4mSource(path, &source, &error));
    EXPECT_NE(error.find("empty"), std::string::npos) << error;
    Write("YUV4MPEG2 W2 H2 F25:1 C420p10\nFRAME\n");
    EXPECT_FALSE(OpenY4mSource(path, &source, &error));
    EXPECT_EQ(error.find(path), 0u) << error;
    EXPECT_NE(error.find("C420p10"), std::string::npos) << error;
    Write("YUV4MPEG2 W65535 H65535 F25:1 C444\nFRAME\n");  // 12 GiB a frame
    EXPECT_FALSE(OpenY4mSource(path, &source, &error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    Write("YUV4MPEG2 W2 H2 F25:1");  // no line end
    EXPECT_FALSE(OpenY4mSource(path, &source, &error));
    EXPECT_NE(error.find("stops inside the Y4M header"), std::string::npos) << error;
    Write("YUV4MPEG2 W2 H2 F25:1 X" + std::string(70000, 'a') + "\n");  // a line no header has
    EXPECT_FALSE(OpenY4mSource(path, &source, &error));
    EXPECT_NE(error.find("longer than 64 KiB"), std::string::npos) << error;
    EXPECT_FALSE(OpenY4mSource(path + ".missing", &source, &error));
    EXPECT_NE(error.find(".missing"), std::string::npos);
}

TEST_F(FrameSourceFile, RawFramesAreTurnedBottomUpAndPadded) {
    // 2x2 bgr24, top-down: top row 1..6, bottom row 7..12.
    std::string bytes;
    for (char b = 1; b <= 12; ++b) bytes += b;
    // With half a frame more the size given cannot be the file's: refused.
    Write(bytes + bytes.substr(0, 6));
    FrameSource source;
    std::string error;
    EXPECT_FALSE(OpenRawSource(path, RawFormat{2, 2, 30000, 1001}, &source, &error));
    EXPECT_NE(error.find("18 bytes are not a whole number of 2x2 bgr24 frames"), std::string::npos) << error;
    Write(bytes);
    ASSERT_TRUE(OpenRawSource(path, RawFormat{2, 2, 30000, 1001}, &source, &error)) << error;
    EXPECT_EQ(source.knownFrames, 1);
    ASSERT_EQ(Next(&source), FrameRead::Frame);
    const int stride = static_cast<int>(FrameStride(2));
    ASSERT_EQ(stride, 8);
    EXPECT_EQ(source.pixels[0], 7);           // bottom row first in memory
    EXPECT_EQ(source.pixels[stride], 1);      // then the top row
    EXPECT_EQ(source.pixels[stride + 5], 6);
    EXPECT_EQ(source.pixels[6], 0);           // padding
    EXPECT_EQ(Next(&source), FrameRead::End);
    CloseSource(&source);
}

// Frames large enough for buffers of the system's own pages, read ahead on
// the second thread so that every buffer is used: each row in its place,
// each row's padding byte zero although nothing writes it.
TEST_F(FrameSourceFile, LargeRawFramesKeepTheirPaddingZero) {
    const int width = 1001, height = 100, frames = 5;  // rows of 3003 bytes in strides of 3004
    const size_t row = 3 * width;
    std::string bytes;
    for (int f = 0; f < frames; ++f) {
        for (int y = 0; y < height; ++y) bytes += std::string(row, static_cast<char>(f * 16 + y % 16 + 1));
    }
    Write(bytes);
    FrameSource source;
    std::string error;
    ASSERT_TRUE(OpenRawSource(path, RawFormat{width, height, 25, 1}, &source, &error)) << error;
    ASSERT_TRUE(StartPrefetch(&source, -1));
    const size_t stride = FrameStride(width);
    for (int f = 0; f < frames; ++f) {
        ASSERT_EQ(Next(&source), FrameRead::Frame);
        for (int y = 0; y < height; ++y) {
            const uint8_t* at = source.pixels.data() + (height - 1 - y) * stride;
            ASSERT_EQ(at[0], f * 16 + y % 16 + 1) << "frame " << f << ", row " << y;
            ASSERT_EQ(at[row - 1], f * 16 + y % 16 + 1) << "frame " << f << ", row " << y;
            ASSERT_EQ(at[row], 0) << "frame " << f << ", row " << y;
        }
    }
    EXPECT_EQ(Next(&source), FrameRead::End);
    CloseSource(&source);
}

TEST(DemoSource, NinetyFramesThatLoop) {
    FrameSource source;
    OpenDemoSource(&source);
    EXPECT_EQ(source.knownFrames, 90);
    EXPECT_EQ(source.rate, 30000);
    EXPECT_EQ(source.scale, 1001);
    ASSERT_EQ(Next(&source), FrameRead::Frame);
    const FramePixels first = source.pixels;
    ASSERT_EQ(Next(&source), FrameRead::Frame);
    EXPECT_NE(source.pixels, first);  // it moves
    int read = 2;
    while (Next(&source) == FrameRead::Frame) ++read;
    EXPECT_EQ(read, 90);
    CloseSource(&source);
}

TEST(NamesUrl, SchemesFfmpegReadsAndNothingElse) {
    const struct {
        const char* path;
        bool url;
    } cases[] = {
        {"http://127.0.0.1:8000/clip.mp4", true}, {"https://example.org/a.m3u8", true}, {"rtsp://cam/live", true},
        {"srt://host:9000", true},                {"udp://@:1234", true},               {"clip.mp4", false},
        {"a:b.mp4", false},                       {"file:///tmp/clip.mp4", false},      {"crypto://x", false},
        {"HTTP://host/clip.mp4", false},          {"://host", false},                   {"dir/http://x", false},
    };
    for (const auto& c : cases) EXPECT_EQ(NamesUrl(c.path), c.url) << c.path;
}

}  // namespace
