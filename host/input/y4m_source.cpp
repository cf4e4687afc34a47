// Y4M input read by our own reader, on both builds: the header checked,
// a regular file walked for its count (one frame header read and one seek
// per frame), then each frame's planes converted into the host frame.
#include <cstdint>
#include <memory>

#include "host/input/frame_buffer.h"
#include "host/input/input_stream.h"
#include "host/input/sources.h"
#include "host/input/y4m_format.h"

namespace {

struct Y4mState {
    InputStream input;
    Y4mHeader header;
    std::vector<uint8_t> planes;  // one frame as read
    ~Y4mState() { CloseInput(&input); }
};

// Walks a regular file from its first frame header to the end. Returns the
// count of complete frames and notes in `tail` what stops the walk early.
int64_t CountFrames(FrameSource* source, int64_t firstFrame) {
    Y4mState* y4m = StateOf<Y4mState>(source);
    const uint64_t frameBytes = Y4mFrameBytes(y4m->header);
    int64_t position = firstFrame;
    int64_t count = 0;
    std::string line;
    while (count < INT32_MAX) {
        if (!SeekInput(&y4m->input, position)) {
            source->tail = "cannot seek to " + FrameName(count);
            break;
        }
        const FrameRead read = ReadLine(&y4m->input, &line, kY4mMaxLineBytes);
        if (read == FrameRead::End) break;
        if (read != FrameRead::Frame || !IsY4mFrameHeader(line)) {
            source->tail =
                read == FrameRead::Frame ? FrameName(count) + " has no FRAME header" : ShortRead(count, read);
            break;
        }
        const int64_t next = position + static_cast<int64_t>(line.size()) + 1 + static_cast<int64_t>(frameBytes);
        if (next > y4m->input.size) {
            source->tail = ShortRead(count, FrameRead::Damaged);
            break;
        }
        position = next;
        ++count;
    }
    return count;
}

FrameRead ReadY4mFrame(FrameSource* source, std::string* problem) {
    Y4mState* y4m = StateOf<Y4mState>(source);
    const int64_t index = source->loaded + 1;
    std::string line;
    FrameRead read = ReadLine(&y4m->input, &line, kY4mMaxLineBytes);
    if (read == FrameRead::Frame && !IsY4mFrameHeader(line)) {
        *problem = FrameName(index) + " has no FRAME header";
        return FrameRead::Damaged;
    }
    if (read == FrameRead::Frame) {
        read = ReadExact(&y4m->input, y4m->planes.data(), y4m->planes.size());
        if (read == FrameRead::End) read = FrameRead::Damaged;
    }
    if (read == FrameRead::Damaged || read == FrameRead::Failed) *problem = ShortRead(index, read);
    if (read != FrameRead::Frame) return read;
    ConvertY4mFrame(y4m->header, y4m->planes.data(), source->pixels.data());
    return FrameRead::Frame;
}

const SourceReader kY4mReader = {ReadY4mFrame};

// Why the header line cannot be read, or empty once it is parsed into HEADER.
std::string ReadHeader(InputStream* input, std::string* line, Y4mHeader* header) {
    const FrameRead read = ReadLine(input, line, kY4mMaxLineBytes);
    std::string reason;
    if (read == FrameRead::End) return "the input is empty";
    if (read == FrameRead::Interrupted) return "interrupted";
    if (read != FrameRead::Frame) {
        if (line->compare(0, 9, "YUV4MPEG2") != 0) return "not a Y4M stream (it does not start with \"YUV4MPEG2 \")";
        if (line->size() >= kY4mMaxLineBytes) {
            return "the Y4M header line is longer than 64 KiB, far beyond any real header";
        }
        return "the input stops inside the Y4M header line";
    }
    ParseY4mHeader(*line, header, &reason);
    return reason;
}

// The header read, the file counted, the buffers taken; empty or why not.
std::string Prepare(FrameSource* source) {
    Y4mState* y4m = StateOf<Y4mState>(source);
    std::string line;
    std::string reason = ReadHeader(&y4m->input, &line, &y4m->header);
    if (!reason.empty()) return reason;
    source->width = y4m->header.width;
    source->height = y4m->header.height;
    source->rate = y4m->header.rate;
    source->scale = y4m->header.scale;
    source->interlaced = y4m->header.interlaced;
    if (FrameBytes(source->width, source->height) == 0) return TooLarge(source->width, source->height);
    // The count comes first: a file without a complete frame needs no buffers.
    if (y4m->input.regular) {
        const int64_t firstFrame = static_cast<int64_t>(line.size()) + 1;
        source->knownFrames = source->expectedFrames = CountFrames(source, firstFrame);
        source->walked = true;
        if (!SeekInput(&y4m->input, firstFrame)) return "cannot seek back to the first frame";
    }
    if (source->knownFrames != 0 && Allocate(&y4m->planes, Y4mFrameBytes(y4m->header), &reason)) {
        Allocate(&source->pixels, FrameBytes(source->width, source->height), &reason);
    }
    return reason;
}

}  // namespace

bool OpenY4mSource(const std::string& path, FrameSource* source, std::string* error) {
    const auto y4m = std::make_shared<Y4mState>();
    if (!OpenInput(path, &y4m->input, error)) return false;
    StartSource(source, &kY4mReader, y4m, y4m->input.name);
    const std::string reason = Prepare(source);
    if (reason.empty()) return true;
    *error = source->name + ": " + reason;
    CloseSource(source);
    return false;
}
