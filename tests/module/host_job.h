// A test host for output jobs: it serves generated frames, records every
// callback the module makes, and reads back the file the module wrote.
// Only one job runs at a time (the callbacks carry no context).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "plugin/host_contract.h"

struct HostJob {
    int32_t width = 16;
    int32_t height = 8;
    int32_t rate = 30000;
    int32_t scale = 1001;
    int32_t frameCount = 10;
    std::string path;
    bool maskFrames = false;   // frames carry a mask in their right half
    int32_t abortBefore = -1;  // isAborted answers 1 when asked before this frame
    int32_t nullFrameAt = -1;  // getFrame gives no pixels for this frame
    // What the module did, in order: "aborted?", "progress i/n", "frame i",
    // "afterClose".
    std::vector<std::string> events;
};

// Runs the job through the table's output entry; returns its result.
int32_t RunHostJob(OutputPluginTable* table, HostJob* job);
// The test host's own callbacks, for a caller that wraps them.
JobCallbacks HostJobCallbacks();
// Runs the job with CALLBACKS in its record, handing the record to CALL,
// which calls the output entry in some host's way; returns its result.
int32_t RunHostJobThrough(HostJob* job, const JobCallbacks& callbacks,
                          const std::function<int32_t(OutputRequest*)>& call);
// Pixels that the host serves as frame INDEX (bottom-up BGR, padded rows).
std::vector<uint8_t> HostFrame(const HostJob& job, int32_t index);
// The palette indices the module must write for that frame, rows top-down,
// worked out here from the gray weights and the mask rule.
std::vector<uint8_t> ExpectedIndices(const HostJob& job, int32_t index, bool maskMode);

std::vector<uint8_t> ReadWholeFile(const std::string& path);
bool FileExists(const std::string& path);
void RemoveFile(const std::string& path);

// The animated file cut back into its pieces.
struct FramePiece {
    size_t extension;       // file offset of the graphic control extension
    uint8_t flags;
    uint16_t delay;
    uint8_t transparentIndex;
    size_t imageDescriptor;
};
struct AnimationPieces {
    bool valid = false;
    std::string error;
    uint16_t width = 0;
    uint16_t height = 0;
    size_t loopBlock = 0;   // offset of the looping block, 0 when absent
    uint16_t loopCount = 0;
    std::vector<FramePiece> frames;
    bool closedWithComment = false;  // ends 21 FE 03 'D' 'O' 'D' 00 3B
};
AnimationPieces CutAnimation(const std::vector<uint8_t>& file);

// Output files kept for the giflib checker: the job writes NAME.gif in the
// output folder, and NAME.expect beside it says what a decoder must find.
struct GifExpectation {
    int32_t width;
    int32_t height;
    int32_t loopCount;
    std::vector<int32_t> delays;
    std::vector<std::vector<uint8_t>> indices;  // per frame, rows top-down
};
std::string OraclePath(const std::string& name);
void WriteExpectation(const std::string& name, const GifExpectation& expectation);
