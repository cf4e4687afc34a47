// Single-image GIF89a encoder: header, colour table, graphic control
// extension, image descriptor and LZW-compressed indices.
#include "gif/gif_encoder.h"

#include <cstring>

#include "gif/gif_layout.h"
#include "gif/gif_limits.h"
#include "gif/lzw_dictionary.h"

namespace {

constexpr uint32_t kMinCodeSize = 8;  // 256 colours
constexpr uint32_t kClearCode = 1u << kMinCodeSize;
constexpr uint32_t kEndCode = kClearCode + 1;
constexpr uint32_t kFirstFreeCode = kClearCode + 2;
using gif_limits::kMaxCodes;
constexpr uint32_t kMaxSubBlock = 255;
using gif_limits::kMaxSide;

// Everything before the LZW data: head (781), extension (8), image
// descriptor (10) and the minimum code size (1).
constexpr size_t kPrefixBytes = gif_layout::kHeadBytes + gif_layout::kExtensionBytes + 10 + 1;

inline uint8_t* PutLittle16(uint8_t* out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
    return out + 2;
}

// Largest LZW data a picture of this many pixels gives, before it is cut
// into sub-blocks: at most one code per pixel, a clear code every
// (4096 - 258) codes, the first clear and the end code; each at most 12 bits.
uint64_t MaxDataBytes(uint64_t pixels) {
    const uint64_t codes = pixels + pixels / (kMaxCodes - kFirstFreeCode) + 3;
    return (codes * 12 + 7) / 8;
}

// Length bytes the sub-blocks of that data need, with one to spare.
uint64_t MaxBlockLengths(uint64_t pixels) {
    return MaxDataBytes(pixels) / kMaxSubBlock + 1;
}

// The packer's last 4-byte store may reach this far past its data.
constexpr uint64_t kStoreSlack = 4;

// Packs codes least significant bit first (GIF89a appendix F) into one
// unbroken run of bytes. Never more than 7 bits wait in the accumulator, so
// after adding a code of at most 12 bits it holds at most 19: each code is
// one 4-byte store and an advance by the whole bytes it completed, with no
// branch. The sub-block length bytes go in afterwards (SplitIntoSubBlocks).
struct CodePacker {
    uint8_t* out;
    uint32_t bits;
    uint32_t bitCount;

    void Put(uint32_t code, uint32_t width) {
        bits |= code << bitCount;
        bitCount += width;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        std::memcpy(out, &bits, 4);
#else
        out[0] = static_cast<uint8_t>(bits);
        out[1] = static_cast<uint8_t>(bits >> 8);
        out[2] = static_cast<uint8_t>(bits >> 16);
        out[3] = static_cast<uint8_t>(bits >> 24);
#endif
        out += bitCount >> 3;
        bits >>= bitCount & ~7u;
        bitCount &= 7;
    }

    // The end of the data, counting the last partial byte, already stored.
    uint8_t* Finish() const {
        return out + (bitCount > 0 ? 1 : 0);
    }
};

// Turns the data packed at `data` into sub-blocks of at most 255 bytes,
// each after its length byte, starting at `out`, then the block terminator.
// The data must start at least one byte per sub-block after `out`: every
// block then moves towards the start and never over data not yet moved.
uint8_t* SplitIntoSubBlocks(uint8_t* out, const uint8_t* data, size_t length) {
    while (length > 0) {
        const size_t block = length < kMaxSubBlock ? length : kMaxSubBlock;
        *out = static_cast<uint8_t>(block);
        std::memmove(out + 1, data, block);
        out += 1 + block;
        data += block;
        length -= block;
    }
    *out++ = 0x00;
    return out;
}

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

// fullTable: the table is the full 4096 codes wide, as it is for every
// picture of 3838 pixels or more. The width is then a constant, so a key's
// pixel part is a shift rather than a multiplication and one more register
// is free for the packer.
template <bool fullTable>
uint8_t* WriteImageData(uint8_t* out, const IndexImage& image, const LzwDictionary& shared) {
    // A private copy of the table's handles: the output bytes could alias
    // the caller's record as far as the compiler knows, which would reload
    // both pointers after every store.
    LzwDictionary table = shared;
    if (fullTable) table.codeLimit = LzwDictionary::kMaxCodes;
    LzwDictionary* const dictionary = &table;
    const uint64_t pixels = static_cast<uint64_t>(image.width) * static_cast<uint64_t>(image.height);
    uint8_t* const data = out + MaxBlockLengths(pixels);
    CodePacker writer{data, 0, 0};

    uint32_t codeWidth = kMinCodeSize + 1;
    uint32_t nextCode = kFirstFreeCode;
    writer.Put(kClearCode, codeWidth);

    // The decoder adds a string for every code after the first, one code
    // behind the encoder, and widens its codes once its next free code no
    // longer fits. So the encoder widens one string later than its own table
    // would suggest (at 513, 1025 and 2049 strings), and counts the string
    // the decoder adds on reading the last code before the end code. Those
    // steps and the full table (4096) are the only events, so the loop
    // checks for the next one with a single comparison.
    auto eventAfter = [](uint32_t width) { return width < 12 ? (1u << width) + 1 : kMaxCodes; };
    uint32_t nextEvent = eventAfter(codeWidth);

    // The rows as plain pointers, so that the loop over them keeps nothing
    // in registers that the packer's state would otherwise have to leave.
    const uint8_t* row = image.pixels;
    const uint8_t* const lastRow = image.pixels + (image.height - 1) * image.stride;
    const int64_t stride = image.stride;
    const int32_t width = image.width;
    uint32_t prefix = row[0];
    const uint8_t* pixel = row + 1;
    for (;;) {
        const uint8_t* const rowEnd = row + width;
        for (; pixel < rowEnd; ++pixel) {
            const uint32_t pixelKey = LzwPixelKey(dictionary, *pixel);
            const int32_t found = LzwFind(dictionary, LzwColumn(dictionary, pixelKey), pixelKey, prefix);
            if (found >= 0) {
                prefix = static_cast<uint32_t>(found);
                continue;
            }
            const uint32_t key = pixelKey + prefix;
            writer.Put(prefix, codeWidth);
            LzwInsert(dictionary, key, nextCode);
            prefix = *pixel;
            if (++nextCode == nextEvent) {
                if (nextCode == kMaxCodes) {
                    // Table full: start afresh rather than keep a stale table.
                    writer.Put(kClearCode, codeWidth);
                    LzwClear(dictionary);
                    codeWidth = kMinCodeSize + 1;
                    nextCode = kFirstFreeCode;
                } else {
                    ++codeWidth;
                }
                nextEvent = eventAfter(codeWidth);
            }
        }
        if (row == lastRow) break;
        row += stride;
        pixel = row;
    }
    writer.Put(prefix, codeWidth);
    if (nextCode < kMaxCodes && ++nextCode == nextEvent && codeWidth < 12) ++codeWidth;
    writer.Put(kEndCode, codeWidth);
    return SplitIntoSubBlocks(out, data, static_cast<size_t>(writer.Finish() - data));
}

}  // namespace

size_t GifEncodedBound(int32_t width, int32_t height) {
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return 0;
    const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    // The data is packed after room for its length bytes, then cut into
    // sub-blocks in place; the terminator and the trailer follow.
    const uint64_t total = kPrefixBytes + MaxBlockLengths(pixels) + MaxDataBytes(pixels) + kStoreSlack + 2;
    if (total > static_cast<uint64_t>(SIZE_MAX / 2)) return 0;
    return static_cast<size_t>(total);
}

size_t EncodeGifImage(const IndexImage& image, const GrayPalette& palette, uint8_t* out, LzwDictionary** table) {
    if (GifEncodedBound(image.width, image.height) == 0) return 0;
    const uint64_t pixels = static_cast<uint64_t>(image.width) * static_cast<uint64_t>(image.height);
    const uint32_t codeLimit = LzwCodeLimit(pixels, kFirstFreeCode);
    // Without a caller's table the picture's own stands in the same slot.
    LzwDictionary* own = nullptr;
    LzwDictionary** slot = table != nullptr ? table : &own;
    // Only a table of the same code limit can serve again: its stale codeOf
    // entries are then all below the limit, and keyOf, cleared here,
    // confirms none of them.
    if (*slot != nullptr && (*slot)->codeLimit != codeLimit) {
        LzwDestroy(*slot);
        *slot = nullptr;
    }
    if (*slot == nullptr) {
        *slot = LzwCreate(codeLimit);
    } else {
        LzwClear(*slot);
    }
    LzwDictionary* const dictionary = *slot;
    if (dictionary == nullptr) return 0;
    uint8_t* end = WriteHead(out, image.width, image.height, palette);
    end = dictionary->codeLimit == LzwDictionary::kMaxCodes ? WriteImageData<true>(end, image, *dictionary)
                                                            : WriteImageData<false>(end, image, *dictionary);
    LzwDestroy(own);
    *end++ = gif_layout::kTrailer;
    return static_cast<size_t>(end - out);
}
