// The host frame every source fills: its size in bytes, the cap all
// sources share, and an allocation that refuses instead of throwing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A header can claim frames of up to 65535 x 65535 pixels (12 GiB); a
// frame buffer is capped well below that, so that a damaged or hostile
// header gets a refusal, not an exhausted machine.
constexpr uint64_t kMaxFrameBytes = uint64_t(1) << 30;

// Bytes of a host frame of WIDTH x HEIGHT (rows padded to 4 bytes); 0 above the cap.
size_t FrameBytes(int32_t width, int32_t height);
// The message that refuses such a frame.
std::string TooLarge(int32_t width, int32_t height);
// BUFFER sized to BYTES and zeroed; false with ERROR when memory is short.
bool Allocate(std::vector<uint8_t>* buffer, uint64_t bytes, std::string* error);
