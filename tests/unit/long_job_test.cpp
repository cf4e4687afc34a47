// Edge sizes and a long job: the smallest and largest pictures the format
// allows, mask mode at the narrowest widths, and a job of 43,000 frames at
// 30000/1001 whose display times must keep counting correctly past the
// frame indices where 32-bit products overflow (21453 and 42906), with
// memory that does not grow with the frame count.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "gif/gray_convert.h"
#include "gif/status.h"
#include "plugin/plugin_table.h"
#include "settings/gif_settings.h"
#include "tests/unit/fake_host.h"
#include "tests/unit/gif_decode.h"
#include "tests/unit/clean_state.h"
#include "tests/unit/platform_probe.h"
#include "tests/unit/test_frames.h"
#include "platform/linux/stand_in_control.h"

namespace {

class EdgeJob : public CleanState {
protected:
    void TearDown() override {
        CleanState::TearDown();
        SetStandInSleep(true);
    }
};

DecodedGif RunJob(const std::string& name, int width, int height, int frames) {
    const std::string path = FreshPath(name);
    FakeHost& host = StartFakeHost(path, width, height, 30000, 1001, frames);
    EXPECT_EQ(OnOutput(&host.request), 1) << width << "x" << height;
    DecodedGif gif = DecodeGifFile(path);
    std::remove(path.c_str());
    return gif;
}

TEST_F(EdgeJob, SmallestAndLongestPictures) {
    const struct {
        int width, height;
    } sizes[] = {{1, 1}, {65535, 1}, {1, 65535}};
    for (const auto& size : sizes) {
        const DecodedGif gif = RunJob("edge.gif", size.width, size.height, 2);
        ASSERT_TRUE(gif.ok) << gif.error << " at " << size.width << "x" << size.height;
        ASSERT_EQ(gif.frames.size(), 2u);
        EXPECT_EQ(gif.frames[1].width, size.width);
        EXPECT_EQ(gif.frames[1].height, size.height);
    }
}

TEST_F(EdgeJob, WiderThanTheFormatIsRefusedCleanly) {
    const std::string path = FreshPath("too_wide.gif");
    FakeHost& host = StartFakeHost(path, 65536, 1, 30, 1, 2);
    EXPECT_EQ(OnOutput(&host.request), 0);
    EXPECT_FALSE(FileExists(path.c_str()));
    EXPECT_EQ(host.afterCloseCalls, 1);
    EXPECT_TRUE(ProbeMessages().empty());
}

TEST_F(EdgeJob, MaskModeAtTheNarrowestWidths) {
    gifSettings.useRightHalfAsMask = 1;
    // Width 1 leaves no picture at all: the job fails with no file.
    const std::string path = FreshPath("mask1.gif");
    FakeHost& host = StartFakeHost(path, 1, 3, 30, 1, 2);
    EXPECT_EQ(OnOutput(&host.request), 0);
    EXPECT_FALSE(FileExists(path.c_str()));
    for (int width : {2, 3}) {
        const std::string name = "mask" + std::to_string(width) + ".gif";
        FakeHost& job = StartFakeHost(FreshPath(name), width, 3, 30, 1, 2);
        job.makeFrame = [width](int) {
            return MakeHostFrame(width, 3, [](int x, int y) { return x == 0 ? Bgr{90, 90, 90} : Bgr{0, 0, static_cast<uint8_t>(y == 1 ? 0 : 5)}; });
        };
        ASSERT_EQ(OnOutput(&job.request), 1);
        const DecodedGif gif = DecodeGifFile(name);
        ASSERT_TRUE(gif.ok) << gif.error;
        ASSERT_EQ(gif.frames.size(), 2u);
        EXPECT_EQ(gif.frames[0].width, 1);
        const uint8_t level = GrayLevel(90, 90, 90);
        EXPECT_EQ(gif.frames[0].indices, (std::vector<uint8_t>{level, 0, level}));
        std::remove(name.c_str());
    }
}

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

TEST_F(EdgeJob, LongJobKeepsCountingAndDoesNotGrow) {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer holds freed memory back and makes the job take minutes;
    // the display-time arithmetic is checked under it by the writer tests.
    GTEST_SKIP() << "resident memory means nothing under AddressSanitizer";
#endif
    SetStandInSleep(false);  // 43,000 sleeps of a millisecond prove nothing here
    const int frames = 43000;
    const std::string path = FreshPath("long_job.gif");
    FakeHost& host = StartFakeHost(path, 4, 4, 30000, 1001, frames);
    host.logCalls = false;
    long residentAt1000 = 0;
    long residentAtEnd = 0;
    host.makeFrame = [&](int index) {
        if (index == 1000) residentAt1000 = ResidentKilobytes();
        if (index == frames - 1) residentAtEnd = ResidentKilobytes();
        return DefaultFrame(4, 4, index % 7);
    };
    ASSERT_EQ(OnOutput(&host.request), 1);
    const DecodedGif gif = DecodeGifFile(path);
    std::remove(path.c_str());
    ASSERT_TRUE(gif.ok) << gif.error;
    ASSERT_EQ(gif.frames.size(), static_cast<size_t>(frames));
    EXPECT_EQ(gif.frames[21453].delay, 3);
    EXPECT_EQ(gif.frames[42906].delay, 3);
    // The delays add up to the display time of the last frame: nothing lost.
    uint64_t total = 0;
    for (const DecodedFrame& frame : gif.frames) total += static_cast<uint64_t>(frame.delay);
    EXPECT_EQ(total, (static_cast<uint64_t>(frames) * 1001 * 100) / 30000);
    // A frame's block kept by mistake would add megabytes over this job.
    std::printf("resident memory: %ld KiB at frame 1000, %ld KiB at frame %d\n", residentAt1000, residentAtEnd, frames);
    EXPECT_LT(residentAtEnd - residentAt1000, 2048);
}

}  // namespace
