// Raw bgr24 input: frames of the size and rate the user gave, top-down and
// unpadded as ffmpeg writes them. Each frame's rows are read straight into
// their places in the bottom-up host frame, in a few scattered reads (two
// for 1080 rows on Linux): no copy of the frame, no buffer of the file's
// own. (A read per row went through stdio's 4 KiB buffer: tens of
// thousands of system calls per file.) A regular file's length gives the
// count.
#include <new>
#include <vector>

#include "host/input/frame_buffer.h"
#include "host/input/input_stream.h"
#include "host/input/sources.h"
#include "plugin/host_contract.h"

namespace {

struct RawState {
    InputStream input;
    std::vector<ReadPiece> rows;  // where each row of the file goes, rebuilt for every frame
    ~RawState() { CloseInput(&input); }
};

InputStream* StreamOf(FrameSource* source) {
    return &StateOf<RawState>(source)->input;
}

FrameRead ReadRawFrame(FrameSource* source, std::string* problem) {
    RawState* raw = StateOf<RawState>(source);
    const size_t rowBytes = 3 * static_cast<size_t>(source->width);
    // The frame buffer changes from frame to frame (the reading thread swaps them).
    for (int32_t y = 0; y < source->height; ++y) {
        raw->rows[y] = ReadPiece{source->pixels.data() + FrameRowOffset(source->width, source->height, y), rowBytes};
    }
    const FrameRead read = ReadPieces(&raw->input, raw->rows.data(), raw->rows.size());
    if (read == FrameRead::Damaged || read == FrameRead::Failed) *problem = ShortRead(source->loaded + 1, read);
    return read;
}

const SourceReader kRawReader = {ReadRawFrame};

// A regular file's frames, counted from its length. A length that is not
// a whole number of frames says the size given is not the file's: read on,
// every frame would be sheared, so the file is refused instead.
std::string CountFrames(FrameSource* source) {
    const uint64_t frameBytes = 3 * static_cast<uint64_t>(source->width) * static_cast<uint64_t>(source->height);
    const uint64_t size = static_cast<uint64_t>(StreamOf(source)->size);
    if (size % frameBytes != 0) {
        return std::to_string(size) + " bytes are not a whole number of " + std::to_string(source->width) + "x" +
               std::to_string(source->height) + " bgr24 frames (" + std::to_string(frameBytes) +
               " bytes each): is --size the size ffmpeg wrote?";
    }
    const uint64_t count = size / frameBytes;
    source->knownFrames = static_cast<int64_t>(count < INT32_MAX ? count : INT32_MAX);
    source->expectedFrames = source->knownFrames;
    source->walked = true;
    return std::string();
}

}  // namespace

bool OpenRawSource(const std::string& path, const RawFormat& format, FrameSource* source, std::string* error) {
    const auto raw = std::make_shared<RawState>();
    InputStream* input = &raw->input;
    if (!OpenInput(path, input, error)) return false;
    StartSource(source, &kRawReader, raw, input->name);
    source->width = format.width;
    source->height = format.height;
    source->rate = format.rate;
    source->scale = format.scale;
    std::string reason;
    if (FrameBytes(format.width, format.height) == 0) {
        reason = TooLarge(format.width, format.height);
    } else if (input->regular) {
        reason = CountFrames(source);
    }
    if (reason.empty()) Allocate(&source->pixels, FrameBytes(format.width, format.height), &reason);
    if (reason.empty() && !PrepareScatteredReads(input->file)) reason = "cannot set up reading";
    if (reason.empty()) {
        try {
            raw->rows.resize(static_cast<size_t>(format.height));
        } catch (const std::bad_alloc&) {
            reason = OutOfMemory(static_cast<uint64_t>(format.height) * sizeof(ReadPiece));
        }
    }
    if (reason.empty()) return true;
    *error = source->name + ": " + reason;
    CloseSource(source);
    return false;
}
