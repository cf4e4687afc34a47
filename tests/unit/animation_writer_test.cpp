// The animation writer end to end through the output entry: the file's
// pieces in order, display times, looping block, mask mode, aborts, the
// callbacks and the completion message. On Linux giflib also decodes every
// file and checks every pixel.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "gif/animation_writer.h"
#include "gif/frame_encoder.h"
#include "gif/gray_convert.h"
#include "gif/status.h"
#include "plugin/plugin_table.h"
#include "settings/gif_settings.h"
#include "tests/unit/fake_host.h"
#include "tests/unit/clean_state.h"
#include "tests/unit/platform_probe.h"
#include "tests/unit/test_frames.h"
#if !defined(_WIN32)
#include "tests/unit/gif_decode.h"
#endif

namespace {

const uint8_t kClosing[] = {0x21, 0xFE, 0x03, 'D', 'O', 'D', 0x00, 0x3B};
const char kCompletionTen[] = "\xe5\x87\xba\xe5\x8a\x9b\xe3\x81\x97\xe3\x81\xbe\xe3\x81\x97\xe3\x81\x9f\n10 "
                              "\xe3\x82\xb3\xe3\x83\x9e";  // 出力しました\n10 コマ

class Writer : public CleanState {};

// The frame's bytes as the encoder gives them, for cutting expectations.
std::vector<uint8_t> EncodedBytes(const std::vector<uint8_t>& frame, int width, int height, bool mask) {
    const GrayPalette palette = BuildGrayPalette();
    int32_t length = 0;
    HGLOBAL block = EncodeFrame(frame.data(), width, height, mask ? 1 : 0, &palette, &length, nullptr);
    EXPECT_NE(block, nullptr);
    if (block == nullptr) return {};
    const uint8_t* bytes = static_cast<const uint8_t*>(block);
    std::vector<uint8_t> copy(bytes, bytes + length);
    GlobalFree(block);
    return copy;
}

std::vector<int> DelaysOf(int rate, int scale, int count) {
    const FrameRate normal = NormaliseFrameRate(rate, scale);
    std::vector<int> delays;
    uint64_t previous = 0;
    for (int i = 0; i < count; ++i) {
        const uint64_t time = DisplayTime(i, normal);
        delays.push_back(static_cast<uint16_t>(time - previous));
        previous = time;
    }
    return delays;
}

// Walks the frames after the head and the looping block: each starts with
// a graphic control extension; returns the delays found.
std::vector<int> FileDelays(const std::vector<uint8_t>& file, const std::vector<std::vector<uint8_t>>& frames) {
    std::vector<int> delays;
    size_t at = 781 + 19;
    for (const auto& frame : frames) {
        delays.push_back(file[at + 4] | file[at + 5] << 8);
        at += frame.size() - 1 - 781;
    }
    return delays;
}

TEST_F(Writer, WorkedExampleTenFramesAt30000Over1001) {
    const std::string path = FreshPath("worked_example.gif");
    FakeHost& host = StartFakeHost(path, 64, 48, 30000, 1001, 10);
    ASSERT_EQ(OnOutput(&host.request), 1);

    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < 10; ++i) frames.push_back(EncodedBytes(DefaultFrame(64, 48, i), 64, 48, false));

    // Expected file: head of frame 0, looping block, every frame from byte
    // 781 without its trailer, patched, then the comment block and trailer.
    const int delays[10] = {3, 3, 4, 3, 3, 4, 3, 3, 4, 3};
    std::vector<uint8_t> expected(frames[0].begin(), frames[0].begin() + 781);
    const uint8_t loop[19] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 0x03, 0x01, 0, 0, 0};
    expected.insert(expected.end(), loop, loop + 19);
    for (int i = 0; i < 10; ++i) {
        std::vector<uint8_t> piece(frames[i].begin() + 781, frames[i].end() - 1);
        ASSERT_EQ(piece[0], 0x21);
        ASSERT_EQ(piece[1], 0xF9);
        piece[3] = 0x09;
        piece[4] = static_cast<uint8_t>(delays[i]);
        piece[5] = 0;
        expected.insert(expected.end(), piece.begin(), piece.end());
    }
    expected.insert(expected.end(), kClosing, kClosing + 8);

    const std::vector<uint8_t> file = ReadFileBytes(path.c_str());
    ASSERT_EQ(file.size(), expected.size());
    EXPECT_TRUE(file == expected);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 6), "GIF89a");
    EXPECT_EQ(FileDelays(file, frames), std::vector<int>(delays, delays + 10));

    // Callbacks: per frame isAborted, progress, frame; afterClose once, after the file is complete.
    ASSERT_EQ(host.calls.size(), 31u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(host.calls[3 * i], "aborted?");
        EXPECT_EQ(host.calls[3 * i + 1], "progress " + std::to_string(i) + "/10");
        EXPECT_EQ(host.calls[3 * i + 2], "frame " + std::to_string(i));
    }
    EXPECT_EQ(host.calls.back(), "afterClose");
    EXPECT_EQ(host.fileSizeAtClose, static_cast<int64_t>(file.size()));

    const auto messages = ProbeMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, path);
    EXPECT_EQ(messages[0].text, kCompletionTen);
    EXPECT_EQ(ProbeDebugOutput(), "");  // an output job writes no debugger line

#if !defined(_WIN32)
    const DecodedGif gif = DecodeGif(file);
    ASSERT_TRUE(gif.ok) << gif.error;
    EXPECT_EQ(gif.loopCount, 0);
    ASSERT_EQ(gif.frames.size(), 10u);
    EXPECT_EQ(gif.comments, std::vector<std::string>{"DOD"});
    for (int i = 0; i < 10; ++i) {
        const DecodedFrame& frame = gif.frames[i];
        EXPECT_EQ(frame.delay, delays[i]);
        EXPECT_EQ(frame.disposal, 2);
        EXPECT_EQ(frame.transparentIndex, 0);
        const auto source = DefaultFrame(64, 48, i);
        const int64_t stride = FrameStride(64);
        for (int y = 0; y < 48; ++y) {
            const uint8_t* row = source.data() + (47 - y) * stride;
            for (int x = 0; x < 64; ++x) {
                ASSERT_EQ(frame.indices[y * 64 + x], GrayLevel(row[3 * x], row[3 * x + 1], row[3 * x + 2]))
                    << "frame " << i << " at " << x << "," << y;
            }
        }
    }
#endif
}

TEST_F(Writer, DelaysFromCumulativeTimes) {
    EXPECT_EQ(DelaysOf(30000, 1001, 10), (std::vector<int>{3, 3, 4, 3, 3, 4, 3, 3, 4, 3}));
    EXPECT_EQ(DelaysOf(60, 1, 6), (std::vector<int>{1, 2, 2, 1, 2, 2}));
    EXPECT_EQ(DelaysOf(120, 1, 7), (std::vector<int>{0, 1, 1, 1, 1, 1, 0}));
    // 100000 hundredths: only the low 16 bits, A0 86, reach the file.
    EXPECT_EQ(DisplayTime(0, NormaliseFrameRate(1, 1000)), 100000u);
    EXPECT_EQ(DelaysOf(1, 1000, 1), (std::vector<int>{0x86A0}));
}

TEST_F(Writer, DisplayTimesPastWhere32BitProductsOverflow) {
    const FrameRate rate = NormaliseFrameRate(30000, 1001);
    EXPECT_EQ(DisplayTime(21453, rate), 71584u);
    EXPECT_EQ(DisplayTime(21453, rate) - DisplayTime(21452, rate), 3u);
    EXPECT_EQ(DisplayTime(42906, rate), 143166u);
    EXPECT_EQ(DisplayTime(42906, rate) - DisplayTime(42905, rate), 3u);
    // The last index a host can ask for with the largest scale: the time
    // fits 64 bits although (index + 1) * scale * 100 does not.
    const FrameRate extreme = NormaliseFrameRate(65535, 2147483647);
    EXPECT_EQ(DisplayTime(2147483646, extreme), 7036981787033525ull);
}

TEST_F(Writer, FrameRateNormalisation) {
    auto normal = [](int rate, int scale) {
        const FrameRate f = NormaliseFrameRate(rate, scale);
        return std::vector<int>{f.rate, f.scale};
    };
    EXPECT_EQ(normal(30000, 1001), (std::vector<int>{30000, 1001}));
    EXPECT_EQ(normal(65535, 7), (std::vector<int>{65535, 7}));
    EXPECT_EQ(normal(120000, 1001), (std::vector<int>{12000, 101}));
    EXPECT_EQ(normal(300000, 10000), (std::vector<int>{30, 1}));
    EXPECT_EQ(normal(1000000000, 10000), (std::vector<int>{10000, 1}));
    // Where rate + 9 would overflow 32 bits.
    EXPECT_EQ(normal(2147483647, 1), (std::vector<int>{21475, 1}));
    EXPECT_EQ(normal(2147483647, 2147483647), (std::vector<int>{21475, 21475}));
}

TEST_F(Writer, LoopCountKeepsTheLow16Bits) {
    const struct {
        int32_t loopCount;
        uint8_t low, high;
    } cases[] = {{3, 0x03, 0x00}, {65536, 0x00, 0x00}, {-1, 0xFF, 0xFF}, {0, 0, 0}, {0x12345, 0x45, 0x23}};
    for (const auto& c : cases) {
        gifSettings.loopCount = c.loopCount;
        const std::string path = FreshPath("loop.gif");
        FakeHost& host = StartFakeHost(path, 8, 8, 10, 1, 2);
        ASSERT_EQ(OnOutput(&host.request), 1);
        const auto file = ReadFileBytes(path.c_str());
        ASSERT_GT(file.size(), 800u);
        EXPECT_EQ(std::memcmp(&file[781], "\x21\xFF\x0BNETSCAPE2.0\x03\x01", 16), 0);
        EXPECT_EQ(file[797], c.low) << c.loopCount;
        EXPECT_EQ(file[798], c.high) << c.loopCount;
        EXPECT_EQ(file[799], 0x00);
        ProbeMessages();
    }
}

TEST_F(Writer, MaskModeHalvesTheWidthAndBlackMasksAreTransparent) {
    // Flag 5 counts as set. Width 9: picture 0-3, mask 4-7, column 8 unused.
    gifSettings.useRightHalfAsMask = 5;
    gifSettings.loopCount = -1;
    const std::string path = FreshPath("mask.gif");
    FakeHost& host = StartFakeHost(path, 9, 6, 25, 1, 3);
    host.makeFrame = [](int index) {
        return MakeHostFrame(9, 6, [index](int x, int y) -> Bgr {
            if (x < 4) return Bgr{static_cast<uint8_t>(60 + x * 10 + index), 90, static_cast<uint8_t>(y * 20)};
            if (x < 8) return ((x + y + index) % 3 == 0) ? Bgr{0, 0, 0} : Bgr{0, 1, 0};
            return Bgr{0, 0, 0};
        });
    };
    ASSERT_EQ(OnOutput(&host.request), 1);
    const auto file = ReadFileBytes(path.c_str());
    ASSERT_GT(file.size(), 800u);
    EXPECT_EQ(file[6] | file[7] << 8, 4);
    EXPECT_EQ(file[797], 0xFF);
    EXPECT_EQ(file[798], 0xFF);
#if !defined(_WIN32)
    const DecodedGif gif = DecodeGif(file);
    ASSERT_TRUE(gif.ok) << gif.error;
    EXPECT_EQ(gif.loopCount, 0xFFFF);
    ASSERT_EQ(gif.frames.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(gif.frames[i].width, 4);
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < 4; ++x) {
                const bool transparent = (x + 4 + y + i) % 3 == 0;
                const uint8_t expected = transparent ? 0 : GrayLevel(60 + x * 10 + i, 90, y * 20);
                EXPECT_EQ(gif.frames[i].indices[y * 4 + x], expected) << i << ":" << x << "," << y;
            }
        }
    }
#endif
}

TEST_F(Writer, AbortKeepsTheFramesWrittenAndStillSucceeds) {
    const std::string path = FreshPath("abort.gif");
    FakeHost& host = StartFakeHost(path, 16, 16, 30000, 1001, 10);
    host.abortAt = 3;
    ASSERT_EQ(OnOutput(&host.request), 1);
    EXPECT_EQ(host.afterCloseCalls, 1);
    EXPECT_EQ(host.calls[host.calls.size() - 2], "aborted?");
    const auto file = ReadFileBytes(path.c_str());
    EXPECT_EQ(std::memcmp(&file[file.size() - 8], kClosing, 8), 0);
    const auto messages = ProbeMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, kCompletionTen);  // the request's count, not the frames written
#if !defined(_WIN32)
    const DecodedGif gif = DecodeGif(file);
    ASSERT_TRUE(gif.ok) << gif.error;
    EXPECT_EQ(gif.frames.size(), 3u);
#endif
}

TEST_F(Writer, NoFramesGiveOnlyTheClosingBytes) {
    for (int abortAt : {-2, 0}) {
        const std::string path = FreshPath("empty.gif");
        FakeHost& host = StartFakeHost(path, 16, 16, 30, 1, abortAt == -2 ? 0 : 5);
        host.abortAt = abortAt;
        ASSERT_EQ(OnOutput(&host.request), 1);
        EXPECT_EQ(ReadFileBytes(path.c_str()), std::vector<uint8_t>(kClosing, kClosing + 8));
        EXPECT_EQ(host.afterCloseCalls, 1);
        const auto messages = ProbeMessages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_NE(messages[0].text.find(abortAt == -2 ? "\n0 " : "\n5 "), std::string::npos);
    }
}

TEST_F(Writer, MissingRequestAndBadRatesAreRefusedBeforeTheFile) {
    EXPECT_EQ(WriteAnimation(nullptr), kStatusNoRequest);
    EXPECT_EQ(OnOutput(nullptr), 0);
    const int rates[][2] = {{0, 1}, {30, 0}, {-30, 1}, {30, -1}, {-30, -1}};
    for (const auto& r : rates) {
        const std::string path = FreshPath("bad_rate.gif");
        FakeHost& host = StartFakeHost(path, 16, 16, r[0], r[1], 3);
        EXPECT_EQ(WriteAnimation(&host.request), kStatusBadFrameRate);
        EXPECT_EQ(OnOutput(&host.request), 0);
        EXPECT_FALSE(FileExists(path.c_str()));
        EXPECT_TRUE(host.calls.empty());
    }
    EXPECT_TRUE(ProbeMessages().empty());
}

TEST_F(Writer, UnopenablePathWritesNothingAndCallsNothing) {
    for (const char* path : {"no_such_directory/out.gif", static_cast<const char*>(nullptr)}) {
        FakeHost& host = StartFakeHost("unused", 16, 16, 30, 1, 3);
        host.request.savePath = path;
        EXPECT_EQ(WriteAnimation(&host.request), kStatusCannotOpen);
        EXPECT_EQ(OnOutput(&host.request), 0);
        EXPECT_TRUE(host.calls.empty());
    }
    EXPECT_TRUE(ProbeMessages().empty());
}

}  // namespace
