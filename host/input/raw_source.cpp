// Raw bgr24 input: frames of the size and rate the user gave, top-down and
// unpadded as ffmpeg writes them; each row is read straight into its place
// in the bottom-up host frame. A regular file's length gives the count.
#include "host/input/frame_buffer.h"
#include "host/input/input_stream.h"
#include "host/input/sources.h"
#include "plugin/host_contract.h"

namespace {

InputStream* StreamOf(FrameSource* source) {
    return static_cast<InputStream*>(source->state);
}

FrameRead ReadRawFrame(FrameSource* source, std::string* problem) {
    const int64_t index = source->loaded + 1;
    const size_t rowBytes = 3 * static_cast<size_t>(source->width);
    for (int32_t y = 0; y < source->height; ++y) {
        uint8_t* row = source->pixels.data() + FrameRowOffset(source->width, source->height, y);
        FrameRead read = ReadExact(StreamOf(source), row, rowBytes);
        if (read == FrameRead::Frame) continue;
        if (read == FrameRead::End && y > 0) read = FrameRead::Damaged;
        if (read == FrameRead::Damaged || read == FrameRead::Failed) *problem = CutShort(index, read);
        return read;
    }
    return FrameRead::Frame;
}

void CloseRaw(FrameSource* source) {
    InputStream* input = StreamOf(source);
    CloseInput(input);
    delete input;
}

const SourceReader kRawReader = {ReadRawFrame, CloseRaw};

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
    InputStream* input = new InputStream{};
    if (!OpenInput(path, input, error)) {
        delete input;
        return false;
    }
    StartSource(source, &kRawReader, input, input->name);
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
    if (reason.empty()) return true;
    *error = source->name + ": " + reason;
    CloseSource(source);
    return false;
}
