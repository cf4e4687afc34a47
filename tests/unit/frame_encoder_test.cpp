// Frame encoding over the Linux stand-ins: the library path and its layout
// check, the fallback to our own encoder, and every failing step releasing
// everything already taken.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gif/frame_encoder.h"
#include "gif/gif_layout.h"
#include "platform/linux/stand_in_control.h"
#include "tests/unit/gif_decode.h"
#include "tests/unit/test_frames.h"

namespace {

class FrameEncoding : public ::testing::Test {
protected:
    void SetUp() override { ResetStandIns(); }
    void TearDown() override {
        const StandInHeld held = StandInHeldNow();
        EXPECT_EQ(held.blocks, 0);
        EXPECT_EQ(held.bitmaps, 0);
        EXPECT_EQ(held.streams, 0);
        EXPECT_EQ(held.librarySessions, 0);
        ResetStandIns();
    }

    const GrayPalette palette = BuildGrayPalette();
    const std::vector<uint8_t> frame = MakeHostFrame(30, 20, [](int x, int y) {
        return Bgr{static_cast<uint8_t>(x * 8), static_cast<uint8_t>(y * 12), 50};
    });

    std::vector<uint8_t> Encode(int32_t mask = 0, int32_t width = 30) {
        int32_t length = -5;
        HGLOBAL block = EncodeFrame(frame.data(), width, 20, mask, &palette, &length);
        if (block == nullptr) {
            EXPECT_EQ(length, -5) << "length must be left alone on failure";
            return {};
        }
        std::vector<uint8_t> bytes(static_cast<const uint8_t*>(block), static_cast<const uint8_t*>(block) + length);
        GlobalFree(block);
        return bytes;
    }
};

TEST_F(FrameEncoding, LibraryOutputInTheWritersLayout) {
    const auto bytes = Encode();
    ASSERT_FALSE(bytes.empty());
    EXPECT_TRUE(gif_layout::HasWriterLayout(bytes.data(), bytes.size()));
    EXPECT_EQ(StandInCallCount(StandInCall::SaveImage), 1);
    EXPECT_EQ(StandInCallCount(StandInCall::GdiplusStartup), 1);
    const DecodedGif gif = DecodeGif(bytes);
    ASSERT_TRUE(gif.ok) << gif.error;
    ASSERT_EQ(gif.frames.size(), 1u);
    EXPECT_EQ(gif.frames[0].indices[0], GrayLevel(0, 0, 50));
    EXPECT_EQ(gif.frames[0].indices[19 * 30 + 29], GrayLevel(29 * 8, 19 * 12, 50));
}

TEST_F(FrameEncoding, MaskModeEncodesHalfTheWidth) {
    const std::vector<uint8_t> wide = MakeHostFrame(640, 4, [](int x, int) { return Bgr{0, 0, x < 320 ? uint8_t(9) : uint8_t(0)}; });
    int32_t length = 0;
    HGLOBAL block = EncodeFrame(wide.data(), 640, 4, 1, &palette, &length);
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
    EXPECT_EQ(EncodeFrame(nullptr, 30, 20, 0, &palette, &length), nullptr);
    EXPECT_EQ(length, 7);
    EXPECT_EQ(StandInCallCount(StandInCall::GdiplusStartup), 0);
    EXPECT_EQ(StandInCallCount(StandInCall::GlobalAlloc), 0);
}

TEST_F(FrameEncoding, NullLengthPointerIsAllowed) {
    HGLOBAL block = EncodeFrame(frame.data(), 30, 20, 0, &palette, nullptr);
    ASSERT_NE(block, nullptr);
    GlobalFree(block);
}

TEST_F(FrameEncoding, FallsBackWhenTheLibraryCannotGiveTheLayout) {
    const auto direct = Encode();
    ResetStandIns();
    // No GIF encoder, a library that does not start, and a GIF without the
    // graphic control extension (as Wine's GDI+ writes) all fall back to our
    // own encoder, which gives the same bytes as the stand-in's.
    SetStandInEncoders(StandInEncoders::WithoutGif);
    EXPECT_EQ(Encode(), direct);
    EXPECT_EQ(StandInCallCount(StandInCall::SaveImage), 0);
    ResetStandIns();
    FailStandInCall(StandInCall::GdiplusStartup, 0);
    EXPECT_EQ(Encode(), direct);
    ResetStandIns();
    SetStandInGifLayout(StandInGifLayout::WithoutExtension);
    EXPECT_EQ(Encode(), direct);
    EXPECT_EQ(StandInCallCount(StandInCall::SaveImage), 1);
}

TEST_F(FrameEncoding, FindGifEncoderMatchesTheExactMimeType) {
    CLSID found{};
    // The stand-in lists "image/GIF" before "image/gif": case matters.
    EXPECT_EQ(FindGifEncoder(&found), 3);
    EXPECT_EQ(found.Data1, 0x557cf402u);
    SetStandInEncoders(StandInEncoders::WithoutGif);
    EXPECT_EQ(FindGifEncoder(&found), -1);
    ResetStandIns();
    FailStandInCall(StandInCall::EncodersSize, 0);
    EXPECT_EQ(FindGifEncoder(&found), -1);
    FailStandInCall(StandInCall::Encoders, 0);
    EXPECT_EQ(FindGifEncoder(&found), -1);
    FailStandInCall(StandInCall::GlobalAlloc, 0);
    EXPECT_EQ(FindGifEncoder(&found), -1);
}

TEST_F(FrameEncoding, EveryFailingStepReleasesEverything) {
    // Steps after a started library whose failure ends the frame.
    const StandInCall ending[] = {StandInCall::CreateBitmap, StandInCall::CreateStream, StandInCall::SaveImage,
                                  StandInCall::StreamSeek, StandInCall::StreamRead};
    for (StandInCall call : ending) {
        ResetStandIns();
        FailStandInCall(call, 0);
        EXPECT_TRUE(Encode().empty()) << static_cast<int>(call);
        const StandInHeld held = StandInHeldNow();
        EXPECT_EQ(held.blocks + held.bitmaps + held.streams + held.librarySessions, 0) << static_cast<int>(call);
    }
    // A refused palette is not an error.
    ResetStandIns();
    FailStandInCall(StandInCall::SetPalette, 0);
    EXPECT_FALSE(Encode().empty());
    // Each allocation in turn: pixel buffer, encoder list, stream block, frame block.
    ResetStandIns();
    Encode();
    const int allocations = StandInCallCount(StandInCall::GlobalAlloc);
    EXPECT_EQ(allocations, 4);
    for (int index = 0; index < allocations; ++index) {
        ResetStandIns();
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
    EXPECT_EQ(EncodeFrame(tiny.data(), 0, 1, 0, &palette, &length), nullptr);
    EXPECT_EQ(EncodeFrame(tiny.data(), 1, 0, 0, &palette, &length), nullptr);
    EXPECT_EQ(EncodeFrame(tiny.data(), 1, 1, 1, &palette, &length), nullptr);
    EXPECT_EQ(EncodeFrame(tiny.data(), 65536, 1, 0, &palette, &length), nullptr);
    EXPECT_EQ(EncodeFrame(tiny.data(), 1, 65536, 0, &palette, &length), nullptr);
    EXPECT_EQ(EncodeFrame(tiny.data(), -1, -1, 0, &palette, &length), nullptr);
    EXPECT_EQ(StandInCallCount(StandInCall::GdiplusStartup), 0);
}

}  // namespace
