// Large blocks straight from the system, not the heap, for the frame
// buffers of rozove and the Linux module's stand-ins: zero-filled by the
// system as it hands the pages over (no pass of ours over them) and given
// back whole when freed. On Linux a block of 2 MiB or more is whole huge
// pages on a 2 MiB boundary (its length rounded up to 2 MiB), asked for
// with madvise, so that it is faulted in 2 MiB at a time instead of 4 KiB
// (a 1080p frame buffer is some 1,500 small pages; docs/performance.md).
// pages_posix.cpp and pages_win32.cpp each answer it.
#pragma once

#include <cstddef>

// From this size up a block is worth the system's own pages; smaller ones
// come from the heap, where they are cheaper.
constexpr size_t kPagesFrom = size_t(256) << 10;

// Null when memory is short.
void* AllocatePages(size_t bytes);
// BLOCK from AllocatePages with the same BYTES; null is ignored.
void FreePages(void* block, size_t bytes);
