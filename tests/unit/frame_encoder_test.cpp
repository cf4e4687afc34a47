// Frame encoding over the Linux stand-ins: the library's layout found once
// and kept, the library path and its per-frame check, the fallback to our
// own encoder, and every failing step releasing everything already taken.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "gif/animation_writer.h"
#include "gif/frame_encoder.h"
#include "gif/gif_layout.h"
#include "gif/status.h"
#include "platform/linux/stand_in_control.h"
#include "tests/unit/fake_host.h"
#include "tests/unit/gif_decode.h"
#include "tests/unit/test_frames.h"

namespace {

class FrameEncoding : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override {
        const StandInHeld held = StandInHeldNow();
        EXPECT_EQ(held.blocks, 0);
        EXPECT_EQ(held.bitmaps, 0);
        EXPECT_EQ(held.streams, 0);
        EXPECT_EQ(held.librarySessions, 0);
        EXPECT_EQ(held.stringTables, 0);  // the table goes with the last session
        Reset();
    }
    // A freshly loaded module over a fresh platform.
    static void Reset(LibraryGifLayout layout = LibraryGifLayout::Unknown) {
        ResetStandIns();
        libraryGifLayout = layout;
    }

    const GrayPalette palette = BuildGrayPalette();
    const std::vector<uint8_t> frame = MakeHostFrame(30, 20, [](int x, int y) {
        return Bgr{static_cast<uint8_t>(x * 8), static_cast<uint8_t>(y * 12), 50};
    });

    std::vector<uint8_t> Encode(int32_t mask = 0, int32_t width = 30) {
        int32_t length = -5;
        HGLOBAL block = EncodeFrame(frame.data(), width, 20, mask, &palette, &length, nullptr);
        if (block == nullptr) {
            EXPECT_EQ(length, -5) << "length must be left alone on failure";
            return {};
        }
        std::vector<uint8_t> bytes(static_cast<const uint8_t*>(block), static_cast<const uint8_t*>(block) + length);
        GlobalFree(block);
        return bytes;
    }

    // BYTES, whichever encoder wrote them, are this frame in the writer's
    // layout, as giflib decodes it.
    static void ExpectTheFrame(const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(gif_layout::HasWriterLayout(bytes.data(), bytes.size()));
        const DecodedGif gif = DecodeGif(bytes);
        ASSERT_TRUE(gif.ok) << gif.error;
        ASSERT_EQ(gif.frames.size(), 1u);
        ASSERT_EQ(gif.frames[0].indices.size(), 600u);
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 30; ++x) {
                ASSERT_EQ(gif.frames[0].indices[y * 30 + x], GrayLevel(x * 8, y * 12, 50)) << x << "," << y;
            }
        }
    }
};

TEST_F(FrameEncoding, LibraryOutputInTheWritersLayout) {
    const auto bytes = Encode();
    ASSERT_FALSE(bytes.empty());
    EXPECT_TRUE(gif_layout::HasWriterLayout(bytes.data(), bytes.size()));
    // The 4 x 4 probe, then the frame itself.
    EXPECT_EQ(StandInSavedPictures(), (std::vector<int64_t>{16, 600}));
    EXPECT_EQ(libraryGifLayout, LibraryGifLayout::Present);
    EXPECT_EQ(StandInCallCount(StandInCall::GdiplusStartup), 1);
    ExpectTheFrame(bytes);
}

TEST_F(FrameEncoding, MaskModeEncodesHalfTheWidth) {
    const std::vector<uint8_t> wide = MakeHostFrame(640, 4, [](int x, int) { return Bgr{0, 0, x < 320 ? uint8_t(9) : uint8_t(0)}; });
    int32_t length = 0;
    HGLOBAL block = EncodeFrame(wide.data(), 640, 4, 1, &palette, &length, nullptr);
    ASSERT_NE(block, nullptr);
    const uint8_t* bytes = static_cast<const uint8_t*>(block);
    EXPECT_EQ(bytes[6] | bytes[7] << 8, 320);
    const DecodedGif gif = DecodeGif(std::vector<uint8_t>(bytes, bytes + length));
    GlobalFree(block);
    ASSERT_TRUE(gif.ok);
    EXPECT_EQ(gif.frames[0].width, 320);
    EXPECT_EQ(gif.frames[0].indices[5], 0);  // black mask: transparent
}

TEST_F(FrameEncoding, NullPixelsStartNothing) {
    int32_t length = 7;
    EXPECT_EQ(EncodeFrame(nullptr, 30, 20, 0, &palette, &length, nullptr), nullptr);
    EXPECT_EQ(length, 7);
    EXPECT_EQ(StandInCallCount(StandInCall::GdiplusStartup), 0);
    EXPECT_EQ(StandInCallCount(StandInCall::GlobalAlloc), 0);
}

TEST_F(FrameEncoding, NullLengthPointerIsAllowed) {
    HGLOBAL block = EncodeFrame(frame.data(), 30, 20, 0, &palette, nullptr, nullptr);
    ASSERT_NE(block, nullptr);
    GlobalFree(block);
}

TEST_F(FrameEncoding, LibraryWithoutTheLayoutIsAskedOnceWithATinyPicture) {
    // Wine's layout and one without the graphic control extension: the probe
    // finds it, the frames are our own encoder's, and from the next frame on
    // the library is not even started.
    for (StandInGifLayout layout : {StandInGifLayout::LikeWine, StandInGifLayout::WithoutExtension}) {
        Reset();
        SetStandInGifLayout(layout);
        ExpectTheFrame(Encode());
        ExpectTheFrame(Encode());
        EXPECT_EQ(libraryGifLayout, LibraryGifLayout::Absent);
        EXPECT_EQ(StandInSavedPictures(), std::vector<int64_t>{16});
        EXPECT_EQ(StandInCallCount(StandInCall::GdiplusStartup), 1);
    }
}

TEST_F(FrameEncoding, NoGifEncoderOrNoLibraryFallsBackAndDecidesNothing) {
    SetStandInEncoders(StandInEncoders::WithoutGif);
    ExpectTheFrame(Encode());
    ExpectTheFrame(Encode());
    EXPECT_TRUE(StandInSavedPictures().empty());
    EXPECT_EQ(libraryGifLayout, LibraryGifLayout::Unknown);
    Reset();
    FailStandInCall(StandInCall::GdiplusStartup, 0);
    ExpectTheFrame(Encode());
    EXPECT_EQ(libraryGifLayout, LibraryGifLayout::Unknown);
    // The library starts for the next frame: it is probed and used then.
    ExpectTheFrame(Encode());
    EXPECT_EQ(libraryGifLayout, LibraryGifLayout::Present);
    EXPECT_EQ(StandInSavedPictures(), (std::vector<int64_t>{16, 600}));
}

TEST_F(FrameEncoding, EveryFrameOfALibraryWithTheLayoutIsStillChecked) {
    // Known to have the layout, yet one frame comes back without it: that
    // frame is our own encoder's, and the library still saves the next one.
    Reset(LibraryGifLayout::Present);
    SetStandInGifLayout(StandInGifLayout::LikeWine);
    ExpectTheFrame(Encode());
    SetStandInGifLayout(StandInGifLayout::Conforming);
    ExpectTheFrame(Encode());
    EXPECT_EQ(StandInSavedPictures(), (std::vector<int64_t>{600, 600}));
    EXPECT_EQ(libraryGifLayout, LibraryGifLayout::Present);
}

TEST_F(FrameEncoding, AFailingProbeCostsNothingButItsOwnRetry) {
    // Each platform call of the probe fails in turn: the frame is still
    // encoded by the library, nothing is held, and the next frame probes again.
    Reset();
    Encode();
    const int probeAllocations = StandInCallCount(StandInCall::GlobalAlloc) - 4;
    ASSERT_EQ(probeAllocations, 3);  // encoder list, stream block, copy
    struct Fault {
        StandInCall call;
        int index;
    };
    std::vector<Fault> faults{{StandInCall::CreateBitmap, 0}, {StandInCall::EncodersSize, 0},
                              {StandInCall::Encoders, 0},     {StandInCall::CreateStream, 0},
                              {StandInCall::SaveImage, 0},    {StandInCall::StreamSeek, 0},
                              {StandInCall::StreamRead, 0}};
    // The pixel buffer is taken after the probe: allocations 0 to 2 are the probe's.
    for (int i = 0; i < probeAllocations; ++i) faults.push_back({StandInCall::GlobalAlloc, i});
    for (const Fault& fault : faults) {
        const std::string where = std::to_string(static_cast<int>(fault.call)) + "#" + std::to_string(fault.index);
        Reset();
        FailStandInCall(fault.call, fault.index);
        const auto bytes = Encode();
        EXPECT_TRUE(gif_layout::HasWriterLayout(bytes.data(), bytes.size())) << where;
        EXPECT_EQ(libraryGifLayout, LibraryGifLayout::Unknown) << where;
        const StandInHeld held = StandInHeldNow();
        EXPECT_EQ(held.blocks + held.bitmaps + held.streams + held.librarySessions, 0) << where;
        Encode();
        EXPECT_EQ(libraryGifLayout, LibraryGifLayout::Present) << where;
    }
}

TEST_F(FrameEncoding, FindGifEncoderMatchesTheExactMimeType) {
    CLSID found{};
    // The stand-in lists "image/GIF" before "image/gif": case matters.
    EXPECT_EQ(FindGifEncoder(&found), 3);
    EXPECT_EQ(found.Data1, 0x557cf402u);
    SetStandInEncoders(StandInEncoders::WithoutGif);
    EXPECT_EQ(FindGifEncoder(&found), -1);
    Reset();
    FailStandInCall(StandInCall::EncodersSize, 0);
    EXPECT_EQ(FindGifEncoder(&found), -1);
    FailStandInCall(StandInCall::Encoders, 0);
    EXPECT_EQ(FindGifEncoder(&found), -1);
    FailStandInCall(StandInCall::GlobalAlloc, 0);
    EXPECT_EQ(FindGifEncoder(&found), -1);
}

TEST_F(FrameEncoding, EveryFailingStepReleasesEverything) {
    // A library known to have the layout: each frame goes through it, and
    // these steps after a started library end the frame when they fail.
    const StandInCall ending[] = {StandInCall::CreateBitmap, StandInCall::CreateStream, StandInCall::SaveImage,
                                  StandInCall::StreamSeek, StandInCall::StreamRead};
    for (StandInCall call : ending) {
        Reset(LibraryGifLayout::Present);
        FailStandInCall(call, 0);
        EXPECT_TRUE(Encode().empty()) << static_cast<int>(call);
        const StandInHeld held = StandInHeldNow();
        EXPECT_EQ(held.blocks + held.bitmaps + held.streams + held.librarySessions, 0) << static_cast<int>(call);
    }
    // A refused palette is not an error.
    Reset(LibraryGifLayout::Present);
    FailStandInCall(StandInCall::SetPalette, 0);
    EXPECT_FALSE(Encode().empty());
    // Each allocation in turn: pixel buffer, encoder list, stream block, frame block.
    Reset(LibraryGifLayout::Present);
    Encode();
    const int allocations = StandInCallCount(StandInCall::GlobalAlloc);
    EXPECT_EQ(allocations, 4);
    for (int index = 0; index < allocations; ++index) {
        Reset(LibraryGifLayout::Present);
        FailStandInCall(StandInCall::GlobalAlloc, index);
        const auto bytes = Encode();
        // Losing the encoder list means no GIF encoder: the fallback still encodes.
        EXPECT_EQ(bytes.empty(), index != 1) << "allocation " << index;
        const StandInHeld held = StandInHeldNow();
        EXPECT_EQ(held.blocks + held.bitmaps + held.streams + held.librarySessions, 0) << "allocation " << index;
    }
}

TEST_F(FrameEncoding, RefusesPicturesOutsideTheFormat) {
    const std::vector<uint8_t> tiny(64, 0);
    int32_t length = 0;
    EXPECT_EQ(EncodeFrame(tiny.data(), 0, 1, 0, &palette, &length, nullptr), nullptr);
    EXPECT_EQ(EncodeFrame(tiny.data(), 1, 0, 0, &palette, &length, nullptr), nullptr);
    EXPECT_EQ(EncodeFrame(tiny.data(), 1, 1, 1, &palette, &length, nullptr), nullptr);
    EXPECT_EQ(EncodeFrame(tiny.data(), 65536, 1, 0, &palette, &length, nullptr), nullptr);
    EXPECT_EQ(EncodeFrame(tiny.data(), 1, 65536, 0, &palette, &length, nullptr), nullptr);
    EXPECT_EQ(EncodeFrame(tiny.data(), -1, -1, 0, &palette, &length, nullptr), nullptr);
    EXPECT_EQ(StandInCallCount(StandInCall::GdiplusStartup), 0);
}

// The index buffer is asked for zero-filled; the Linux stand-in skips the
// zeroing because every byte the encoders read is written first. Filled
// with a pattern instead, it must give the same bytes: any width (rows
// padded or not), either mode, the library's encoder or our own.
TEST_F(FrameEncoding, OutputDoesNotDependOnWhatTheIndexBufferHeld) {
    for (const StandInGifLayout layout : {StandInGifLayout::Conforming, StandInGifLayout::LikeWine}) {
        for (const int width : {2, 3, 30, 31, 641}) {
            const std::vector<uint8_t> picture = MakeHostFrame(width, 7, [](int x, int y) {
                return Bgr{static_cast<uint8_t>(x * 37 + y), static_cast<uint8_t>(x ^ y), static_cast<uint8_t>(y * 50)};
            });
            for (const int32_t mask : {0, 1}) {
                std::vector<uint8_t> outputs[2];
                for (const StandInZeroFill fill : {StandInZeroFill::Zeroed, StandInZeroFill::Patterned}) {
                    Reset();
                    SetStandInGifLayout(layout);
                    SetStandInZeroFill(fill);
                    int32_t length = 0;
                    HGLOBAL block = EncodeFrame(picture.data(), width, 7, mask, &palette, &length, nullptr);
                    ASSERT_NE(block, nullptr) << width;
                    const uint8_t* bytes = static_cast<const uint8_t*>(block);
                    outputs[fill == StandInZeroFill::Patterned].assign(bytes, bytes + length);
                    GlobalFree(block);
                }
                EXPECT_EQ(outputs[0], outputs[1]) << "width " << width << ", mask " << mask;
            }
        }
    }
}

// Large blocks (a frame's index buffer, its stream, the copy of its bytes)
// are kept from one frame to the next and reused, grown or cut: a frame
// encoded after others, larger and smaller, in any fill mode, gives the
// same bytes as when it came first.
TEST_F(FrameEncoding, KeptLargeBlocksCarryNothingIntoTheNextFrame) {
    const auto noise = [](int x, int y) {
        const uint32_t h = static_cast<uint32_t>(x * 7919 + y * 104729) * 2654435761u;
        return Bgr{static_cast<uint8_t>(h >> 24), static_cast<uint8_t>(h >> 16), static_cast<uint8_t>(h >> 8)};
    };
    const auto flat = [](int x, int) { return Bgr{static_cast<uint8_t>(x / 64), 90, 200}; };
    const std::vector<uint8_t> pictures[] = {MakeHostFrame(641, 300, flat), MakeHostFrame(641, 300, noise),
                                             MakeHostFrame(643, 290, flat)};
    for (const StandInZeroFill fill : {StandInZeroFill::Skipped, StandInZeroFill::Zeroed, StandInZeroFill::Patterned}) {
        std::vector<uint8_t> first[3];
        for (const int order : {0, 1, 2, 1, 0, 2, 2}) {
            Reset();
            SetStandInZeroFill(fill);
            const int32_t width = order == 2 ? 643 : 641;
            int32_t length = 0;
            HGLOBAL block = EncodeFrame(pictures[order].data(), width, order == 2 ? 290 : 300, 0, &palette, &length,
                                        nullptr);
            ASSERT_NE(block, nullptr);
            const uint8_t* bytes = static_cast<const uint8_t*>(block);
            const std::vector<uint8_t> output(bytes, bytes + length);
            GlobalFree(block);
            if (first[order].empty()) first[order] = output;
            EXPECT_EQ(output, first[order]) << "picture " << order << ", fill " << static_cast<int>(fill);
        }
    }
}

// A block larger than memory can hold is refused, never handed out short.
TEST_F(FrameEncoding, ImpossiblyLargeBlocksAreRefused) {
    for (const size_t bytes : {SIZE_MAX, SIZE_MAX - 100}) {
        EXPECT_EQ(GlobalAlloc(GPTR, bytes), nullptr) << bytes;
        EXPECT_EQ(GlobalAlloc(GMEM_FIXED, bytes), nullptr) << bytes;
    }
}

// Whole jobs: which frames the library saved, and the bytes of the file,
// which must not depend on whether the library or our encoder made them.
class LibraryInJobs : public FrameEncoding {
protected:
    std::vector<uint8_t> Job(const std::string& name) {
        const std::string path = FreshPath(name);
        FakeHost& host = StartFakeHost(path, 24, 14, 30000, 1001, 6);
        host.logCalls = false;
        EXPECT_EQ(WriteAnimation(&host.request), kStatusOk);
        return ReadFileBytes(path.c_str());
    }
};

TEST_F(LibraryInJobs, OnlyALibraryWithTheLayoutSavesRealFrames) {
    const auto conforming = Job("library_conforming.gif");
    EXPECT_EQ(StandInSavedPictures(), (std::vector<int64_t>{16, 336, 336, 336, 336, 336, 336}));
    const DecodedGif gif = DecodeGif(conforming);
    ASSERT_TRUE(gif.ok) << gif.error;
    EXPECT_EQ(gif.frames.size(), 6u);
    // Later jobs in the same process ask no probe again.
    ResetStandIns();
    EXPECT_EQ(Job("library_conforming.gif"), conforming);
    EXPECT_EQ(StandInSavedPictures().size(), 6u);

    Reset();
    SetStandInGifLayout(StandInGifLayout::LikeWine);
    EXPECT_EQ(Job("library_like_wine.gif"), conforming);
    EXPECT_EQ(StandInSavedPictures(), std::vector<int64_t>{16});
    EXPECT_EQ(StandInCallCount(StandInCall::GdiplusStartup), 1);
    ResetStandIns();
    SetStandInGifLayout(StandInGifLayout::LikeWine);
    EXPECT_EQ(Job("library_like_wine.gif"), conforming);
    EXPECT_TRUE(StandInSavedPictures().empty());
    EXPECT_EQ(StandInCallCount(StandInCall::GdiplusStartup), 0);

    Reset();
    SetStandInEncoders(StandInEncoders::WithoutGif);
    EXPECT_EQ(Job("library_without_gif.gif"), conforming);
    EXPECT_TRUE(StandInSavedPictures().empty());
}

}  // namespace
