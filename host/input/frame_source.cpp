// Frame sources. Raw bgr24 comes top-down and unpadded, as ffmpeg writes it;
// each row is read straight into its place in the bottom-up host frame.
// The FFmpeg source is in video_source.cpp.
#include "host/input/frame_source.h"

#include <new>

#include "host/input/demo_clip.h"
#include "host/input/video/video_source.h"
#include "plugin/host_contract.h"

namespace {

// A header can claim frames of up to 65535 x 65535 pixels (12 GiB); a
// frame buffer is capped well below that, so that a damaged or hostile
// header gets a refusal, not an exhausted machine.
constexpr uint64_t kMaxFrameBytes = uint64_t(1) << 30;

}  // namespace

size_t FrameBytes(int32_t width, int32_t height) {
    const uint64_t bytes = static_cast<uint64_t>(FrameStride(width)) * static_cast<uint64_t>(height);
    return bytes > kMaxFrameBytes || bytes > SIZE_MAX / 2 ? 0 : static_cast<size_t>(bytes);
}

std::string TooLarge(int32_t width, int32_t height) {
    return "frames of " + std::to_string(width) + "x" + std::to_string(height) +
           " are too large (more than 1 GiB each)";
}

bool Allocate(std::vector<uint8_t>* buffer, uint64_t bytes, std::string* error) {
    try {
        if (bytes == 0 || bytes > SIZE_MAX / 2) throw std::bad_alloc();
        buffer->assign(static_cast<size_t>(bytes), 0);
        return true;
    } catch (const std::bad_alloc&) {
        *error = "a frame of " + std::to_string(bytes) + " bytes does not fit in memory";
        return false;
    }
}

void StartSource(FrameSource* source, SourceKind kind) {
    source->kind = kind;
    source->input = InputStream{nullptr, false, false, 0, std::string()};
    source->y4m = Y4mHeader{0, 0, 0, 0, ChromaLayout::Yuv420, ColourRange::Limited};
    source->video = nullptr;
    source->width = source->height = source->rate = source->scale = 0;
    source->knownFrames = -1;
    source->expectedFrames = -1;
    source->description.clear();
    source->variableRate = false;
    source->loaded = -1;
    source->planes.clear();
    source->pixels.clear();
    source->tail.clear();
}

namespace {

std::string FrameName(int64_t index) {
    return "frame " + std::to_string(index + 1);
}

std::string Cut(int64_t index, ReadResult result) {
    if (result == ReadResult::Failed) return "read error in " + FrameName(index);
    return "the stream ends in the middle of " + FrameName(index);
}

// What a read that got no whole frame means.
FrameRead Outcome(ReadResult result) {
    switch (result) {
        case ReadResult::Complete: return FrameRead::Frame;
        case ReadResult::End: return FrameRead::End;
        case ReadResult::Short: return FrameRead::Damaged;
        case ReadResult::Interrupted: return FrameRead::Interrupted;
        case ReadResult::Failed: return FrameRead::Failed;
    }
    return FrameRead::Failed;
}

// Walks a regular Y4M file from its first frame header to the end: one
// header line and one seek per frame. Returns the count of complete frames
// and notes in `tail` what stops the walk early.
int64_t CountY4mFrames(FrameSource* source, int64_t firstFrame) {
    const uint64_t frameBytes = Y4mFrameBytes(source->y4m);
    int64_t position = firstFrame;
    int64_t count = 0;
    std::string line;
    while (count < INT32_MAX) {
        if (!SeekInput(&source->input, position)) {
            source->tail = "cannot seek to " + FrameName(count);
            break;
        }
        const ReadResult result = ReadLine(&source->input, &line, kY4mMaxLineBytes);
        if (result == ReadResult::End) break;
        if (result != ReadResult::Complete || !IsY4mFrameHeader(line)) {
            source->tail = result == ReadResult::Complete ? FrameName(count) + " has no FRAME header"
                                                           : Cut(count, result);
            break;
        }
        const int64_t next = position + static_cast<int64_t>(line.size()) + 1 + static_cast<int64_t>(frameBytes);
        if (next > source->input.size) {
            source->tail = Cut(count, ReadResult::Short);
            break;
        }
        position = next;
        ++count;
    }
    return count;
}

FrameRead ReadY4mFrame(FrameSource* source, std::string* problem) {
    const int64_t index = source->loaded + 1;
    std::string line;
    ReadResult result = ReadLine(&source->input, &line, kY4mMaxLineBytes);
    if (result == ReadResult::Complete && !IsY4mFrameHeader(line)) {
        *problem = FrameName(index) + " has no FRAME header";
        return FrameRead::Damaged;
    }
    if (result == ReadResult::Complete) {
        result = ReadExact(&source->input, source->planes.data(), source->planes.size());
        if (result == ReadResult::End) result = ReadResult::Short;
    }
    if (result == ReadResult::Short || result == ReadResult::Failed) *problem = Cut(index, result);
    if (result != ReadResult::Complete) return Outcome(result);
    ConvertY4mFrame(source->y4m, source->planes.data(), source->pixels.data());
    return FrameRead::Frame;
}

FrameRead ReadRawFrame(FrameSource* source, std::string* problem) {
    const int64_t index = source->loaded + 1;
    const size_t rowBytes = 3 * static_cast<size_t>(source->width);
    for (int32_t y = 0; y < source->height; ++y) {
        uint8_t* row = source->pixels.data() + FrameRowOffset(source->width, source->height, y);
        ReadResult result = ReadExact(&source->input, row, rowBytes);
        if (result == ReadResult::Complete) continue;
        if (result == ReadResult::End && y > 0) result = ReadResult::Short;
        if (result == ReadResult::Short || result == ReadResult::Failed) *problem = Cut(index, result);
        return Outcome(result);
    }
    return FrameRead::Frame;
}

}  // namespace

bool OpenY4mSource(const std::string& path, FrameSource* source, std::string* error) {
    StartSource(source, SourceKind::Y4m);
    if (!OpenInput(path, &source->input, error)) return false;
    std::string line;
    const ReadResult result = ReadLine(&source->input, &line, kY4mMaxLineBytes);
    std::string reason;
    if (result == ReadResult::End) {
        reason = "the input is empty";
    } else if (result == ReadResult::Interrupted) {
        reason = "interrupted";
    } else if (result != ReadResult::Complete) {
        if (line.compare(0, 9, "YUV4MPEG2") != 0) {
            reason = "not a Y4M stream (it does not start with \"YUV4MPEG2 \")";
        } else if (line.size() >= kY4mMaxLineBytes) {
            reason = "the Y4M header line is longer than 64 KiB, far beyond any real header";
        } else {
            reason = "the input stops inside the Y4M header line";
        }
    } else {
        ParseY4mHeader(line, &source->y4m, &reason);
    }
    if (reason.empty()) {
        source->width = source->y4m.width;
        source->height = source->y4m.height;
        source->rate = source->y4m.rate;
        source->scale = source->y4m.scale;
        if (FrameBytes(source->width, source->height) == 0) reason = TooLarge(source->width, source->height);
    }
    // The count comes first: a file without a complete frame needs no buffers.
    if (reason.empty() && source->input.regular) {
        const int64_t firstFrame = static_cast<int64_t>(line.size()) + 1;
        source->knownFrames = source->expectedFrames = CountY4mFrames(source, firstFrame);
        if (!SeekInput(&source->input, firstFrame)) reason = "cannot seek back to the first frame";
    }
    if (reason.empty() && source->knownFrames != 0) {
        if (Allocate(&source->planes, Y4mFrameBytes(source->y4m), &reason)) {
            Allocate(&source->pixels, FrameBytes(source->width, source->height), &reason);
        }
    }
    if (!reason.empty()) {
        *error = source->input.name + ": " + reason;
        CloseSource(source);
        return false;
    }
    return true;
}

bool OpenRawSource(const std::string& path, int32_t width, int32_t height, int32_t rate, int32_t scale,
                   FrameSource* source, std::string* error) {
    StartSource(source, SourceKind::RawBgr);
    source->width = width;
    source->height = height;
    source->rate = rate;
    source->scale = scale;
    if (!OpenInput(path, &source->input, error)) return false;
    std::string reason;
    if (FrameBytes(width, height) == 0) {
        reason = TooLarge(width, height);
    } else if (Allocate(&source->pixels, FrameBytes(width, height), &reason) && source->input.regular) {
        const uint64_t frameBytes = 3 * static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
        const uint64_t size = static_cast<uint64_t>(source->input.size);
        const uint64_t count = size / frameBytes;
        source->knownFrames = static_cast<int64_t>(count < INT32_MAX ? count : INT32_MAX);
        source->expectedFrames = source->knownFrames;
        if (count < INT32_MAX && size % frameBytes != 0) {
            source->tail = Cut(source->knownFrames, ReadResult::Short) + " (" + std::to_string(size) +
                              " bytes are not a whole number of " + std::to_string(width) + "x" +
                              std::to_string(height) + " bgr24 frames)";
        }
    }
    if (!reason.empty()) {
        *error = source->input.name + ": " + reason;
        CloseSource(source);
        return false;
    }
    return true;
}

void OpenDemoSource(FrameSource* source) {
    StartSource(source, SourceKind::Demo);
    source->width = kDemoWidth;
    source->height = kDemoHeight;
    source->rate = kDemoRate;
    source->scale = kDemoScale;
    source->knownFrames = source->expectedFrames = kDemoFrames;
    source->pixels.assign(FrameBytes(kDemoWidth, kDemoHeight), 0);
}

void CloseSource(FrameSource* source) {
    if (source->kind == SourceKind::Video) CloseVideoSource(source);
    CloseInput(&source->input);
    std::vector<uint8_t>().swap(source->planes);
    std::vector<uint8_t>().swap(source->pixels);
}

FrameRead ReadNextFrame(FrameSource* source, std::string* problem) {
    const int64_t index = source->loaded + 1;
    problem->clear();
    // A counted file ends where the walk said, damaged or not; the
    // decoder keeps its own count.
    const bool walked = source->kind != SourceKind::Video && source->knownFrames >= 0;
    if (walked && index >= source->knownFrames) {
        *problem = source->tail;
        return source->tail.empty() ? FrameRead::End : FrameRead::Damaged;
    }
    FrameRead read = FrameRead::Failed;
    switch (source->kind) {
        case SourceKind::Demo:
            DrawDemoFrame(static_cast<int32_t>(index), source->pixels.data());
            read = FrameRead::Frame;
            break;
        case SourceKind::Y4m: read = ReadY4mFrame(source, problem); break;
        case SourceKind::RawBgr: read = ReadRawFrame(source, problem); break;
        case SourceKind::Video: read = ReadVideoSourceFrame(source, problem); break;
    }
    // A file that held more frames when it was counted has been cut since.
    if (read == FrameRead::End && walked) {
        *problem = "the file ends after " + std::to_string(index) + " of the " +
                   std::to_string(source->knownFrames) + " frames it held when the export started";
        read = FrameRead::Damaged;
    }
    if (read == FrameRead::Frame) source->loaded = index;
    return read;
}
