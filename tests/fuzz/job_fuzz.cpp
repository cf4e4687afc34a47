// Fuzz target: a whole output job with a hostile host. The request's
// sizes, frame rate and frame count, the settings block, the abort point
// and frames that come back null all come from the fuzzer. The outcome
// must be a GIF that giflib decodes with the expected frame count, or one
// of the documented failures with no file left behind; and nothing held.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gif/frame_encoder.h"
#include "gif/status.h"
#include "plugin/plugin_table.h"
#include "platform/linux/stand_in_control.h"
#include "settings/gif_settings.h"
#include "settings/settings_entries.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/unit/gif_decode.h"

namespace {

struct Job {
    std::vector<uint8_t> frame;
    int32_t abortAt;
    int32_t nullAt;
    int32_t asked;
    int32_t afterClose;
    int32_t progressCalls;
};
Job job;

void* ROZOVE_CDECL GetFrame(int32_t index) {
    ++job.asked;
    if (index == job.nullAt) return nullptr;
    for (size_t i = 0; i < job.frame.size(); ++i) job.frame[i] = static_cast<uint8_t>(job.frame[i] * 31 + index);
    return job.frame.data();
}
int32_t ROZOVE_CDECL IsAborted() {
    return job.asked >= job.abortAt ? 1 : 0;
}
int32_t ROZOVE_CDECL ReportProgress(int32_t, int32_t) {
    ++job.progressCalls;
    return 0;
}
int32_t ROZOVE_CDECL AfterClose() {
    ++job.afterClose;
    return 0;
}

// Sizes from small to hostile; the host must be able to serve what the
// module would read, so accepted pictures stay small.
int32_t PickSide(uint32_t raw) {
    switch (raw % 8) {
    case 0: return 0;
    case 1: return -static_cast<int32_t>(raw >> 3 & 0xFFFF);
    case 2: return 65535 + static_cast<int32_t>(raw >> 3 & 0xFF);
    case 3: return static_cast<int32_t>(0x7FFFFFFF - (raw >> 3 & 0xFF));
    default: return 1 + static_cast<int32_t>(raw >> 3 & 0x3F);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool started = false;
    if (!started) {
        SetStandInSleep(false);
        started = true;
    }
    ResetStandIns();
    libraryGifLayout = LibraryGifLayout::Unknown;  // each input as a fresh module
    SetMessageBoxHandler([](const std::string&, const std::string&) {});
    gifSettings = GifSettings{0, 0};
    FuzzInput in{data, size, 0};

    uint8_t block[16];
    in.TakeBytes(block, sizeof block);
    const int32_t blockSize = in.Take8() % 17;
    const int32_t taken = OnConfigSet(block, blockSize);
    if (taken != (blockSize == 8 ? 8 : 0)) std::abort();

    const int32_t width = PickSide(in.Take32());
    const int32_t height = PickSide(in.Take32());
    int32_t rate = static_cast<int32_t>(in.Take32());
    const int32_t scale = static_cast<int32_t>(in.Take32());
    if (in.Take8() & 1) rate = 1 + rate % 1000;  // plausible rates too
    const int32_t frameCount = static_cast<int8_t>(in.Take8()) % 12;
    const std::string path = "job_fuzz_" + std::to_string(getpid()) + ".gif";
    OutputRequest request = MakeOutputRequest(width, height, rate, scale, frameCount, path.c_str(),
                                              JobCallbacks{GetFrame, IsAborted, ReportProgress, AfterClose});
    job = Job{};
    job.abortAt = in.Take8() % 16;
    job.nullAt = static_cast<int8_t>(in.Take8());
    // What the module would read: only pictures it can accept are served.
    const bool readable = request.width > 0 && request.height > 0 && request.width <= 131071 &&
                          request.height <= 65535;
    const int64_t bytes = readable ? ((3 * static_cast<int64_t>(request.width) + 3) / 4) * 4 * request.height : 16;
    if (bytes > (1 << 20)) return 0;  // a picture this host cannot serve
    job.frame.assign(static_cast<size_t>(bytes), 0x5A);

    const int32_t result = OnOutput(&request);
    const StandInHeld held = StandInHeldNow();
    if (held.blocks || held.bitmaps || held.streams || held.librarySessions || held.stringTables) std::abort();

    std::FILE* file = std::fopen(path.c_str(), "rb");
    const bool badRate = request.rate < 1 || request.scale < 1;
    if (badRate) {
        if (result != 0 || file != nullptr || job.afterClose != 0 || job.progressCalls != 0) std::abort();
        return 0;
    }
    if (job.afterClose != 1) std::abort();
    int32_t expectedFrames = request.frameCount > 0 ? request.frameCount : 0;
    if (job.abortAt < expectedFrames) expectedFrames = job.abortAt;
    if (result == 1) {
        if (file == nullptr) std::abort();
        std::vector<uint8_t> contents;
        for (int c; (c = std::fgetc(file)) != EOF;) contents.push_back(static_cast<uint8_t>(c));
        std::fclose(file);
        std::remove(path.c_str());
        if (expectedFrames == 0) {
            if (contents.size() != 8) std::abort();
            return 0;
        }
        const DecodedGif gif = DecodeGif(contents);
        if (!gif.ok || static_cast<int32_t>(gif.frames.size()) != expectedFrames) std::abort();
        return 0;
    }
    // A failure: only a frame that could not be encoded, and the file is a
    // valid GIF of the frames before it or gone.
    if (job.asked == 0) std::abort();
    if (file != nullptr) {
        std::vector<uint8_t> contents;
        for (int c; (c = std::fgetc(file)) != EOF;) contents.push_back(static_cast<uint8_t>(c));
        std::fclose(file);
        std::remove(path.c_str());
        const DecodedGif gif = DecodeGif(contents);
        if (!gif.ok || static_cast<int32_t>(gif.frames.size()) != job.asked - 1) std::abort();
    }
    return 0;
}
