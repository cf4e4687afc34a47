// BT.601 YCbCr to BGR in 16.16 fixed point. Limited range:
//   R = 1.164383 (Y-16) + 1.596027 (Cr-128)
//   G = 1.164383 (Y-16) - 0.391762 (Cb-128) - 0.812968 (Cr-128)
//   B = 1.164383 (Y-16) + 2.017232 (Cb-128)
// Full range: the same with Y unscaled and the chroma weights of the
// 0..255 scale (1.402, 0.344136, 0.714136, 1.772).
#include "host/input/yuv_to_bgr.h"

namespace {

struct Matrix {
    int yOffset;
    int32_t yGain;
    int32_t crToR;
    int32_t cbToG;
    int32_t crToG;
    int32_t cbToB;
};

constexpr Matrix kLimited = {16, 76309, 104597, 25675, 53279, 132201};
constexpr Matrix kFull = {0, 65536, 91881, 22554, 46802, 116130};

uint8_t Clamp(int32_t fixedValue) {
    const int32_t v = (fixedValue + 32768) >> 16;
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

}  // namespace

BgrPixel YuvToBgr(int y, int cb, int cr, ColourRange range) {
    const Matrix& m = range == ColourRange::Full ? kFull : kLimited;
    const int32_t luma = (y - m.yOffset) * m.yGain;
    const int32_t u = cb - 128;
    const int32_t v = cr - 128;
    return BgrPixel{Clamp(luma + m.cbToB * u), Clamp(luma - m.cbToG * u - m.crToG * v), Clamp(luma + m.crToR * v)};
}
