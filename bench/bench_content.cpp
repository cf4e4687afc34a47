// Benchmark frames. Integer arithmetic only, so that building them stays
// cheap even under valgrind.
#include "bench/bench_content.h"

#include "plugin/host_contract.h"

namespace {

// 0..255..0 over a period of 512.
inline uint8_t Triangle(int32_t t) {
    const int32_t phase = t & 511;
    const int32_t v = phase < 256 ? phase : 511 - phase;
    return static_cast<uint8_t>(v);
}

inline uint32_t NextRandom(uint32_t* state) {
    uint32_t x = *state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    *state = x;
    return x;
}

// Pixel (x, y) of the picture, y = 0 at the top.
inline uint8_t* HostPixel(std::vector<uint8_t>& frame, int width, int height, int x, int y) {
    return frame.data() + FrameRowOffset(width, height, y) + 3 * x;
}

void FillStatic(std::vector<uint8_t>& frame, int width, int height) {
    // A flat backdrop, a few flat panels and rows of text-like glyph blocks,
    // the way a title card or a screen recording looks.
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = HostPixel(frame, width, height, x, y);
            uint8_t b = 200, g = 120, r = 40;
            const int panel = (x / (width / 4 + 1)) + 4 * (y / (height / 3 + 1));
            if ((x % (width / 4 + 1)) > 16 && (y % (height / 3 + 1)) > 16 && panel % 3 != 0) {
                b = static_cast<uint8_t>(30 + 40 * panel);
                g = static_cast<uint8_t>(220 - 15 * panel);
                r = static_cast<uint8_t>(90 + 25 * panel);
                // Text lines inside the panel: 8x12 glyph cells, 1 pixel strokes.
                const int line = (y % (height / 3 + 1)) / 16;
                const int column = (x % (width / 4 + 1)) / 9;
                if (line % 2 == 1 && column % 7 != 0) {
                    uint32_t glyph = static_cast<uint32_t>(line * 131 + column * 31 + panel * 7);
                    glyph = glyph * 2654435761u;
                    const int gx = (x % (width / 4 + 1)) % 9;
                    const int gy = (y % (height / 3 + 1)) % 16;
                    if (gx < 8 && gy < 12 && ((glyph >> ((gx / 2) + 4 * (gy / 3))) & 1) != 0) {
                        b = g = r = 250;
                    }
                }
            }
            p[0] = b;
            p[1] = g;
            p[2] = r;
        }
    }
}

void FillZoom(std::vector<uint8_t>& frame, int width, int height, int index) {
    // Rings and bands that turn and grow a little every frame, in 16.16
    // fixed point: every pixel changes, neighbours stay close.
    const int32_t zoom = 65536 + index * 1311;  // 2% per frame
    const int32_t cosine = 65536 - index * index * 3;
    const int32_t sine = index * 1143;  // about one degree per frame
    const int cx = width / 2, cy = height / 2;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int64_t dx = x - cx, dy = y - cy;
            const int64_t u = ((dx * cosine - dy * sine) >> 16) * zoom >> 16;
            const int64_t v = ((dx * sine + dy * cosine) >> 16) * zoom >> 16;
            uint8_t* p = HostPixel(frame, width, height, x, y);
            p[0] = Triangle(static_cast<int32_t>(u));
            p[1] = Triangle(static_cast<int32_t>((u * u + v * v) >> 9));
            p[2] = Triangle(static_cast<int32_t>(v + u / 2));
        }
    }
}

void FillNoise(std::vector<uint8_t>& frame, int width, int height, int index) {
    uint32_t state = 0x9E3779B9u ^ static_cast<uint32_t>(index * 7919 + 1);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t bits = NextRandom(&state);
            uint8_t* p = HostPixel(frame, width, height, x, y);
            p[0] = static_cast<uint8_t>(bits);
            p[1] = static_cast<uint8_t>(bits >> 8);
            p[2] = static_cast<uint8_t>(bits >> 16);
        }
    }
}

}  // namespace

const char* ContentName(Content content) {
    switch (content) {
        case Content::Static: return "static";
        case Content::Zoom: return "zoom";
        case Content::Noise: return "noise";
    }
    return "?";
}

std::vector<uint8_t> MakeContentFrame(Content content, int width, int height, int index) {
    std::vector<uint8_t> frame(static_cast<size_t>(FrameStride(width) * height), 0);
    switch (content) {
        case Content::Static: FillStatic(frame, width, height); break;
        case Content::Zoom: FillZoom(frame, width, height, index); break;
        case Content::Noise: FillNoise(frame, width, height, index); break;
    }
    return frame;
}

OwnedIndexImage ConvertForEncoding(const std::vector<uint8_t>& frame, int width, int height) {
    OwnedIndexImage owned;
    owned.pixels.assign(static_cast<size_t>(4) * width * height, 0);
    owned.image = IndexImage{owned.pixels.data(), width, height, IndexStride(width)};
    ConvertPlain(frame.data(), width, height, &owned.image);
    return owned;
}

// Mask mode in its plainest form: a picture pixel is transparent
// when the three bytes of its mask pixel add up to 0.
__attribute__((optimize("no-tree-vectorize"))) void ConvertMaskedReference(const uint8_t* frame, int32_t width,
                                                                           int32_t height, IndexImage* destination) {
    const int32_t outWidth = OutWidth(width, true);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* picture = frame + FrameRowOffset(width, height, y);
        const uint8_t* mask = picture + 3 * outWidth;
        uint8_t* out = destination->pixels + y * destination->stride;
        for (int32_t x = 0; x < outWidth; ++x) {
            const uint32_t maskSum = mask[3 * x] + mask[3 * x + 1] + mask[3 * x + 2];
            out[x] = maskSum == 0 ? 0 : GrayLevel(picture[3 * x], picture[3 * x + 1], picture[3 * x + 2]);
        }
    }
}

__attribute__((optimize("no-tree-vectorize"))) void ConvertPlainReference(const uint8_t* frame, int32_t width,
                                                                          int32_t height, IndexImage* destination) {
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* source = frame + FrameRowOffset(width, height, y);
        uint8_t* out = destination->pixels + y * destination->stride;
        for (int32_t x = 0; x < width; ++x) {
            out[x] = GrayLevel(source[3 * x], source[3 * x + 1], source[3 * x + 2]);
        }
    }
}
