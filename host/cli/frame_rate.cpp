// The limits of a GIF's frame delays, told in the user's own terms.
#include "host/cli/frame_rate.h"

#include <cstdio>

#include "gif/gif_limits.h"
#include "host/cli/report.h"

using gif_limits::kMaxDelayHundredths;
using gif_limits::kMaxRate;
using gif_limits::kMaxSmoothRate;

std::string PlainRate(int32_t rate, int32_t scale) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(rate) / scale);
    std::string plain = text;
    while (plain.back() == '0') plain.pop_back();
    if (plain.back() == '.') plain.pop_back();
    // A rate below a thousandth still reads as what it is, not as 0.
    return plain == "0" ? std::to_string(rate) + "/" + std::to_string(scale) : plain;
}

std::string RateRefusal(int32_t rate, int32_t scale) {
    if (static_cast<int64_t>(rate) > kMaxRate * scale) {
        return PlainRate(rate, scale) +
               " frames per second: a GIF frame lasts at least a hundredth of a second, so at most 100 frames a "
               "second can be shown; lower the rate, e.g. with --fps 25";
    }
    if (static_cast<int64_t>(scale) * 100 > kMaxDelayHundredths * rate) {
        return PlainRate(rate, scale) +
               " frames per second: a GIF frame can be shown for at most 655.35 s, so the rate must be at least "
               "0.0016 frames a second";
    }
    return std::string();
}

void WarnAboutRate(int32_t rate, int32_t scale) {
    if (static_cast<int64_t>(rate) <= kMaxSmoothRate * scale) return;
    Warn(PlainRate(rate, scale) +
         " frames per second: many viewers and browsers show a frame shorter than 2 hundredths of a second "
         "for a tenth, so this GIF plays slowly there; lower the rate, e.g. with --fps 25 or ffmpeg -r 25");
}
