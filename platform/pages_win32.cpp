// Large blocks on Windows (pages.h): VirtualAlloc's committed pages, which
// the system zero-fills.
#include "platform/pages.h"

#include <windows.h>

void* AllocatePages(size_t bytes) {
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void FreePages(void* block, size_t) {
    if (block != nullptr) VirtualFree(block, 0, MEM_RELEASE);
}
