// Gray palette and frame conversion: SSE2 where the compiler offers it,
// with the same results bit for bit as GrayLevel, which stays the reference.
#include "gif/gray_convert.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "plugin/host_contract.h"

GrayPalette BuildGrayPalette() {
    GrayPalette palette;
    palette.flags = 0;
    palette.count = 256;
    palette.entries[0] = 0x00000000u;  // black with alpha 0: the transparent colour
    for (uint32_t i = 1; i < 256; ++i) palette.entries[i] = 0xFF000000u | (i * 0x010101u);
    return palette;
}

int32_t OutWidth(int32_t frameWidth, bool maskMode) {
    return maskMode ? frameWidth / 2 : frameWidth;
}

int64_t IndexStride(int32_t outWidth) {
    return ((static_cast<int64_t>(outWidth) + 3) / 4) * 4;
}

namespace {

// Source row feeding output row y: host frames are stored bottom-up.
const uint8_t* SourceRow(const uint8_t* frame, int32_t width, int32_t height, int32_t y) {
    return frame + FrameRowOffset(width, height, y);
}

// Scalar forms: the reference, and the tails of rows the vector forms leave.
void ConvertRowScalar(const uint8_t* __restrict source, uint8_t* __restrict out, int32_t count) {
    for (int32_t x = 0; x < count; ++x) {
        out[x] = GrayLevel(source[3 * x], source[3 * x + 1], source[3 * x + 2]);
    }
}

void ConvertMaskedRowScalar(const uint8_t* __restrict picture, const uint8_t* __restrict mask,
                            uint8_t* __restrict out, int32_t count) {
    for (int32_t x = 0; x < count; ++x) {
        uint8_t level = GrayLevel(picture[3 * x], picture[3 * x + 1], picture[3 * x + 2]);
        // Only pure black in the mask makes the pixel transparent.
        bool black = (mask[3 * x] | mask[3 * x + 1] | mask[3 * x + 2]) == 0;
        out[x] = black ? 0 : level;
    }
}

#if defined(__SSE2__)
// 16 pixels at a time with SSE2, which both targets have (x86-64 always,
// the 32-bit build by its compile options). Compilers do not vectorise the
// scalar loop here: its three-byte pixels need byte shuffles that SSE2
// lacks, so the channels are pulled apart with unpacks instead.

struct Planes {
    __m128i blue, green, red;
};

// 48 bytes of blue-green-red into one register per channel: four rounds of
// interleaving the two halves of each register with the next.
inline Planes LoadPixels(const uint8_t* source) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 16));
    __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 32));
    for (int round = 0; round < 4; ++round) {
        const __m128i x = _mm_unpacklo_epi8(a, _mm_unpackhi_epi64(b, b));
        const __m128i y = _mm_unpacklo_epi8(_mm_unpackhi_epi64(a, a), c);
        const __m128i z = _mm_unpacklo_epi8(b, _mm_unpackhi_epi64(c, c));
        a = x;
        b = y;
        c = z;
    }
    return Planes{a, b, c};
}

// The weights, one register each. The empty asm statements hide their
// values from the optimiser, which would otherwise turn each multiplication
// into a longer run of shifts and additions.
struct Weights {
    __m128i blue, green, red, half, one;
};

inline Weights LoadWeights() {
    Weights w{_mm_set1_epi16(29), _mm_set1_epi16(150), _mm_set1_epi16(87), _mm_set1_epi16(128), _mm_set1_epi8(1)};
#if defined(__GNUC__)
    __asm__("" : "+x"(w.blue), "+x"(w.green), "+x"(w.red));
#endif
    return w;
}

// The gray level of 8 pixels in 16-bit lanes. 29 b + 150 g + 128 is at most
// 45773 and 87 r at most 22185; their saturating sum is exact up to 65535
// and 65535 past it, and every sum of 65280 or more is level 255 anyway,
// so the clamp at 255 comes for free.
inline __m128i Levels8(const Weights& w, __m128i blue, __m128i green, __m128i red) {
    const __m128i partial =
        _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(blue, w.blue), _mm_mullo_epi16(green, w.green)), w.half);
    const __m128i sum = _mm_adds_epu16(partial, _mm_mullo_epi16(red, w.red));
    return _mm_srli_epi16(sum, 8);
}

inline __m128i Levels16(const Weights& w, const Planes& p) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = Levels8(w, _mm_unpacklo_epi8(p.blue, zero), _mm_unpacklo_epi8(p.green, zero),
                                _mm_unpacklo_epi8(p.red, zero));
    const __m128i high = Levels8(w, _mm_unpackhi_epi8(p.blue, zero), _mm_unpackhi_epi8(p.green, zero),
                                 _mm_unpackhi_epi8(p.red, zero));
    // Level 0 is the transparent index: the darkest opaque gray is 1.
    return _mm_max_epu8(_mm_packus_epi16(low, high), w.one);
}

void ConvertRow(const uint8_t* source, uint8_t* out, int32_t count) {
    const Weights weights = LoadWeights();
    int32_t x = 0;
    for (; x + 16 <= count; x += 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), Levels16(weights, LoadPixels(source + 3 * x)));
    }
    ConvertRowScalar(source + 3 * x, out + x, count - x);
}

void ConvertMaskedRow(const uint8_t* picture, const uint8_t* mask, uint8_t* out, int32_t count) {
    const Weights weights = LoadWeights();
    int32_t x = 0;
    const __m128i zero = _mm_setzero_si128();
    for (; x + 16 <= count; x += 16) {
        const __m128i levels = Levels16(weights, LoadPixels(picture + 3 * x));
        const Planes m = LoadPixels(mask + 3 * x);
        const __m128i black = _mm_cmpeq_epi8(_mm_or_si128(_mm_or_si128(m.blue, m.green), m.red), zero);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_andnot_si128(black, levels));
    }
    ConvertMaskedRowScalar(picture + 3 * x, mask + 3 * x, out + x, count - x);
}
#else
void ConvertRow(const uint8_t* source, uint8_t* out, int32_t count) {
    ConvertRowScalar(source, out, count);
}

void ConvertMaskedRow(const uint8_t* picture, const uint8_t* mask, uint8_t* out, int32_t count) {
    ConvertMaskedRowScalar(picture, mask, out, count);
}
#endif

}  // namespace

void ConvertPlain(const uint8_t* frame, int32_t width, int32_t height, IndexImage* destination) {
    for (int32_t y = 0; y < height; ++y) {
        ConvertRow(SourceRow(frame, width, height, y), destination->pixels + y * destination->stride,
                   width);
    }
}

void ConvertMasked(const uint8_t* frame, int32_t width, int32_t height, IndexImage* destination) {
    const int32_t outWidth = OutWidth(width, true);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = SourceRow(frame, width, height, y);
        // With an odd width the last column belongs to neither half.
        ConvertMaskedRow(row, row + 3 * static_cast<int64_t>(outWidth),
                         destination->pixels + y * destination->stride, outWidth);
    }
}
