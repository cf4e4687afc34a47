// What a frame source yields each time it is asked for the next frame: a
// frame, or why there is none. The reason travels with the answer, so that
// no caller has to look at side fields afterwards.
#pragma once

enum class FrameRead {
    Frame,        // the next frame is in the source's buffer
    End,          // the input ended cleanly between frames
    Damaged,      // the input ends early or holds a bad frame; the problem says which
    Interrupted,  // a stop request ended the read
    Failed,       // the input could not be read; the problem says why
};
