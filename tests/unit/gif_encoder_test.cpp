// The built-in encoder, checked by giflib: every index comes back for
// random and structured pictures from 1x1 to 1920x1080 (which drives the
// code size to 12 bits and forces clear codes), and the bytes the writer
// cuts are where it expects them.
#include <gtest/gtest.h>

#include <vector>

#include "gif/gif_encoder.h"
#include "gif/gif_layout.h"
#include "tests/unit/gif_decode.h"
#include "tests/unit/test_frames.h"

namespace {

std::vector<uint8_t> Encode(const std::vector<uint8_t>& indices, int width, int height) {
    // Rows padded to 4 bytes with junk that must never be encoded.
    const int64_t stride = (width + 3) / 4 * 4;
    std::vector<uint8_t> padded(static_cast<size_t>(stride * height), 0xEE);
    for (int y = 0; y < height; ++y) {
        std::copy(indices.begin() + static_cast<size_t>(y) * width, indices.begin() + static_cast<size_t>(y + 1) * width,
                  padded.begin() + y * stride);
    }
    const IndexImage image{padded.data(), width, height, stride};
    const size_t bound = GifEncodedBound(width, height);
    std::vector<uint8_t> out(bound + 64, 0xCD);
    const size_t written = EncodeGifImage(image, BuildGrayPalette(), out.data());
    EXPECT_GT(written, 0u);
    EXPECT_LE(written, bound);
    EXPECT_EQ(out[bound], 0xCD) << "wrote past the bound";
    out.resize(written);
    return out;
}

void ExpectRoundTrip(const std::vector<uint8_t>& indices, int width, int height) {
    const auto bytes = Encode(indices, width, height);
    const DecodedGif gif = DecodeGif(bytes);
    ASSERT_TRUE(gif.ok) << gif.error << " at " << width << "x" << height;
    ASSERT_EQ(gif.frames.size(), 1u);
    EXPECT_EQ(gif.screenWidth, width);
    EXPECT_EQ(gif.screenHeight, height);
    const DecodedFrame& frame = gif.frames[0];
    EXPECT_EQ(frame.width, width);
    EXPECT_EQ(frame.height, height);
    ASSERT_EQ(frame.indices.size(), indices.size());
    EXPECT_TRUE(frame.indices == indices) << "indices differ at " << width << "x" << height;
}

TEST(GifEncoder, LayoutTheWriterCuts) {
    const auto bytes = Encode(GradientIndices(33, 17), 33, 17);
    ASSERT_GT(bytes.size(), 800u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "GIF89a");
    EXPECT_EQ(bytes[6] | bytes[7] << 8, 33);
    EXPECT_EQ(bytes[8] | bytes[9] << 8, 17);
    EXPECT_EQ(bytes[10] & 0x87, 0x87);  // global table of 256 entries
    // Colour table: entry i is gray i, entry 0 black.
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(bytes[13 + 3 * i], i);
        EXPECT_EQ(bytes[13 + 3 * i + 2], i);
    }
    EXPECT_EQ(bytes[781], 0x21);
    EXPECT_EQ(bytes[782], 0xF9);
    EXPECT_EQ(bytes[783], 0x04);
    EXPECT_EQ(bytes[784] & 1, 1);  // transparency on
    EXPECT_EQ(bytes[787], 0);      // index 0 is the transparent colour
    EXPECT_EQ(bytes[788], 0);
    EXPECT_EQ(bytes[789], 0x2C);   // image descriptor
    EXPECT_EQ(bytes[bytes.size() - 2], 0x00);
    EXPECT_EQ(bytes[bytes.size() - 1], 0x3B);
    EXPECT_TRUE(gif_layout::HasWriterLayout(bytes.data(), bytes.size()));

    const DecodedGif gif = DecodeGif(bytes);
    ASSERT_TRUE(gif.ok) << gif.error;
    EXPECT_EQ(gif.globalColours, 256);
    EXPECT_EQ(gif.frames[0].transparentIndex, 0);
}

TEST(GifEncoder, SmallPicturesRoundTrip) {
    for (int width : {1, 2, 3, 5, 17}) {
        for (int height : {1, 2, 7}) {
            ExpectRoundTrip(RandomIndices(width, height, width * 31 + height), width, height);
            ExpectRoundTrip(std::vector<uint8_t>(static_cast<size_t>(width) * height, 0), width, height);
        }
    }
}

TEST(GifEncoder, UniformPictureBuildsLongStrings) {
    // One colour: strings grow by one pixel per code, the table fills slowly.
    ExpectRoundTrip(std::vector<uint8_t>(1000 * 1000, 200), 1000, 1000);
}

TEST(GifEncoder, NoiseFillsTheTableAndClears) {
    // 640x360 of noise emits far more than 4096 codes: the code size must
    // grow to 12 bits and clear codes must follow each full table.
    ExpectRoundTrip(RandomIndices(640, 360, 7), 640, 360);
}

TEST(GifEncoder, FullHdPicturesRoundTrip) {
    ExpectRoundTrip(RandomIndices(1920, 1080, 3), 1920, 1080);
    ExpectRoundTrip(GradientIndices(1920, 1080), 1920, 1080);
}

TEST(GifEncoder, FewColoursAndStripes) {
    std::vector<uint8_t> stripes(301 * 97);
    for (size_t i = 0; i < stripes.size(); ++i) stripes[i] = static_cast<uint8_t>((i / 3) % 4 == 0 ? 255 : i % 2);
    ExpectRoundTrip(stripes, 301, 97);
    // Long single rows and columns.
    ExpectRoundTrip(RandomIndices(65535, 1, 11), 65535, 1);
    ExpectRoundTrip(GradientIndices(1, 5000), 1, 5000);
}

TEST(GifEncoder, RefusesSizesOutsideTheFormat) {
    EXPECT_EQ(GifEncodedBound(0, 10), 0u);
    EXPECT_EQ(GifEncodedBound(10, 0), 0u);
    EXPECT_EQ(GifEncodedBound(65536, 1), 0u);
    EXPECT_EQ(GifEncodedBound(1, 65536), 0u);
    EXPECT_GT(GifEncodedBound(65535, 1), 0u);
    uint8_t pixel = 0;
    uint8_t out[16];
    const IndexImage tooWide{&pixel, 65536, 1, 65536};
    EXPECT_EQ(EncodeGifImage(tooWide, BuildGrayPalette(), out), 0u);
}

}  // namespace
