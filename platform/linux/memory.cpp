// Global memory blocks. A fixed block's handle is its address; a movable
// block's handle stays put while its bytes may move as a stream grows it.
// A block asked for zero-filled is not zeroed by default: its one user,
// the frame encoder's index buffer (4 bytes a pixel, 8 MB a 1080p frame,
// zeroed anew for every frame: a tenth of a whole job's time), has every
// byte it reads written first; the tests hold it to that by filling such
// blocks with a pattern instead and comparing the output with zeroed ones.
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <unordered_map>

#include "platform/linux/stand_in_control.h"
#include "platform/linux/stand_in_internal.h"

namespace {

struct Block {
    void* data;
    size_t size;
    bool movable;
};

std::unordered_map<void*, Block>& Blocks() {
    static std::unordered_map<void*, Block> blocks;
    return blocks;
}

StandInZeroFill zeroFill = StandInZeroFill::Skipped;

// Never a zero-byte block: every block has an address of its own.
void* NewBlock(UINT flags, size_t bytes) {
    const size_t size = bytes ? bytes : 1;
    if (!(flags & GMEM_ZEROINIT)) return std::malloc(size);
    if (zeroFill == StandInZeroFill::Zeroed) return std::calloc(1, size);
    void* data = std::malloc(size);
    if (data != nullptr && zeroFill == StandInZeroFill::Patterned) std::memset(data, 0xA5, size);
    return data;
}

}  // namespace

void SetStandInZeroFill(StandInZeroFill fill) {
    zeroFill = fill;
}

HGLOBAL GlobalAlloc(UINT flags, size_t bytes) {
    if (StandInShouldFail(StandInCall::GlobalAlloc)) return nullptr;
    void* data = NewBlock(flags, bytes);
    if (data == nullptr) return nullptr;
    const bool movable = (flags & GMEM_MOVEABLE) != 0;
    void* handle = data;
    if (movable) {
        handle = std::malloc(1);  // a distinct address serves as the handle
        if (handle == nullptr) {
            std::free(data);
            return nullptr;
        }
    }
    Blocks()[handle] = Block{data, bytes, movable};
    return handle;
}

HGLOBAL GlobalFree(HGLOBAL block) {
    if (block == nullptr) return nullptr;
    auto found = Blocks().find(block);
    if (found == Blocks().end()) return block;  // not ours: fails as Windows does
    std::free(found->second.data);
    if (found->second.movable) std::free(block);
    Blocks().erase(found);
    return nullptr;
}

LPVOID GlobalLock(HGLOBAL block) {
    auto found = Blocks().find(block);
    return found == Blocks().end() ? nullptr : found->second.data;
}

BOOL GlobalUnlock(HGLOBAL) {
    return TRUE;
}

size_t GlobalSize(HGLOBAL block) {
    auto found = Blocks().find(block);
    return found == Blocks().end() ? 0 : found->second.size;
}

bool StandInResizeBlock(HGLOBAL block, size_t bytes) {
    auto found = Blocks().find(block);
    if (found == Blocks().end() || !found->second.movable) return false;
    void* data = std::realloc(found->second.data, bytes ? bytes : 1);
    if (data == nullptr) return false;
    found->second.data = data;
    found->second.size = bytes;
    return true;
}

int StandInHeldBlocks() {
    return static_cast<int>(Blocks().size());
}

namespace {

bool sleeping = true;

}  // namespace

void SetStandInSleep(bool enabled) {
    sleeping = enabled;
}

void Sleep(DWORD milliseconds) {
    if (!sleeping) return;
    timespec pause{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    nanosleep(&pause, nullptr);
}
