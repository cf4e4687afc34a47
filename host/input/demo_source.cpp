// The built-in clip as a frame source: each frame drawn when it is asked for.
#include "host/input/demo_clip.h"
#include "host/input/frame_buffer.h"
#include "host/input/sources.h"

namespace {

FrameRead DrawNext(FrameSource* source, std::string*) {
    DrawDemoFrame(static_cast<int32_t>(source->loaded + 1), source->pixels.data());
    return FrameRead::Frame;
}

const SourceReader kDemoReader = {DrawNext};

}  // namespace

void OpenDemoSource(FrameSource* source) {
    StartSource(source, &kDemoReader, nullptr, "the demo clip");
    source->width = kDemoWidth;
    source->height = kDemoHeight;
    source->rate = kDemoRate;
    source->scale = kDemoScale;
    source->knownFrames = source->expectedFrames = kDemoFrames;
    source->walked = true;
    source->pixels.assign(FrameBytes(kDemoWidth, kDemoHeight), 0);
}
