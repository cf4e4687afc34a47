// Large blocks on Linux and other POSIX systems (pages.h): anonymous mmap,
// with madvise for huge pages where the system has them. Built with
// AddressSanitizer they come from calloc instead, so that the sanitizer
// still sees every overrun of a frame buffer and every block not freed.
#include "platform/pages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#define ROZOVE_PAGES_FROM_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ROZOVE_PAGES_FROM_HEAP 1
#endif
#endif

#ifdef ROZOVE_PAGES_FROM_HEAP

void* AllocatePages(size_t bytes) {
    return std::calloc(bytes ? bytes : 1, 1);
}

void FreePages(void* block, size_t) {
    std::free(block);
}

#else

namespace {

constexpr size_t kHugePage = size_t(2) << 20;

// A block of 2 MiB or more is a whole number of huge pages: a 1080p frame
// (5.93 MiB) as three huge pages, not two and 490 small ones.
size_t MappedBytes(size_t bytes) {
    const size_t page = bytes >= kHugePage ? kHugePage : static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return (bytes + page - 1) / page * page;
}

}  // namespace

// A block of 2 MiB or more is mapped 2 MiB longer than it needs and trimmed
// to start on a 2 MiB boundary: only whole, aligned 2 MiB stretches can be
// huge pages.
void* AllocatePages(size_t bytes) {
    if (bytes == 0 || bytes > SIZE_MAX - 2 * kHugePage) return nullptr;
    const size_t length = MappedBytes(bytes);
    const size_t slack = bytes >= kHugePage ? kHugePage : 0;
    void* mapped = mmap(nullptr, length + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    if (slack == 0) return mapped;
    const uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned = (start + kHugePage - 1) & ~(uintptr_t(kHugePage) - 1);
    if (aligned > start) munmap(mapped, aligned - start);
    const size_t tail = start + slack - aligned;
    if (tail > 0) munmap(reinterpret_cast<void*>(aligned + length), tail);
#ifdef MADV_HUGEPAGE
    madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);  // a hint: refused, it is small pages
#endif
    return reinterpret_cast<void*>(aligned);
}

void FreePages(void* block, size_t bytes) {
    if (block != nullptr) munmap(block, MappedBytes(bytes));
}

#endif
