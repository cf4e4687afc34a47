// YCbCr to BGR in 16.16 fixed point. BT.601, limited range:
//   R = 1.164383 (Y-16) + 1.596027 (Cr-128)
//   G = 1.164383 (Y-16) - 0.391762 (Cb-128) - 0.812968 (Cr-128)
//   B = 1.164383 (Y-16) + 2.017232 (Cb-128)
// BT.709, limited range: chroma weights 1.792741, 0.213249, 0.532909,
// 2.112402. Full range: Y unscaled and the chroma weights of the 0..255
// scale (BT.601: 1.402, 0.344136, 0.714136, 1.772; BT.709: 1.5748,
// 0.187324, 0.468124, 1.8556).
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

constexpr Matrix kLimited601 = {16, 76309, 104597, 25675, 53279, 132201};
constexpr Matrix kFull601 = {0, 65536, 91881, 22554, 46802, 116130};
constexpr Matrix kLimited709 = {16, 76309, 117489, 13975, 34925, 138438};
constexpr Matrix kFull709 = {0, 65536, 103206, 12276, 30679, 121609};

uint8_t Clamp(int32_t fixedValue) {
    const int32_t v = (fixedValue + 32768) >> 16;
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

}  // namespace

BgrPixel YuvToBgr(int y, int cb, int cr, ColourRange range, ColourMatrix matrix) {
    const bool full = range == ColourRange::Full;
    const Matrix& m = matrix == ColourMatrix::Bt709 ? (full ? kFull709 : kLimited709) : (full ? kFull601 : kLimited601);
    const int32_t luma = (y - m.yOffset) * m.yGain;
    const int32_t u = cb - 128;
    const int32_t v = cr - 128;
    return BgrPixel{Clamp(luma + m.cbToB * u), Clamp(luma - m.cbToG * u - m.crToG * v), Clamp(luma + m.crToR * v)};
}
