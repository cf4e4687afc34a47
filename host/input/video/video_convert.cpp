// A decoded frame into the host frame: libswscale scales it to the planned
// size (before it is turned) and turns it into 24-bit BGR by the stream's
// matrix and range, into a staging buffer whose pixels are then laid into
// the host frame, bottom-up and turned as the display matrix asks: a
// quarter turn or a flip is an exact move of whole pixels, so it is done
// here rather than by a filter.
//
// Colour: the stream's matrix (BT.601, BT.709, BT.2020, SMPTE 240M, FCC)
// and range (limited or full) are honoured. A stream that names no matrix
// is taken as BT.709 when it is HD (wider than 1024 or taller than 576
// pixels) and BT.601 otherwise, as players do; one that names no range is
// limited, except the JPEG-style formats, which are full by definition. RGB
// streams are taken as they are; 10-bit and deeper ones work. Alpha is ignored: the colour planes are
// delivered as they are, as `ffmpeg -pix_fmt bgr24` does.
#include <cstring>

extern "C" {
#include <libavutil/pixdesc.h>
}

#include "host/input/video/video_decoder_state.h"
#include "plugin/host_contract.h"

namespace {

// The matrix for the scaler's tables. Unnamed: BT.709 for HD, BT.601 below.
int ScalerColourSpace(AVColorSpace space, int width, int height) {
    switch (space) {
        case AVCOL_SPC_BT709: return SWS_CS_ITU709;
        case AVCOL_SPC_FCC: return SWS_CS_FCC;
        case AVCOL_SPC_BT470BG:
        case AVCOL_SPC_SMPTE170M: return SWS_CS_ITU601;
        case AVCOL_SPC_SMPTE240M: return SWS_CS_SMPTE240M;
        // Constant luminance is not a matrix; its non-constant twin is near.
        case AVCOL_SPC_BT2020_NCL:
        case AVCOL_SPC_BT2020_CL: return SWS_CS_BT2020;
        default: return width > 1024 || height > 576 ? SWS_CS_ITU709 : SWS_CS_ITU601;
    }
}

bool IsJpegFormat(AVPixelFormat format) {
    return format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P || format == AV_PIX_FMT_YUVJ444P ||
           format == AV_PIX_FMT_YUVJ440P || format == AV_PIX_FMT_YUVJ411P;
}

// Sets the scaler up for FRAME's layout unless it already is: a stream may
// change size midway.
bool PrepareScaler(Scaler* scaler, const VideoPlan& plan, const AVFrame* frame) {
    const AVPixelFormat format = static_cast<AVPixelFormat>(frame->format);
    const int range = frame->color_range == AVCOL_RANGE_JPEG ||
                              (frame->color_range != AVCOL_RANGE_MPEG && IsJpegFormat(format))
                          ? 1 : 0;
    const int space = ScalerColourSpace(frame->colorspace, frame->width, frame->height);
    if (scaler->context != nullptr && frame->width == scaler->width && frame->height == scaler->height &&
        format == scaler->format && space == scaler->space && range == scaler->range) {
        return true;
    }
    // Chroma interpolated to every pixel; SWS_ACCURATE_RND would gain under
    // one level in 255 at several times the cost (docs/performance.md).
    const bool turned = plan.orientation.transpose;
    scaler->context.reset(sws_getContext(frame->width, frame->height, format, turned ? plan.height : plan.width,
                                         turned ? plan.width : plan.height, AV_PIX_FMT_BGR24,
                                         SWS_BICUBIC | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr));
    if (scaler->context == nullptr) return false;
    const AVPixFmtDescriptor* description = av_pix_fmt_desc_get(format);
    // RGB sources carry no matrix; the output is full-range RGB.
    if (description != nullptr && (description->flags & AV_PIX_FMT_FLAG_RGB) == 0) {
        sws_setColorspaceDetails(scaler->context.get(), sws_getCoefficients(space), range,
                                 sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    }
    scaler->width = frame->width;
    scaler->height = frame->height;
    scaler->format = format;
    scaler->space = space;
    scaler->range = range;
    return true;
}

// Lays the staging picture (top-down, as scaled before turning) into the
// host frame at PIXELS (WIDTH x HEIGHT as shown, bottom-up), turned as TURN says.
void LayTurned(const uint8_t* staging, int stagingStride, const Orientation& turn, int32_t width, int32_t height,
               uint8_t* pixels) {
    const int32_t storedWidth = turn.transpose ? height : width;
    const int32_t storedHeight = turn.transpose ? width : height;
    const size_t stride = static_cast<size_t>(FrameStride(width));
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = pixels + static_cast<size_t>(height - 1 - y) * stride;
        for (int32_t x = 0; x < width; ++x) {
            int32_t u = turn.transpose ? y : x;
            int32_t v = turn.transpose ? x : y;
            if (turn.flipX) u = storedWidth - 1 - u;
            if (turn.flipY) v = storedHeight - 1 - v;
            std::memcpy(row + 3 * static_cast<size_t>(x), staging + static_cast<size_t>(v) * stagingStride + 3 * u, 3);
        }
    }
}

}  // namespace

bool ConvertFrame(Scaler* scaler, const VideoPlan& plan, const AVFrame* frame, uint8_t* pixels) {
    if (!PrepareScaler(scaler, plan, frame)) return false;
    const Orientation& turn = plan.orientation;
    const int32_t width = turn.transpose ? plan.height : plan.width;    // as scaled
    const int32_t height = turn.transpose ? plan.width : plan.height;
    // The scaler writes into a staging frame with room to spare at the end
    // of each row: its vector converters work in blocks of pixels and skip
    // a row's last few pixels (up to 15) when the row's stride leaves no
    // room for a whole block, as the host frame's tight rows do. The rows
    // are then copied bottom-up into the host frame, padding untouched.
    const size_t rowBytes = 3 * static_cast<size_t>(width);
    if (scaler->staging == nullptr) {
        scaler->stagingStride = static_cast<int>(((rowBytes + 3 * 32) + 63) / 64 * 64);
        scaler->staging.reset(static_cast<uint8_t*>(av_malloc(static_cast<size_t>(scaler->stagingStride) * height)));
        if (scaler->staging == nullptr) return false;
    }
    uint8_t* rows[4] = {scaler->staging.get(), nullptr, nullptr, nullptr};
    const int strides[4] = {scaler->stagingStride, 0, 0, 0};
    if (sws_scale(scaler->context.get(), frame->data, frame->linesize, 0, frame->height, rows, strides) != height) {
        return false;
    }
    if (turn.transpose || turn.flipX || turn.flipY) {
        LayTurned(scaler->staging.get(), scaler->stagingStride, turn, plan.width, plan.height, pixels);
        return true;
    }
    const size_t stride = static_cast<size_t>(FrameStride(width));
    for (int32_t y = 0; y < height; ++y) {
        std::memcpy(pixels + static_cast<size_t>(height - 1 - y) * stride,
                    scaler->staging.get() + static_cast<size_t>(y) * scaler->stagingStride, rowBytes);
    }
    return true;
}
