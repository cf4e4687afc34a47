// Limits the GIF format sets (GIF89a), held once for the encoder, the frame
// encoder, the LZW dictionary and rozove's input readers.
#pragma once

#include <cstdint>

namespace gif_limits {

// Logical screen and image descriptors store width and height in 16 bits
// (sections 18 and 20).
constexpr int32_t kMaxSide = 65535;

// LZW codes are at most 12 bits (appendix F), so a table holds at most 4096.
constexpr uint32_t kMaxCodes = 4096;

// A frame's delay is 16 bits of hundredths of a second (section 23), so a
// frame lasts a hundredth at least (100 a second) and 655.35 s at most.
// Frames of two hundredths or more (50 a second or fewer) play smoothly:
// many viewers stretch delays below that.
constexpr int64_t kMaxDelayHundredths = 65535;
constexpr int64_t kMaxRate = 100;
constexpr int64_t kMaxSmoothRate = 50;

}  // namespace gif_limits
