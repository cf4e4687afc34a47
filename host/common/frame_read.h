// What a read of the input yields, one outcome for every reader: the byte
// reads of a file or pipe, each kind of frame source and FFmpeg's decoder.
// The reason travels with the answer, so that no caller has to look at
// side fields afterwards; problems name frames one way, counted from 1.
#pragma once

#include <cstdint>
#include <string>

enum class FrameRead {
    Frame,        // the next frame (for a byte read: every byte asked for) is there
    End,          // the input ended cleanly, before this read took anything
    Damaged,      // the input ends early or holds a bad frame; the problem says which
    Mended,       // the input ended with every frame in place, some of them mended or held over; the problem says which
    Interrupted,  // a stop request ended the read
    Failed,       // the input could not be read; the problem says why
};

// How many skipped frames or images a problem names; the rest are counted.
constexpr int kNamedFrames = 5;

// "frame 1" for INDEX 0: how every message names a frame.
inline std::string FrameName(int64_t index) {
    return "frame " + std::to_string(index + 1);
}
