// The host frame every source fills: its size in bytes, the cap all
// sources share, the buffer type frames live in, and an allocation that
// refuses instead of throwing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <utility>
#include <vector>

// A header can claim frames of up to 65535 x 65535 pixels (12 GiB); a
// frame buffer is capped well below that, so that a damaged or hostile
// header gets a refusal, not an exhausted machine.
constexpr uint64_t kMaxFrameBytes = uint64_t(1) << 30;

// Memory for frame buffers that comes zero-filled without a pass of ours:
// large blocks are pages straight from the system (platform/pages.h:
// zero-filled as they are faulted in, in huge pages on Linux), small ones
// calloc's. Zeroing a large frame ourselves is a pass over it that also
// faults its pages in one by one (docs/performance.md). So that nothing is zeroed twice,
// a vector over it leaves the elements that resize adds as they are (the
// zeroes the block came with): a buffer sized once from empty is all
// zeroes, which is how Allocate sizes them.
void* AllocateFrameMemory(size_t bytes);
void FreeFrameMemory(void* block, size_t bytes);

template <typename T>
struct FrameAllocator {
    using value_type = T;
    FrameAllocator() = default;
    template <typename U>
    FrameAllocator(const FrameAllocator<U>&) {}
    T* allocate(size_t count) {
        if (count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        void* block = AllocateFrameMemory(count * sizeof(T));
        if (block == nullptr) throw std::bad_alloc();
        return static_cast<T*>(block);
    }
    void deallocate(T* block, size_t count) { FreeFrameMemory(block, count * sizeof(T)); }
    template <typename U>
    void construct(U* at) {
        ::new (static_cast<void*>(at)) U;  // default: keeps the block's zeroes
    }
    template <typename U, typename... Args>
    void construct(U* at, Args&&... args) {
        ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
    }
};
template <typename T, typename U>
bool operator==(const FrameAllocator<T>&, const FrameAllocator<U>&) {
    return true;
}
template <typename T, typename U>
bool operator!=(const FrameAllocator<T>&, const FrameAllocator<U>&) {
    return false;
}

using FramePixels = std::vector<uint8_t, FrameAllocator<uint8_t>>;

// Bytes of a host frame of WIDTH x HEIGHT (rows padded to 4 bytes); 0 above the cap.
size_t FrameBytes(int32_t width, int32_t height);
// The message that refuses such a frame.
std::string TooLarge(int32_t width, int32_t height);
// The message that refuses a buffer of BYTES for want of memory.
std::string OutOfMemory(uint64_t bytes);

// BUFFER (a FramePixels, or any vector of bytes), whatever it held,
// released and taken anew: BYTES, all zero; false with ERROR when memory
// is short. A FramePixels is sized from empty, so its zeroes are the
// block's own and nothing is written to it here.
template <typename Buffer>
bool Allocate(Buffer* buffer, uint64_t bytes, std::string* error) {
    Buffer().swap(*buffer);
    try {
        if (bytes == 0 || bytes > SIZE_MAX / 2) throw std::bad_alloc();
        buffer->resize(static_cast<size_t>(bytes));
        return true;
    } catch (const std::bad_alloc&) {
        *error = OutOfMemory(bytes);
        return false;
    }
}
