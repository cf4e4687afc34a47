// Where an export's frames come from, behind one record: each kind of input
// (Y4M, raw bgr24, the demo clip, video through FFmpeg's libraries) lives
// in a file of its own and gives the record a reader and a state of its
// own. Frames are read once, in order, into the record's one buffer,
// already in the host frame layout.
//
// The frame count: a regular Y4M or raw file is walked once before the
// export (one frame header read and one seek per frame), so the count is
// known and a damaged tail is found before the output is touched. A pipe
// cannot be walked ahead, so its count stays unknown (knownFrames = -1)
// and the job learns the end when the next frame cannot be read. FFmpeg's
// decoder counts what it can (a file's packets) and holds to it: it never
// delivers more, and fewer end in Damaged.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/common/frame_read.h"
#include "host/input/frame_buffer.h"

struct FrameSource;

// What a kind of input does: read its next frame into the record's pixels
// (the record's loaded index says which one that is).
struct SourceReader {
    FrameRead (*read)(FrameSource* source, std::string* problem);
};

struct FrameSource {
    const SourceReader* reader = nullptr;  // null once closed, or before an open
    // The kind's own record, with the owner that releases it and what it
    // holds (files, the decoder, the reading thread) when the source closes.
    std::shared_ptr<void> state;
    std::string name;                      // for messages: the path, or "standard input"
    int32_t width = 0;
    int32_t height = 0;
    int32_t rate = 0;                      // frames per second = rate / scale
    int32_t scale = 0;
    int64_t knownFrames = -1;              // complete frames, -1 while unknown
    int64_t expectedFrames = -1;           // for the progress bar: knownFrames, or -1
    // Counted before the export by walking the input: reads stop at
    // knownFrames, and a file that ends earlier has been cut since.
    bool walked = false;
    // Each frame comes once, at its own time: `time` and `duration` say
    // when the loaded frame is shown (microseconds, from the first frame;
    // duration 0 when the input does not say), and the output writes the
    // delays from them. Otherwise the frames lie on the grid rate / scale.
    bool timed = false;
    int64_t time = 0;
    int64_t duration = 0;
    int64_t mended = 0;                    // timed: jumps in the input's times closed up so far
    bool interlaced = false;               // each frame holds two fields, woven, not deinterlaced
    int64_t loaded = -1;                   // index of the frame in `pixels`, -1 before the first
    FramePixels pixels;                    // the current frame, host layout
    // For a walked file: what ends it before the stream does (a cut-off or
    // damaged frame); the read after the last complete frame answers
    // Damaged with it. Empty when the file ends cleanly.
    std::string tail;
};

// The record emptied and given to READER with STATE; NAME as messages show it.
void StartSource(FrameSource* source, const SourceReader* reader, std::shared_ptr<void> state,
                 const std::string& name);

// The kind's record in SOURCE, of the type the kind gave StartSource.
template <typename State>
State* StateOf(FrameSource* source) {
    return static_cast<State*>(source->state.get());
}

// Reads the next frame into `pixels`. Anything but Frame ends the frames;
// PROBLEM then says why for Damaged and Failed. After the last counted
// frame one more read tells whether the input really ended there.
FrameRead ReadNextFrame(FrameSource* source, std::string* problem);

// Frees what the source holds; safe after a failed open and twice.
void CloseSource(FrameSource* source);

// Closes a source when it goes, on every path.
struct SourceCloser {
    void operator()(FrameSource* source) const { CloseSource(source); }
};
