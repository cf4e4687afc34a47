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

}  // namespace gif_limits
