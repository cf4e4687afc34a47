// A memory stream over a movable global block, released with its block when
// asked to be.
#include <cstring>

#include "platform/linux/stand_in_control.h"
#include "platform/linux/stand_in_internal.h"

namespace {

int heldStreams = 0;

}  // namespace

HRESULT CreateStreamOnHGlobal(HGLOBAL block, BOOL deleteOnRelease, IStream** stream) {
    if (stream == nullptr) return E_FAIL;
    *stream = nullptr;
    if (block == nullptr || StandInShouldFail(StandInCall::CreateStream)) return E_OUTOFMEMORY;
    *stream = new IStream{block, deleteOnRelease, 0, 1, 0};
    ++heldStreams;
    return S_OK;
}

HRESULT IStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) {
    if (StandInShouldFail(StandInCall::StreamSeek)) return E_FAIL;
    int64_t base = 0;
    if (origin == STREAM_SEEK_CUR) base = static_cast<int64_t>(position);
    if (origin == STREAM_SEEK_END) base = static_cast<int64_t>(GlobalSize(block));
    const int64_t target = base + move.QuadPart;
    if (target < 0) return E_FAIL;
    position = static_cast<size_t>(target);
    if (newPosition != nullptr) newPosition->QuadPart = position;
    return S_OK;
}

HRESULT IStream::Read(void* buffer, ULONG bytes, ULONG* bytesRead) {
    if (StandInShouldFail(StandInCall::StreamRead)) return E_FAIL;
    const size_t size = GlobalSize(block);
    const size_t available = position < size ? size - position : 0;
    const size_t count = bytes < available ? bytes : available;
    if (count > 0) std::memcpy(buffer, static_cast<uint8_t*>(GlobalLock(block)) + position, count);
    position += count;
    if (bytesRead != nullptr) *bytesRead = static_cast<ULONG>(count);
    return S_OK;
}

ULONG IStream::Release() {
    const ULONG left = --references;
    if (left == 0) {
        if (deleteOnRelease) GlobalFree(block);
        --heldStreams;
        delete this;
    }
    return left;
}

uint8_t* StandInStreamReserve(IStream* stream, size_t count) {
    const size_t size = GlobalSize(stream->block);
    stream->sizeBeforeReserve = size;
    const size_t end = stream->position + count;
    if (end > size && !StandInResizeBlock(stream->block, end)) return nullptr;
    return static_cast<uint8_t*>(GlobalLock(stream->block)) + stream->position;
}

bool StandInStreamCommit(IStream* stream, size_t count) {
    const size_t end = stream->position + count;
    const size_t size = end > stream->sizeBeforeReserve ? end : stream->sizeBeforeReserve;
    if (size != GlobalSize(stream->block) && !StandInResizeBlock(stream->block, size)) return false;
    stream->position = end;
    return true;
}

int StandInHeldStreams() {
    return heldStreams;
}
