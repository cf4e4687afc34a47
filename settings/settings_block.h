// The settings block: the 8 bytes the host application reads from the module
// (the settings read entry), keeps with its project and hands back (the
// settings write entry) before a job. The module and rozove both read and
// write it through this header, so they agree on every byte. Each field is
// a signed 32-bit number stored little-endian, byte by byte, whatever the
// machine's own order.
#pragma once

#include <cstddef>
#include <cstdint>

namespace settings_block {

constexpr size_t kUseRightHalfAsMask = 0;  // bytes 0..3
constexpr size_t kLoopCount = 4;           // bytes 4..7
constexpr int32_t kBytes = 8;
static_assert(kLoopCount + 4 == static_cast<size_t>(kBytes), "two 32-bit fields fill the block");

struct Values {
    int32_t useRightHalfAsMask;
    int32_t loopCount;
};

inline void PutInt32(uint8_t* out, int32_t value) {
    const uint32_t bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));
}

inline int32_t GetInt32(const uint8_t* in) {
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(in[i]) << (8 * i);
    return static_cast<int32_t>(bits);
}

// OUT holds at least kBytes bytes.
inline void Write(const Values& values, uint8_t* out) {
    PutInt32(out + kUseRightHalfAsMask, values.useRightHalfAsMask);
    PutInt32(out + kLoopCount, values.loopCount);
}

// IN holds at least kBytes bytes.
inline Values Read(const uint8_t* in) {
    return Values{GetInt32(in + kUseRightHalfAsMask), GetInt32(in + kLoopCount)};
}

}  // namespace settings_block
