// Jobs that go wrong: frames that cannot be encoded and outputs that cannot
// be written. The host always learns of the failure, afterClose comes once
// the file is closed, no completion message claims success, and the file is
// either a valid GIF of the frames before the failure or gone.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gif/animation_writer.h"
#include "gif/status.h"
#include "plugin/plugin_table.h"
#include "settings/gif_settings.h"
#include "tests/unit/fake_host.h"
#include "tests/unit/clean_state.h"
#include "tests/unit/platform_probe.h"
#include "tests/unit/test_frames.h"
#if !defined(_WIN32)
#include "platform/linux/stand_in_control.h"
#include "tests/unit/gif_decode.h"
#endif

namespace {

const uint8_t kClosing[] = {0x21, 0xFE, 0x03, 'D', 'O', 'D', 0x00, 0x3B};

class FailedJob : public CleanState {};

TEST_F(FailedJob, MissingFrameKeepsTheFramesBeforeIt) {
    const std::string path = FreshPath("missing_frame.gif");
    FakeHost& host = StartFakeHost(path, 20, 10, 30, 1, 6);
    host.nullFrameAt = 2;
    EXPECT_EQ(WriteAnimation(&host.request), kStatusFrameNotEncoded);
    EXPECT_EQ(host.afterCloseCalls, 1);
    EXPECT_EQ(host.calls.back(), "afterClose");
    EXPECT_EQ(host.calls[host.calls.size() - 2], "frame 2");  // nothing asked after the failure
    EXPECT_TRUE(ProbeMessages().empty());
    const auto file = ReadFileBytes(path.c_str());
    ASSERT_GT(file.size(), 800u);
    EXPECT_EQ(std::memcmp(&file[file.size() - 8], kClosing, 8), 0);
#if !defined(_WIN32)
    const DecodedGif gif = DecodeGif(file);
    ASSERT_TRUE(gif.ok) << gif.error;
    EXPECT_EQ(gif.frames.size(), 2u);
#endif
    host = StartFakeHost(path, 20, 10, 30, 1, 6);
    host.nullFrameAt = 2;
    EXPECT_EQ(OnOutput(&host.request), 0);
}

TEST_F(FailedJob, PicturesThatCannotBeEncodedLeaveNoFile) {
    // Empty pictures, one side beyond the format's 65535, and a null first frame.
    const struct {
        int width, height, mask, nullFrameAt;
    } cases[] = {{0, 10, 0, -1}, {10, 0, 0, -1}, {-4, 10, 0, -1}, {1, 10, 1, -1}, {65536, 1, 0, -1},
                 {1, 65536, 0, -1}, {131074, 1, 1, -1}, {16, 16, 0, 0}};
    for (const auto& c : cases) {
        gifSettings.useRightHalfAsMask = c.mask;
        const std::string path = FreshPath("unencodable.gif");
        FakeHost& host = StartFakeHost(path, c.width, c.height, 30, 1, 2);
        host.nullFrameAt = c.nullFrameAt;
        // Frames too large to build are never fetched: hand out a tiny buffer.
        if (c.nullFrameAt < 0) host.makeFrame = [](int) { return std::vector<uint8_t>(16, 0); };
        EXPECT_EQ(WriteAnimation(&host.request), kStatusFrameNotEncoded) << c.width << "x" << c.height;
        EXPECT_FALSE(FileExists(path.c_str())) << c.width << "x" << c.height;
        EXPECT_EQ(host.afterCloseCalls, 1);
    }
    EXPECT_TRUE(ProbeMessages().empty());
}

#if !defined(_WIN32)
TEST_F(FailedJob, FullDiskIsAFailureAndTheDeviceIsLeftAlone) {
    FakeHost& host = StartFakeHost("/dev/full", 32, 32, 30, 1, 3);
    EXPECT_EQ(WriteAnimation(&host.request), kStatusWriteFailed);
    EXPECT_EQ(host.afterCloseCalls, 1);
    EXPECT_TRUE(ProbeMessages().empty());
    EXPECT_TRUE(FileExists("/dev/full"));
    host = StartFakeHost("/dev/full", 32, 32, 30, 1, 0);
    EXPECT_EQ(OnOutput(&host.request), 0);  // even the closing bytes cannot be written
}

TEST_F(FailedJob, EveryFailingFileStepIsReported) {
    // Count the writes of a good job, then fail each one, the flush and the close in turn.
    const std::string path = FreshPath("file_faults.gif");
    FakeHost& host = StartFakeHost(path, 12, 12, 30, 1, 3);
    ASSERT_EQ(WriteAnimation(&host.request), kStatusOk);
    const int writes = StandInCallCount(StandInCall::FileWrite);
    ASSERT_GE(writes, 5);
    struct Fault {
        StandInCall call;
        int index;
    };
    std::vector<Fault> faults{{StandInCall::FileFlush, 0}, {StandInCall::FileClose, 0}};
    for (int i = 0; i < writes; ++i) faults.push_back(Fault{StandInCall::FileWrite, i});
    std::printf("file faults injected: %zu\n", faults.size() + 1);
    for (const Fault& fault : faults) {
        ProbeReset();
        FakeHost& job = StartFakeHost(FreshPath("file_faults.gif"), 12, 12, 30, 1, 3);
        FailStandInCall(fault.call, fault.index);
        EXPECT_EQ(WriteAnimation(&job.request), kStatusWriteFailed) << static_cast<int>(fault.call) << "#" << fault.index;
        EXPECT_FALSE(FileExists(path.c_str()));
        EXPECT_EQ(job.afterCloseCalls, 1);
        EXPECT_TRUE(ProbeMessages().empty());
    }
    ProbeReset();
    FakeHost& job = StartFakeHost(FreshPath("file_faults.gif"), 12, 12, 30, 1, 3);
    FailStandInCall(StandInCall::FileOpen, 0);
    EXPECT_EQ(WriteAnimation(&job.request), kStatusCannotOpen);
    EXPECT_TRUE(job.calls.empty());
}

TEST_F(FailedJob, EveryFailingPlatformStepInAJobLeavesNothingHeld) {
    // Each platform call of a three-frame job fails in turn. The frame
    // encoder either falls back to its own encoder or gives no frame; the
    // file is then a valid GIF of the frames before, or gone.
    const StandInCall calls[] = {StandInCall::GlobalAlloc, StandInCall::GdiplusStartup, StandInCall::CreateBitmap,
                                 StandInCall::SetPalette,  StandInCall::EncodersSize,   StandInCall::Encoders,
                                 StandInCall::CreateStream, StandInCall::SaveImage,     StandInCall::StreamSeek,
                                 StandInCall::StreamRead};
    const std::string path = FreshPath("platform_faults.gif");
    int injected = 0;
    for (StandInCall call : calls) {
        ProbeReset();
        FakeHost& good = StartFakeHost(path, 10, 6, 30, 1, 3);
        ASSERT_EQ(WriteAnimation(&good.request), kStatusOk);
        const int count = StandInCallCount(call);
        for (int index = 0; index < count; ++index) {
            ProbeReset();
            FakeHost& job = StartFakeHost(FreshPath(path), 10, 6, 30, 1, 3);
            FailStandInCall(call, index);
            ++injected;
            const int32_t status = WriteAnimation(&job.request);
            const std::string where = std::to_string(static_cast<int>(call)) + "#" + std::to_string(index);
            EXPECT_TRUE(status == kStatusOk || status == kStatusFrameNotEncoded) << where;
            EXPECT_EQ(job.afterCloseCalls, 1) << where;
            const StandInHeld held = StandInHeldNow();
            EXPECT_EQ(held.blocks, 0) << where;
            EXPECT_EQ(held.bitmaps, 0) << where;
            EXPECT_EQ(held.streams, 0) << where;
            EXPECT_EQ(held.librarySessions, 0) << where;
            EXPECT_EQ(ProbeMessages().size(), status == kStatusOk ? 1u : 0u) << where;
            if (!FileExists(path.c_str())) continue;
            const DecodedGif gif = DecodeGif(ReadFileBytes(path.c_str()));
            ASSERT_TRUE(gif.ok) << where << ": " << gif.error;
            EXPECT_EQ(gif.frames.size(), status == kStatusOk ? 3u : static_cast<size_t>(job.calls.size() / 3 - 1))
                << where;
        }
    }
    std::printf("platform faults injected: %d\n", injected);
}

TEST_F(FailedJob, AFailingFrameOfOurOwnEncoderEndsTheJobCleanly) {
    // A library like Wine's: every frame is our own encoder's, through the
    // job's string table, which the writer frees however the job ends
    // (AddressSanitizer's leak check sees the table itself). Each allocation
    // of a four-frame job fails in turn, probe, pixel buffers and frame
    // blocks alike.
    const std::string path = FreshPath("own_encoder_faults.gif");
    ProbeReset();
    SetStandInGifLayout(StandInGifLayout::LikeWine);
    FakeHost& good = StartFakeHost(path, 70, 60, 30, 1, 4);
    ASSERT_EQ(WriteAnimation(&good.request), kStatusOk);
    const std::vector<uint8_t> whole = ReadFileBytes(path.c_str());
    const int allocations = StandInCallCount(StandInCall::GlobalAlloc);
    ASSERT_GE(allocations, 8);
    for (int index = 0; index < allocations; ++index) {
        ProbeReset();
        SetStandInGifLayout(StandInGifLayout::LikeWine);
        FakeHost& job = StartFakeHost(FreshPath(path), 70, 60, 30, 1, 4);
        FailStandInCall(StandInCall::GlobalAlloc, index);
        const int32_t status = WriteAnimation(&job.request);
        const std::string where = "allocation " + std::to_string(index);
        EXPECT_TRUE(status == kStatusOk || status == kStatusFrameNotEncoded) << where;
        EXPECT_EQ(job.afterCloseCalls, 1) << where;
        const StandInHeld held = StandInHeldNow();
        EXPECT_EQ(held.blocks + held.bitmaps + held.streams + held.librarySessions, 0) << where;
        ProbeMessages();
        if (status == kStatusOk) {
            EXPECT_TRUE(ReadFileBytes(path.c_str()) == whole) << where;
            continue;
        }
        if (!FileExists(path.c_str())) continue;
        const DecodedGif gif = DecodeGif(ReadFileBytes(path.c_str()));
        ASSERT_TRUE(gif.ok) << where << ": " << gif.error;
        EXPECT_LT(gif.frames.size(), 4u) << where;
    }
}
#endif

}  // namespace
