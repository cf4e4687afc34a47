// Global memory blocks. A fixed block's handle is its address; a movable
// block's handle stays put while its bytes may move as a stream grows it.
// A block asked for zero-filled is not zeroed by default: its one user,
// the frame encoder's index buffer (4 bytes a pixel, 8 MB a 1080p frame,
// zeroed anew for every frame: a large share of a job's time), has every
// byte it reads written first; the tests hold it to that by filling such
// blocks with a pattern instead and comparing the output with zeroed ones.
// Large blocks come from the system's pages and are kept for the next
// frame's (see KeptBlocks).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <unordered_map>

#include "platform/linux/stand_in_control.h"
#include "platform/linux/stand_in_internal.h"
#include "platform/pages.h"

namespace {

struct Block {
    void* data;
    size_t size;
    bool movable;
    size_t pages;  // the bytes of a block from the system's pages, 0 for a heap block
};

std::unordered_map<void*, Block>& Blocks() {
    static std::unordered_map<void*, Block> blocks;
    return blocks;
}

// A block from kPagesFrom up is the system's pages, not the heap's, taken
// in whole steps of 2 MiB (huge pages), so that a kept block also serves
// the next frame's when that one is a little larger, as a zoom's frames grow.
constexpr size_t kPagesStep = size_t(2) << 20;

// Large blocks freed, kept for the next ones. Every frame the encoder asks
// for its index buffer (8 MB at 1080p, zero-filled), a stream that grows
// to the bound of the frame's encoded bytes and a copy of those bytes, and
// frees all three. Through the heap, glibc handed such blocks out as fresh
// mappings or a grown heap, so for several frames (every frame, for blocks
// that grew past its threshold) the module's thread faulted them in anew,
// 4 KiB at a time: thousands of faults a frame (docs/performance.md).
// Kept, each is faulted in once, in huge pages (platform/pages.h); all go
// back to the system when the module is unloaded.
constexpr size_t kKeptBlocks = 3;
struct KeptBlocks {
    void* data[kKeptBlocks] = {};
    size_t pages[kKeptBlocks] = {};
    ~KeptBlocks() {
        for (size_t i = 0; i < kKeptBlocks; ++i) FreePages(data[i], pages[i]);
    }
};
KeptBlocks kept;

// Fresh pages are zeroes already; a kept block is filled as the mode asks.
void FillZeroed(void* data, size_t bytes, bool freshPages) {
    const StandInZeroFill zeroFill = StandInZeroFillMode();
    if (zeroFill == StandInZeroFill::Patterned) std::memset(data, 0xA5, bytes);
    if (zeroFill == StandInZeroFill::Zeroed && !freshPages) std::memset(data, 0, bytes);
}

// The smallest kept block that holds BYTES, else fresh pages.
void* NewLargeBlock(UINT flags, size_t bytes, size_t* pages) {
    if (bytes > SIZE_MAX - kPagesStep) return nullptr;
    size_t best = kKeptBlocks;
    for (size_t i = 0; i < kKeptBlocks; ++i) {
        const bool fits = kept.data[i] != nullptr && kept.pages[i] >= bytes;
        if (fits && (best == kKeptBlocks || kept.pages[i] < kept.pages[best])) best = i;
    }
    void* data = nullptr;
    if (best < kKeptBlocks) {
        data = kept.data[best];
        *pages = kept.pages[best];
        kept.data[best] = nullptr;
        kept.pages[best] = 0;
    } else {
        *pages = (bytes + kPagesStep - 1) / kPagesStep * kPagesStep;
        data = AllocatePages(*pages);
    }
    if (data != nullptr && (flags & GMEM_ZEROINIT)) FillZeroed(data, bytes, best == kKeptBlocks);
    return data;
}

// Kept in an empty place, or in place of the smallest kept block when
// that is smaller; otherwise given back.
void FreeLargeBlock(void* data, size_t pages) {
    size_t smallest = 0;
    for (size_t i = 1; i < kKeptBlocks; ++i) {
        if (kept.pages[i] < kept.pages[smallest]) smallest = i;
    }
    if (kept.data[smallest] != nullptr && kept.pages[smallest] >= pages) {
        FreePages(data, pages);
        return;
    }
    FreePages(kept.data[smallest], kept.pages[smallest]);
    kept.data[smallest] = data;
    kept.pages[smallest] = pages;
}

void FreeData(const Block& block) {
    if (block.pages > 0) {
        FreeLargeBlock(block.data, block.pages);
    } else {
        std::free(block.data);
    }
}

// Never a zero-byte block: every block has an address of its own.
void* NewBlock(UINT flags, size_t bytes, size_t* pages) {
    *pages = 0;
    if (bytes >= kPagesFrom) return NewLargeBlock(flags, bytes, pages);
    const size_t size = bytes ? bytes : 1;
    if (!(flags & GMEM_ZEROINIT)) return std::malloc(size);
    const StandInZeroFill zeroFill = StandInZeroFillMode();
    if (zeroFill == StandInZeroFill::Zeroed) return std::calloc(1, size);
    void* data = std::malloc(size);
    if (data != nullptr && zeroFill == StandInZeroFill::Patterned) std::memset(data, 0xA5, size);
    return data;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, size_t bytes) {
    if (StandInShouldFail(StandInCall::GlobalAlloc)) return nullptr;
    size_t pages = 0;
    void* data = NewBlock(flags, bytes, &pages);
    if (data == nullptr) return nullptr;
    const bool movable = (flags & GMEM_MOVEABLE) != 0;
    void* handle = data;
    if (movable) {
        handle = std::malloc(1);  // a distinct address serves as the handle
        if (handle == nullptr) {
            FreeData(Block{data, bytes, movable, pages});
            return nullptr;
        }
    }
    Blocks()[handle] = Block{data, bytes, movable, pages};
    return handle;
}

HGLOBAL GlobalFree(HGLOBAL block) {
    if (block == nullptr) return nullptr;
    auto found = Blocks().find(block);
    if (found == Blocks().end()) return block;  // not ours: fails as Windows does
    FreeData(found->second);
    if (found->second.movable) std::free(block);
    Blocks().erase(found);
    return nullptr;
}

LPVOID GlobalLock(HGLOBAL block) {
    auto found = Blocks().find(block);
    return found == Blocks().end() ? nullptr : found->second.data;
}

size_t GlobalSize(HGLOBAL block) {
    auto found = Blocks().find(block);
    return found == Blocks().end() ? 0 : found->second.size;
}

// A block of pages keeps its pages when it shrinks (a stream is cut to
// what was written), and grows into a kept or fresh block of pages.
bool StandInResizeBlock(HGLOBAL block, size_t bytes) {
    auto found = Blocks().find(block);
    if (found == Blocks().end() || !found->second.movable) return false;
    Block& held = found->second;
    if (held.pages >= bytes) {
        held.size = bytes;
        return true;
    }
    if (bytes < kPagesFrom) {
        void* data = std::realloc(held.data, bytes ? bytes : 1);
        if (data == nullptr) return false;
        held.data = data;
        held.size = bytes;
        return true;
    }
    size_t pages = 0;
    void* data = NewLargeBlock(GMEM_MOVEABLE, bytes, &pages);
    if (data == nullptr) return false;
    std::memcpy(data, held.data, held.size < bytes ? held.size : bytes);
    FreeData(held);
    held = Block{data, bytes, true, pages};
    return true;
}

int StandInHeldBlocks() {
    return static_cast<int>(Blocks().size());
}

void Sleep(DWORD milliseconds) {
    if (!StandInSleeps()) return;
    timespec pause{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    nanosleep(&pause, nullptr);
}
