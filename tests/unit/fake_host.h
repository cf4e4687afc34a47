// A host for tests: serves frames, answers isAborted, and logs every
// callback in order, through the same cdecl callbacks the real host uses.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "plugin/host_contract.h"

struct FakeHost {
    OutputRequest request;
    std::string path;
    std::vector<uint8_t> frame;  // rebuilt for every getFrame
    std::function<std::vector<uint8_t>(int index)> makeFrame;
    int abortAt;                 // isAborted answers 1 from this frame index on; -1 never
    int nullFrameAt;             // getFrame returns null for this index; -1 never
    bool logCalls;               // off for long jobs: the log would grow with them
    std::vector<std::string> calls;
    int framesAsked;
    int afterCloseCalls;
    int64_t fileSizeAtClose;     // size of the output when afterClose was called
};

// Sets up the one current fake host: width x height frames of moving
// content, rate / scale, frameCount frames, written to path.
FakeHost& StartFakeHost(const std::string& path, int width, int height, int rate, int scale, int frameCount);

// The content every frame index gets unless makeFrame says otherwise.
std::vector<uint8_t> DefaultFrame(int width, int height, int index);

// Output path in the test's working directory; any old file removed.
std::string FreshPath(const std::string& name);
