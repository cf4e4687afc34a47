// Single-image GIF89a encoder: header, colour table, graphic control
// extension, image descriptor and LZW-compressed indices.
#include "gif/gif_encoder.h"

#include <cstring>

#include "gif/gif_layout.h"
#include "gif/lzw_dictionary.h"

namespace {

constexpr uint32_t kMinCodeSize = 8;  // 256 colours
constexpr uint32_t kClearCode = 1u << kMinCodeSize;
constexpr uint32_t kEndCode = kClearCode + 1;
constexpr uint32_t kFirstFreeCode = kClearCode + 2;
constexpr uint32_t kMaxCodes = 4096;  // codes are at most 12 bits
constexpr uint32_t kMaxSubBlock = 255;
constexpr int32_t kMaxSide = 65535;

// Everything before the LZW data: head (781), extension (8), image
// descriptor (10) and the minimum code size (1).
constexpr size_t kPrefixBytes = gif_layout::kHeadBytes + gif_layout::kExtensionBytes + 10 + 1;

inline uint8_t* PutLittle16(uint8_t* out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
    return out + 2;
}

// Packs codes least significant bit first (GIF89a appendix F) straight into
// data sub-blocks: a length byte is reserved before every run of 255 bytes
// and filled in when the run is complete. Codes gather in a 64-bit word and
// leave it 32 bits at a time, so most codes cost no store at all and a
// store is one 4-byte write; only the 3 bytes that straddle each sub-block
// boundary go one by one.
struct CodeWriter {
    uint8_t* out;
    uint8_t* lengthByte;
    uint32_t room;  // bytes left in the open sub-block
    uint64_t bits;
    uint32_t bitCount;  // below 32 between calls

    void StartBlock() {
        lengthByte = out++;
        room = kMaxSubBlock;
    }

    void PutByte(uint8_t value) {
        if (room == 0) {
            *lengthByte = static_cast<uint8_t>(kMaxSubBlock);
            StartBlock();
        }
        *out++ = value;
        --room;
    }

    void Put(uint32_t code, uint32_t width) {
        bits |= static_cast<uint64_t>(code) << bitCount;
        bitCount += width;
        if (bitCount >= 32) {
            const uint32_t word = static_cast<uint32_t>(bits);
            bits >>= 32;
            bitCount -= 32;
            if (room >= 4) {
                // Byte stores the compiler merges into one little-endian write.
                out[0] = static_cast<uint8_t>(word);
                out[1] = static_cast<uint8_t>(word >> 8);
                out[2] = static_cast<uint8_t>(word >> 16);
                out[3] = static_cast<uint8_t>(word >> 24);
                out += 4;
                room -= 4;
            } else {
                for (int shift = 0; shift < 32; shift += 8) PutByte(static_cast<uint8_t>(word >> shift));
            }
        }
    }

    // Flushes the bits still held, closes the open sub-block and writes the
    // block terminator.
    uint8_t* Finish() {
        for (; bitCount > 0; bitCount = bitCount > 8 ? bitCount - 8 : 0) {
            PutByte(static_cast<uint8_t>(bits));
            bits >>= 8;
        }
        if (room < kMaxSubBlock) {
            *lengthByte = static_cast<uint8_t>(kMaxSubBlock - room);
        } else {
            --out;  // the reserved length byte was never used
        }
        *out++ = 0x00;
        return out;
    }
};

uint8_t* WriteHead(uint8_t* out, int32_t width, int32_t height, const GrayPalette& palette) {
    std::memcpy(out, "GIF89a", 6);
    out += 6;
    out = PutLittle16(out, static_cast<uint32_t>(width));
    out = PutLittle16(out, static_cast<uint32_t>(height));
    *out++ = 0xF7;  // global table of 256 entries, 8 bits per primary
    *out++ = 0;  // background colour index
    *out++ = 0;  // pixel aspect ratio: not given
    for (int i = 0; i < 256; ++i) {
        const uint32_t argb = palette.entries[i];
        *out++ = static_cast<uint8_t>(argb >> 16);
        *out++ = static_cast<uint8_t>(argb >> 8);
        *out++ = static_cast<uint8_t>(argb);
    }
    // Graphic control extension: transparency on, index 0, no delay yet.
    *out++ = gif_layout::kExtensionIntroducer;
    *out++ = gif_layout::kGraphicControlLabel;
    *out++ = 4;
    *out++ = 0x01;
    out = PutLittle16(out, 0);
    *out++ = 0;
    *out++ = 0;
    // Image descriptor: whole screen, no local table, not interlaced.
    *out++ = 0x2C;
    out = PutLittle16(out, 0);
    out = PutLittle16(out, 0);
    out = PutLittle16(out, static_cast<uint32_t>(width));
    out = PutLittle16(out, static_cast<uint32_t>(height));
    *out++ = 0;
    *out++ = kMinCodeSize;
    return out;
}

uint8_t* WriteImageData(uint8_t* out, const IndexImage& image, const LzwDictionary& shared) {
    // A private copy of the table's handles: the output bytes could alias
    // the caller's record as far as the compiler knows, which would reload
    // both pointers after every store.
    LzwDictionary table = shared;
    LzwDictionary* const dictionary = &table;
    CodeWriter writer{out, nullptr, 0, 0, 0};
    writer.StartBlock();

    uint32_t codeWidth = kMinCodeSize + 1;
    uint32_t nextCode = kFirstFreeCode;
    writer.Put(kClearCode, codeWidth);

    // The decoder adds a string for every code after the first, one code
    // behind the encoder, and widens its codes once its next free code no
    // longer fits. So the encoder widens one string later than its own table
    // would suggest, and counts the string the decoder adds on reading the
    // last code before the end code.
    uint32_t widenAbove = 1u << codeWidth;

    uint32_t prefix = image.pixels[0];
    for (int32_t y = 0; y < image.height; ++y) {
        const uint8_t* row = image.pixels + y * image.stride;
        for (int32_t x = (y == 0 ? 1 : 0); x < image.width; ++x) {
            const uint32_t pixel = row[x];
            const uint32_t key = LzwPixelKey(dictionary, pixel) + prefix;
            const int32_t found = LzwFind(dictionary, key);
            if (found >= 0) {
                prefix = static_cast<uint32_t>(found);
                continue;
            }
            writer.Put(prefix, codeWidth);
            LzwInsert(dictionary, key, nextCode);
            ++nextCode;
            if (nextCode > widenAbove && codeWidth < 12) {
                ++codeWidth;
                widenAbove <<= 1;
            }
            if (nextCode == kMaxCodes) {
                // Table full: start afresh rather than keep a stale table.
                writer.Put(kClearCode, codeWidth);
                LzwClear(dictionary);
                codeWidth = kMinCodeSize + 1;
                widenAbove = 1u << codeWidth;
                nextCode = kFirstFreeCode;
            }
            prefix = pixel;
        }
    }
    writer.Put(prefix, codeWidth);
    if (nextCode < kMaxCodes) {
        ++nextCode;
        if (nextCode > widenAbove && codeWidth < 12) ++codeWidth;
    }
    writer.Put(kEndCode, codeWidth);
    return writer.Finish();
}

}  // namespace

size_t GifEncodedBound(int32_t width, int32_t height) {
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return 0;
    const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    // At most one code per pixel, a clear code every (4096 - 258) codes and
    // the first clear and the end code; each at most 12 bits.
    const uint64_t codes = pixels + pixels / (kMaxCodes - kFirstFreeCode) + 3;
    const uint64_t dataBytes = (codes * 12 + 7) / 8;
    const uint64_t blockLengths = dataBytes / kMaxSubBlock + 1;
    const uint64_t total = kPrefixBytes + dataBytes + blockLengths + 2;  // terminator, trailer
    if (total > static_cast<uint64_t>(SIZE_MAX / 2)) return 0;
    return static_cast<size_t>(total);
}

size_t EncodeGifImage(const IndexImage& image, const GrayPalette& palette, uint8_t* out) {
    if (GifEncodedBound(image.width, image.height) == 0) return 0;
    const uint64_t pixels = static_cast<uint64_t>(image.width) * static_cast<uint64_t>(image.height);
    LzwDictionary* dictionary = LzwCreate(LzwCodeLimit(pixels, kFirstFreeCode));
    if (dictionary == nullptr) return 0;
    uint8_t* end = WriteHead(out, image.width, image.height, palette);
    end = WriteImageData(end, image, *dictionary);
    LzwDestroy(dictionary);
    *end++ = gif_layout::kTrailer;
    return static_cast<size_t>(end - out);
}
