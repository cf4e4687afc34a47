// Y4M header parsing and frame conversion. Parameters are blank-separated
// tokens whose first letter names them; unknown ones are ignored, as the
// format asks.
#include "host/input/y4m_format.h"

#include <cstring>

#include "gif/gif_limits.h"
#include "host/common/numbers.h"
#include "host/common/printable.h"
#include "plugin/host_contract.h"

const char kY4mSignature[] = "YUV4MPEG2 ";

namespace {

using gif_limits::kMaxSide;

bool ParsePositive(const std::string& text, int32_t* value) {
    int64_t v = 0;
    if (!ParseWhole(text, 1, INT32_MAX, &v)) return false;
    *value = static_cast<int32_t>(v);
    return true;
}

bool ParseColourSpace(const std::string& value, ChromaLayout* chroma) {
    if (value == "420" || value == "420jpeg" || value == "420paldv" || value == "420mpeg2") {
        *chroma = ChromaLayout::Yuv420;
    } else if (value == "422") {
        *chroma = ChromaLayout::Yuv422;
    } else if (value == "444") {
        *chroma = ChromaLayout::Yuv444;
    } else if (value == "mono") {
        *chroma = ChromaLayout::Mono;
    } else {
        return false;
    }
    return true;
}

// Chroma plane size for the layout: 4:2:0 halves both sides, 4:2:2 only
// the width, rounding up so that an odd last column or row has a sample.
void ChromaSize(const Y4mHeader& header, uint64_t* width, uint64_t* height) {
    const uint64_t w = static_cast<uint64_t>(header.width);
    const uint64_t h = static_cast<uint64_t>(header.height);
    switch (header.chroma) {
        case ChromaLayout::Mono: *width = 0; *height = 0; break;
        case ChromaLayout::Yuv420: *width = (w + 1) / 2; *height = (h + 1) / 2; break;
        case ChromaLayout::Yuv422: *width = (w + 1) / 2; *height = h; break;
        case ChromaLayout::Yuv444: *width = w; *height = h; break;
    }
}

bool ParseSide(const std::string& value, char letter, const char* what, int32_t* side, std::string* error) {
    if (ParsePositive(value, side) && *side <= kMaxSide) return true;
    *error = std::string("bad ") + what + " " + letter + Printable(value) + " (a whole number from 1 to 65535)";
    return false;
}

// One parameter token; false with ERROR when it refuses the stream.
// The text goes into messages with control characters shown escaped.
bool ParseToken(const std::string& token, Y4mHeader* h, std::string* error) {
    const std::string value = token.substr(1);
    const std::string shown = Printable(value);
    switch (token[0]) {
        case 'W': return ParseSide(value, 'W', "width", &h->width, error);
        case 'H': return ParseSide(value, 'H', "height", &h->height, error);
        case 'F': {
            const size_t colon = value.find(':');
            if (colon != std::string::npos && ParsePositive(value.substr(0, colon), &h->rate) &&
                ParsePositive(value.substr(colon + 1), &h->scale)) {
                return true;
            }
            *error = "bad frame rate F" + shown +
                     " (expected F<rate>:<scale>, each a whole number from 1 to 2147483647)";
            return false;
        }
        case 'I':
            h->interlaced = value == "t" || value == "b" || value == "m";
            if (h->interlaced || value == "p" || value == "?") return true;
            *error = "unknown interlacing I" + shown + " (Ip, It, Ib, Im or I?)";
            return false;
        case 'C':
            if (ParseColourSpace(value, &h->chroma)) return true;
            *error = "colour space C" + shown +
                     " is not supported (4:2:0, 4:2:2, 4:4:4 or mono at 8 bits; convert with ffmpeg -pix_fmt yuv420p)";
            return false;
        case 'X':
            if (value == "COLORRANGE=FULL") h->range = ColourRange::Full;
            if (value == "COLORRANGE=LIMITED") h->range = ColourRange::Limited;
            return true;
        default: return true;  // A (aspect) and anything unknown
    }
}

}  // namespace

bool ParseY4mHeader(const std::string& line, Y4mHeader* header, std::string* error) {
    const size_t signatureLength = std::strlen(kY4mSignature);
    if (line.compare(0, signatureLength, kY4mSignature) != 0) {
        *error = "not a Y4M stream (it does not start with \"YUV4MPEG2 \")";
        return false;
    }
    Y4mHeader h = {0, 0, 0, 0, ChromaLayout::Yuv420, ColourRange::Limited, false};
    size_t pos = signatureLength;
    while (pos < line.size()) {
        size_t end = line.find(' ', pos);
        if (end == std::string::npos) end = line.size();
        const std::string token = line.substr(pos, end - pos);
        pos = end + 1;
        if (!token.empty() && !ParseToken(token, &h, error)) return false;
    }
    if (h.width == 0 || h.height == 0 || h.rate == 0) {
        *error = std::string("the Y4M header lacks its ") +
                 (h.width == 0 ? "width (W)" : h.height == 0 ? "height (H)" : "frame rate (F)");
        return false;
    }
    *header = h;
    return true;
}

bool IsY4mFrameHeader(const std::string& line) {
    return line.compare(0, 5, "FRAME") == 0 && (line.size() == 5 || line[5] == ' ');
}

uint64_t Y4mFrameBytes(const Y4mHeader& header) {
    uint64_t chromaWidth = 0;
    uint64_t chromaHeight = 0;
    ChromaSize(header, &chromaWidth, &chromaHeight);
    return static_cast<uint64_t>(header.width) * static_cast<uint64_t>(header.height) +
           2 * chromaWidth * chromaHeight;
}

void ConvertY4mFrame(const Y4mHeader& header, const uint8_t* planes, uint8_t* frame) {
    uint64_t chromaWidth = 0;
    uint64_t chromaHeight = 0;
    ChromaSize(header, &chromaWidth, &chromaHeight);
    const size_t width = static_cast<size_t>(header.width);
    const size_t height = static_cast<size_t>(header.height);
    const uint8_t* lumaPlane = planes;
    const uint8_t* cbPlane = planes + width * height;
    const uint8_t* crPlane = cbPlane + chromaWidth * chromaHeight;
    const bool halfWidth = header.chroma == ChromaLayout::Yuv420 || header.chroma == ChromaLayout::Yuv422;
    const bool halfHeight = header.chroma == ChromaLayout::Yuv420;
    // Y4M names no matrix: the rule for untagged video, as FFmpeg's route takes it.
    const ColourMatrix matrix = UntaggedMatrix(header.width, header.height);

    for (size_t y = 0; y < height; ++y) {
        const uint8_t* luma = lumaPlane + y * width;
        // The host frame is stored bottom-up.
        uint8_t* out = frame + FrameRowOffset(header.width, header.height, static_cast<int32_t>(y));
        if (header.chroma == ChromaLayout::Mono) {
            for (size_t x = 0; x < width; ++x) {
                const BgrPixel p = YuvToBgr(luma[x], 128, 128, header.range, matrix);
                out[3 * x] = p.b;
                out[3 * x + 1] = p.g;
                out[3 * x + 2] = p.r;
            }
            continue;
        }
        const size_t chromaRow = (halfHeight ? y / 2 : y) * chromaWidth;
        const uint8_t* cb = cbPlane + chromaRow;
        const uint8_t* cr = crPlane + chromaRow;
        for (size_t x = 0; x < width; ++x) {
            const size_t c = halfWidth ? x / 2 : x;
            const BgrPixel p = YuvToBgr(luma[x], cb[c], cr[c], header.range, matrix);
            out[3 * x] = p.b;
            out[3 * x + 1] = p.g;
            out[3 * x + 2] = p.r;
        }
    }
}
