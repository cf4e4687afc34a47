// The built-in encoder, checked by giflib: every index comes back for
// random and structured pictures from 1x1 to 1920x1080 (which drives the
// code size to 12 bits and forces clear codes), and the bytes the writer
// cuts are where it expects them.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "gif/gif_encoder.h"
#include "gif/gif_layout.h"
#include "gif/lzw_dictionary.h"
#include "tests/unit/gif_decode.h"
#include "tests/unit/test_frames.h"

namespace {

// table: null for a table of the picture's own, or one kept across pictures.
std::vector<uint8_t> Encode(const std::vector<uint8_t>& indices, int width, int height,
                            LzwDictionary** table = nullptr) {
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
    const size_t written = EncodeGifImage(image, BuildGrayPalette(), out.data(), table);
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

int AppendToVector(GifFileType* gif, const GifByteType* data, int length) {
    auto* bytes = static_cast<std::vector<uint8_t>*>(gif->UserData);
    bytes->insert(bytes->end(), data, data + length);
    return length;
}

// giflib's encoder on the same indices: its LZW data (minimum code size,
// sub-blocks, terminator), which ours matches code for code.
std::vector<uint8_t> GiflibImageData(const std::vector<uint8_t>& indices, int width, int height) {
    std::vector<uint8_t> bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, AppendToVector, &error);
    if (gif == nullptr) return {};
    GifColorType colours[256] = {};
    ColorMapObject* map = GifMakeMapObject(256, colours);
    bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
    std::vector<uint8_t> row(static_cast<size_t>(width));
    for (int y = 0; ok && y < height; ++y) {
        std::memcpy(row.data(), indices.data() + static_cast<size_t>(y) * width, row.size());
        ok = EGifPutLine(gif, row.data(), width) == GIF_OK;
    }
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    GifFreeMapObject(map);
    // Screen descriptor and colour table (781 bytes), image descriptor (10);
    // the trailer is left off.
    if (!ok || bytes.size() < 793) return {};
    return std::vector<uint8_t>(bytes.begin() + 791, bytes.end() - 1);
}

// Decoders stop once they have every pixel, so a wrong width for the end
// code would pass them; giflib's encoder pins down every code.
void ExpectGiflibsCodes(const std::vector<uint8_t>& indices, int width, int height) {
    const std::vector<uint8_t> ours = Encode(indices, width, height);
    const std::vector<uint8_t> theirs = GiflibImageData(indices, width, height);
    ASSERT_FALSE(theirs.empty());
    ASSERT_GT(ours.size(), 800u);
    // Ours: head (781), graphic control extension (8), image descriptor (10).
    const std::vector<uint8_t> data(ours.begin() + 799, ours.end() - 1);
    EXPECT_TRUE(data == theirs) << "LZW data differs from giflib's at " << width << "x" << height;
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

TEST(GifEncoder, EitherSideOfTheFullTableWidth) {
    // From 3838 pixels on the table is the full 4096 codes wide and the
    // encoder takes a loop specialised for it; below, one sized to the
    // picture. Both, at the sizes where one gives way to the other, in one
    // row, in rows and in a column.
    for (int pixels : {3837, 3838, 3839}) {
        const std::vector<uint8_t> noise = RandomIndices(pixels, 1, static_cast<uint32_t>(pixels));
        ExpectRoundTrip(noise, pixels, 1);
        ExpectGiflibsCodes(noise, pixels, 1);
        ExpectRoundTrip(std::vector<uint8_t>(static_cast<size_t>(pixels), 9), 1, pixels);
    }
    ExpectRoundTrip(RandomIndices(1919, 2, 5), 1919, 2);
    ExpectRoundTrip(RandomIndices(1279, 3, 5), 1279, 3);
}

// The next free code after each pixel, as the LZW parse leaves it (the
// table cleared when full): used only to pick picture sizes whose last
// code falls on a given step. giflib judges the result.
std::vector<uint32_t> NextCodeAfterEachPixel(const std::vector<uint8_t>& indices) {
    std::map<std::pair<uint32_t, uint8_t>, uint32_t> table;
    std::vector<uint32_t> next(indices.size());
    uint32_t nextCode = 258;
    uint32_t prefix = indices[0];
    next[0] = nextCode;
    for (size_t i = 1; i < indices.size(); ++i) {
        const auto found = table.find({prefix, indices[i]});
        if (found != table.end()) {
            prefix = found->second;
        } else {
            table[{prefix, indices[i]}] = nextCode++;
            prefix = indices[i];
            if (nextCode == 4096) {
                table.clear();
                nextCode = 258;
            }
        }
        next[i] = nextCode;
    }
    return next;
}

TEST(GifEncoder, PictureEndsOnEveryWidthStepAndOnAFullTable) {
    // The last string and the end code are written at the widths the
    // decoder reaches by then: the edge cases are a picture whose last code
    // makes the decoder widen (511, 512, 1023, 1024, 2047, 2048 strings),
    // one that fills the table with its last code (4095), and one whose last
    // pixel filled the table and so ends clear code, one pixel, end code.
    const std::vector<uint8_t> noise = RandomIndices(20000, 1, 21);
    const std::vector<uint32_t> next = NextCodeAfterEachPixel(noise);
    std::vector<size_t> lengths;
    for (uint32_t step : {511u, 512u, 1023u, 1024u, 2047u, 2048u, 4095u}) {
        for (size_t n = 2; n <= next.size(); ++n) {
            if (next[n - 1] == step) {
                lengths.push_back(n);
                break;
            }
        }
    }
    for (size_t n = 2; n <= next.size(); ++n) {
        if (next[n - 1] == 258 && next[n - 2] == 4095) {
            lengths.push_back(n);
            break;
        }
    }
    ASSERT_EQ(lengths.size(), 8u);
    for (size_t n : lengths) {
        const std::vector<uint8_t> head(noise.begin(), noise.begin() + static_cast<std::ptrdiff_t>(n));
        ExpectRoundTrip(head, static_cast<int>(n), 1);
        ExpectGiflibsCodes(head, static_cast<int>(n), 1);
        // The same pixels in padded rows, where the length allows it.
        for (size_t rows = 2; rows < 64; ++rows) {
            if (n % rows != 0) continue;
            ExpectRoundTrip(head, static_cast<int>(n / rows), static_cast<int>(rows));
            ExpectGiflibsCodes(head, static_cast<int>(n / rows), static_cast<int>(rows));
            break;
        }
    }
}

TEST(GifEncoder, ATableKeptAcrossPicturesGivesTheSameBytes) {
    // The pictures of one job through one table. Noise fills the table
    // (clear codes within the picture), so the pictures after it meet stale
    // entries; smaller pictures need a smaller code limit and replace the
    // table, and the large size after them replaces it again.
    struct Picture {
        int width, height;
        std::vector<uint8_t> indices;
        uint32_t codeLimit;
    };
    const std::vector<Picture> pictures{
        {640, 360, RandomIndices(640, 360, 7), 4096},
        {640, 360, GradientIndices(640, 360), 4096},
        {640, 360, std::vector<uint8_t>(640 * 360, 200), 4096},
        {640, 360, RandomIndices(640, 360, 8), 4096},
        {40, 30, RandomIndices(40, 30, 9), 258 + 1200},
        {40, 30, GradientIndices(40, 30), 258 + 1200},
        {20, 10, RandomIndices(20, 10, 10), 258 + 200},
        {640, 360, RandomIndices(640, 360, 11), 4096},
    };
    LzwDictionary* table = nullptr;
    for (size_t i = 0; i < pictures.size(); ++i) {
        const Picture& picture = pictures[i];
        const auto fresh = Encode(picture.indices, picture.width, picture.height);
        const auto reused = Encode(picture.indices, picture.width, picture.height, &table);
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(table->codeLimit, picture.codeLimit) << "picture " << i;
        EXPECT_TRUE(reused == fresh) << "picture " << i << " differs with the kept table";
        const DecodedGif gif = DecodeGif(reused);
        ASSERT_TRUE(gif.ok) << gif.error << " at picture " << i;
        ASSERT_EQ(gif.frames.size(), 1u);
        EXPECT_TRUE(gif.frames[0].indices == picture.indices) << "picture " << i;
    }
    LzwDestroy(table);
}

// Bands of rows whose strings differ in length, so that the encoder's table
// generations change the way they are coded as the picture goes on: flat
// (strings of hundreds of pixels), a smooth pattern where every pixel
// changes (two or three a string) and noise (one). Every order of the three
// follows another somewhere in the picture, including noise before a flat
// band, where the table left by noise must be emptied before it is used
// unconfirmed.
std::vector<uint8_t> BandedIndices(int width, int height, uint32_t seed) {
    std::vector<uint8_t> indices = RandomIndices(width, height, seed);
    const int kinds[] = {0, 1, 2, 0, 2, 1, 0, 1, 2, 2, 0, 0, 1, 1};
    const int bands = static_cast<int>(sizeof kinds / sizeof kinds[0]);
    for (int y = 0; y < height; ++y) {
        const int kind = kinds[y * bands / height];
        for (int x = 0; x < width; ++x) {
            uint8_t& index = indices[static_cast<size_t>(y) * width + x];
            if (kind == 0) index = static_cast<uint8_t>(40 + y % 3);
            if (kind == 1) index = static_cast<uint8_t>((x * 3 + y * 5 + x * y / 64) & 0xFF);
        }
    }
    return indices;
}

TEST(GifEncoder, EveryChangeOfWayBetweenGenerationsGivesGiflibsCodes) {
    // Rows without padding (walked as one) and with it; generations end
    // anywhere in a row.
    for (int width : {1920, 1918, 1021}) {
        const int height = 420;
        const std::vector<uint8_t> indices = BandedIndices(width, height, static_cast<uint32_t>(width));
        ExpectRoundTrip(indices, width, height);
        ExpectGiflibsCodes(indices, width, height);
    }
}

TEST(GifEncoder, TableFillingOnARowsLastPixel) {
    // The next generation then starts on the next row: with rows padded to
    // 4 bytes the cursor has to cross the padding between the generations.
    for (uint32_t seed : {31u, 32u, 33u}) {
        const std::vector<uint8_t> noise = RandomIndices(20000, 1, seed);
        const std::vector<uint32_t> next = NextCodeAfterEachPixel(noise);
        size_t filled = 0;
        for (size_t i = 1; i < next.size() && filled == 0; ++i) {
            if (next[i] == 258 && next[i - 1] == 4095) filled = i;
        }
        ASSERT_GT(filled, 0u);
        // The widest rows, not a multiple of 4, of which the filling pixel
        // is a last one; two rows follow it.
        size_t width = filled + 1;
        while ((filled + 1) % width != 0 || width % 4 == 0) --width;
        ASSERT_GT(width, 1u);
        const size_t rows = (filled + 1) / width + 2;
        const std::vector<uint8_t> head(noise.begin(), noise.begin() + static_cast<std::ptrdiff_t>(width * rows));
        ExpectRoundTrip(head, static_cast<int>(width), static_cast<int>(rows));
        ExpectGiflibsCodes(head, static_cast<int>(width), static_cast<int>(rows));
    }
}

TEST(GifEncoder, AKeptTableAfterNoiseServesEveryKindOfPicture) {
    // Noise leaves the table stale; a kept table then meets a flat picture,
    // a smooth one and noise again, each in the same bytes as with a fresh
    // table and as giflib's.
    LzwDictionary* table = nullptr;
    const int width = 640, height = 360;
    const std::vector<std::vector<uint8_t>> pictures{
        RandomIndices(width, height, 41),
        std::vector<uint8_t>(static_cast<size_t>(width) * height, 7),
        RandomIndices(width, height, 42),
        BandedIndices(width, height, 43),
        GradientIndices(width, height),
        RandomIndices(width, height, 44),
    };
    for (size_t i = 0; i < pictures.size(); ++i) {
        const auto reused = Encode(pictures[i], width, height, &table);
        EXPECT_TRUE(reused == Encode(pictures[i], width, height)) << "picture " << i;
        ExpectGiflibsCodes(pictures[i], width, height);
    }
    LzwDestroy(table);
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
    EXPECT_EQ(EncodeGifImage(tooWide, BuildGrayPalette(), out, nullptr), 0u);
}

}  // namespace
