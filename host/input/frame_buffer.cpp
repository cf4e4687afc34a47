// Frame sizes and buffers for every frame source.
#include "host/input/frame_buffer.h"

#include "platform/pages.h"
#include "plugin/host_contract.h"

void* AllocateFrameMemory(size_t bytes) {
    if (bytes >= kPagesFrom) return AllocatePages(bytes);
    return std::calloc(bytes ? bytes : 1, 1);
}

void FreeFrameMemory(void* block, size_t bytes) {
    if (bytes >= kPagesFrom) {
        FreePages(block, bytes);
    } else {
        std::free(block);
    }
}

size_t FrameBytes(int32_t width, int32_t height) {
    const uint64_t bytes = static_cast<uint64_t>(FrameStride(width)) * static_cast<uint64_t>(height);
    return bytes > kMaxFrameBytes || bytes > SIZE_MAX / 2 ? 0 : static_cast<size_t>(bytes);
}

std::string TooLarge(int32_t width, int32_t height) {
    return "frames of " + std::to_string(width) + "x" + std::to_string(height) +
           " are too large (more than 1 GiB each)";
}

std::string OutOfMemory(uint64_t bytes) {
    return "a frame of " + std::to_string(bytes) + " bytes does not fit in memory";
}
