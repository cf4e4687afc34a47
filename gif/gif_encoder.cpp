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
    *out++ = gif_layout::kOurScreenFlags;
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

// The decoder adds a string for every code after the first, one code
// behind the encoder, and widens its codes once its next free code no
// longer fits. So the encoder widens one string later than its own table
// would suggest (at 513, 1025 and 2049 strings), and counts the string the
// decoder adds on reading the last code before the end code. Those steps and
// the full table (4096) are the only events, so the loop checks for the next
// one with a single comparison.
uint32_t EventAfter(uint32_t codeWidth) {
    return codeWidth < 12 ? (1u << codeWidth) + 1 : kMaxCodes;
}

// The pixels still to code, as plain pointers: the row being walked and
// where the last one ends. Rows without padding between them are walked as
// one.
struct PixelCursor {
    const uint8_t* pixel;
    const uint8_t* rowEnd;
    const uint8_t* lastRowEnd;
    int64_t rowLength;
    int64_t gap;  // from one row's end to the next row's start
    int64_t rowsBefore;  // whole rows (as walked) before the current one

    // Pixels coded so far, counting the first.
    int64_t Position() const { return rowsBefore * rowLength + rowLength - (rowEnd - pixel); }
};

// Everything the coder carries from one pixel to the next.
struct CoderState {
    CodePacker writer;
    uint32_t codeWidth;
    uint32_t nextCode;
    uint32_t nextEvent;
    uint32_t prefix;  // code of the string begun and not yet written
};

// How one generation (the pixels from one clear code to the next) is coded:
// the table's layout and whether its lookups are confirmed (see
// LzwDictionary). The bytes are the same whichever is used; only the time
// differs, with the length of the strings.
enum class GenerationWay { LongStrings, ShortStrings, SinglePixels };

// The way for a generation, from the pixels per code of the one before.
// Measured on 1920x1080 pictures, encoding alone, each way forced:
// - LongStrings (by pixel, zeroed) wins from about 12 pixels a code on:
//   still graphics (33 a code) 17 % faster than by pixel and confirmed,
//   ffmpeg's testsrc2 (26) and cellauto (22) 15 to 20 % faster than by
//   groups of levels.
// - ShortStrings (by groups of 8 levels, zeroed) wins below: a zoom where
//   every pixel changes (2 a code) 10 to 20 % faster than by pixel, a
//   Mandelbrot picture (3) 6 %, gradients (9) 4 %, as lookups whose pixel is
//   close in value to the one before miss the caches half as often. Where
//   neighbouring levels lie far apart it loses up to 7 % (a random walk
//   with steps of 17 levels and more).
// - SinglePixels (by pixel, confirmed) wins on noise (1.05 a code) by 10 to
//   15 %: a generation lasts some 4000 pixels there, and zeroing its
//   entries costs more than confirming each lookup. At 1.6 a code (the zoom
//   with noise of 2 levels) it is already 20 % slower than ShortStrings.
// The first generation of a picture is coded as if its strings were long.
GenerationWay WayAfter(int64_t pixels) {
    constexpr int64_t kCodes = kMaxCodes - kFirstFreeCode;
    if (pixels >= 12 * kCodes) return GenerationWay::LongStrings;
    if (4 * pixels >= 5 * kCodes) return GenerationWay::ShortStrings;
    return GenerationWay::SinglePixels;
}

// Codes pixels in one way until the table is full (true: the clear code
// written, the next string begun by one pixel) or until the picture ends
// (false: the last string still open in the state's prefix). Either way the
// generation's strings are forgotten before it returns, so the next call,
// here or for the next picture, may use any way.
//
// The state is copied into locals for the loop: the output bytes could alias
// the state and the table's record as far as the compiler knows, which would
// reload them after every store.
//
// Kept out of line: inlined, its three forms share one function's registers,
// and the packer's state went to the stack (10 % slower on a zoom).
template <class Layout, bool kConfirmed, uint32_t kFixedCodeLimit>
__attribute__((noinline)) bool CodeGeneration(CoderState* state, PixelCursor* cursor, LzwDictionary* shared) {
    const uint32_t codeLimit = kFixedCodeLimit != 0 ? kFixedCodeLimit : shared->codeLimit;
    LzwBeginGeneration<kConfirmed>(shared);
    LzwDictionary table = *shared;
    LzwDictionary* const dictionary = &table;
    const uint16_t* const codeOf = table.codeOf;
    CodePacker writer = state->writer;
    uint32_t codeWidth = state->codeWidth;
    uint32_t nextCode = state->nextCode;
    uint32_t nextEvent = state->nextEvent;
    uint32_t prefix = Layout::Slot(state->prefix);  // held as its slot
    PixelCursor at = *cursor;
    const uint8_t* pixel = at.pixel;
    const uint8_t* rowEnd = at.rowEnd;
    bool full = false;
    for (;;) {
        // Tested at the bottom, so that a string going on costs one branch
        // besides its lookup's.
        if (pixel < rowEnd) do {
            const uint32_t column = Layout::Column(codeLimit, *pixel);
            const uint32_t found = LzwColumnAddress(codeOf, column)[prefix];
            const uint32_t entry = column + prefix;
            if (LzwIsHit<Layout, kConfirmed>(dictionary, found, entry)) {
                prefix = found;
                continue;
            }
            writer.Put(Layout::CodeOf(prefix), codeWidth);
            LzwInsert<Layout>(dictionary, entry, nextCode);
            prefix = Layout::Slot(*pixel);
            if (++nextCode != nextEvent) continue;
            if (nextCode == kMaxCodes) {
                // Table full: a clear code, and the next generation starts
                // empty. A full table is never used on without one (a
                // deferred clear), which some decoders mishandle.
                writer.Put(kClearCode, codeWidth);
                codeWidth = kMinCodeSize + 1;
                nextCode = kFirstFreeCode;
                nextEvent = EventAfter(codeWidth);
                ++pixel;
                full = true;
                break;
            }
            ++codeWidth;
            nextEvent = EventAfter(codeWidth);
        } while (++pixel < rowEnd);
        if (full || rowEnd == at.lastRowEnd) break;
        pixel = rowEnd + at.gap;
        rowEnd = pixel + at.rowLength;
        ++at.rowsBefore;
    }
    at.pixel = pixel;
    at.rowEnd = rowEnd;
    *cursor = at;
    LzwEndGeneration<kConfirmed>(shared);
    *state = CoderState{writer, codeWidth, nextCode, nextEvent, Layout::CodeOf(prefix)};
    return full;
}

uint8_t* WriteImageData(uint8_t* out, const IndexImage& image, LzwDictionary* dictionary) {
    const uint64_t pixels = static_cast<uint64_t>(image.width) * static_cast<uint64_t>(image.height);
    uint8_t* const data = out + MaxBlockLengths(pixels);
    CoderState state{CodePacker{data, 0, 0}, kMinCodeSize + 1, kFirstFreeCode, 0, image.pixels[0]};
    state.nextEvent = EventAfter(state.codeWidth);
    state.writer.Put(kClearCode, state.codeWidth);

    const bool unbroken = image.stride == image.width;
    const int64_t rowLength = unbroken ? static_cast<int64_t>(pixels) : image.width;
    const uint8_t* const lastRow = unbroken ? image.pixels : image.pixels + (image.height - 1) * image.stride;
    PixelCursor cursor{image.pixels + 1, image.pixels + rowLength, lastRow + rowLength, rowLength,
                       image.stride - rowLength, 0};

    if (dictionary->codeLimit < kMaxCodes) {
        // A table sized to a small picture never fills.
        CodeGeneration<LzwByPixel, false, 0>(&state, &cursor, dictionary);
    } else {
        // The full table's width is a constant: a column is then shifts
        // rather than a multiplication.
        GenerationWay way = GenerationWay::LongStrings;
        for (;;) {
            const int64_t start = cursor.Position();
            bool full = false;
            switch (way) {
                case GenerationWay::LongStrings:
                    full = CodeGeneration<LzwByPixel, false, kMaxCodes>(&state, &cursor, dictionary);
                    break;
                case GenerationWay::ShortStrings:
                    full = CodeGeneration<LzwByPixelGroup, false, kMaxCodes>(&state, &cursor, dictionary);
                    break;
                case GenerationWay::SinglePixels:
                    full = CodeGeneration<LzwByPixel, true, kMaxCodes>(&state, &cursor, dictionary);
                    break;
            }
            if (!full) break;
            way = WayAfter(cursor.Position() - start);
        }
    }
    CodePacker& writer = state.writer;
    writer.Put(state.prefix, state.codeWidth);
    if (state.nextCode < kMaxCodes && ++state.nextCode == state.nextEvent && state.codeWidth < 12) ++state.codeWidth;
    writer.Put(kEndCode, state.codeWidth);
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
    // Only a table of the same code limit can serve again: its size and the
    // places of its entries follow from the limit. A table is left empty
    // after every picture, so a kept one needs no clearing.
    if (*slot != nullptr && (*slot)->codeLimit != codeLimit) {
        LzwDestroy(*slot);
        *slot = nullptr;
    }
    if (*slot == nullptr) *slot = LzwCreate(codeLimit);
    LzwDictionary* const dictionary = *slot;
    if (dictionary == nullptr) return 0;
    uint8_t* end = WriteHead(out, image.width, image.height, palette);
    end = WriteImageData(end, image, dictionary);
    LzwDestroy(own);
    *end++ = gif_layout::kTrailer;
    return static_cast<size_t>(end - out);
}
