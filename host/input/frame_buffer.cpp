// Frame sizes and buffers for every frame source.
#include "host/input/frame_buffer.h"

#include <new>

#include "plugin/host_contract.h"

size_t FrameBytes(int32_t width, int32_t height) {
    const uint64_t bytes = static_cast<uint64_t>(FrameStride(width)) * static_cast<uint64_t>(height);
    return bytes > kMaxFrameBytes || bytes > SIZE_MAX / 2 ? 0 : static_cast<size_t>(bytes);
}

std::string TooLarge(int32_t width, int32_t height) {
    return "frames of " + std::to_string(width) + "x" + std::to_string(height) +
           " are too large (more than 1 GiB each)";
}

bool Allocate(std::vector<uint8_t>* buffer, uint64_t bytes, std::string* error) {
    try {
        if (bytes == 0 || bytes > SIZE_MAX / 2) throw std::bad_alloc();
        buffer->assign(static_cast<size_t>(bytes), 0);
        return true;
    } catch (const std::bad_alloc&) {
        *error = "a frame of " + std::to_string(bytes) + " bytes does not fit in memory";
        return false;
    }
}
