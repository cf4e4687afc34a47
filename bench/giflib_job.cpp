// giflib_job --size WxH --rate R IN.raw OUT.gif
//
// The whole-process peer of `rozove export --size WxH --rate R IN.raw
// OUT.gif`: the job a giflib-based plug-in would do (RunGiflibJob: the plain
// conversion loop over GrayLevel, giflib writing a looping gray GIF with a
// graphic control extension and the 1 ms pause per frame, as ours), fed with
// the raw bgr24 frames of a file as rozove feeds the module. Timing the two
// programs side by side shows what users wait for, start-up and reading
// included.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/giflib_baseline.h"
#include "bench/job_host.h"
#include "plugin/host_contract.h"

namespace {

struct Arguments {
    int32_t width = 0, height = 0;
    int32_t rate = 0, scale = 1;
    const char* input = nullptr;
    const char* output = nullptr;
};

// The frames' source. The callbacks carry no context, so it is one
// process-wide record, as a real host's frames are.
struct RawInput {
    std::FILE* file = nullptr;
    int32_t width = 0, height = 0;
    std::vector<uint8_t> frame;  // host layout: bottom-up, rows padded to 4 bytes
    std::vector<char> buffer;    // stdio's, large enough for a few rows a read
};
RawInput raw;

// ffmpeg writes rows top-down and unpadded; each is read into its place in
// the bottom-up host frame, as rozove does. Frames come in order, so the
// index is not needed.
void* ROZOVE_CDECL GetFrame(int32_t) {
    const size_t rowBytes = 3 * static_cast<size_t>(raw.width);
    for (int32_t y = 0; y < raw.height; ++y) {
        uint8_t* row = raw.frame.data() + FrameRowOffset(raw.width, raw.height, y);
        if (std::fread(row, 1, rowBytes, raw.file) != rowBytes) return nullptr;
    }
    return raw.frame.data();
}

// A positive decimal integer that fills TEXT up to END (a character, or 0
// for the end of the text); *REST is left after it.
bool ParsePositive(const char* text, char end, int32_t* value, const char** rest) {
    errno = 0;
    char* after = nullptr;
    const long parsed = std::strtol(text, &after, 10);
    if (after == text || *after != end || errno != 0 || parsed <= 0 || parsed > INT32_MAX) return false;
    *value = static_cast<int32_t>(parsed);
    if (rest != nullptr) *rest = after + 1;
    return true;
}

// "N", "N/D" or "N:D" frames per second.
bool ParseRate(const char* text, Arguments* arguments) {
    const char* separator = std::strpbrk(text, "/:");
    if (separator == nullptr) return ParsePositive(text, 0, &arguments->rate, nullptr);
    const char* rest = nullptr;
    return ParsePositive(text, *separator, &arguments->rate, &rest) &&
           ParsePositive(rest, 0, &arguments->scale, nullptr);
}

bool ParseArguments(int argc, char** argv, Arguments* arguments) {
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        const char* rest = nullptr;
        if (std::strcmp(argv[i], "--size") == 0 && hasValue) {
            const char* size = argv[++i];
            if (!ParsePositive(size, 'x', &arguments->width, &rest) ||
                !ParsePositive(rest, 0, &arguments->height, nullptr)) {
                return false;
            }
        } else if (std::strcmp(argv[i], "--rate") == 0 && hasValue) {
            if (!ParseRate(argv[++i], arguments)) return false;
        } else if (positional == 0) {
            arguments->input = argv[i], ++positional;
        } else if (positional == 1) {
            arguments->output = argv[i], ++positional;
        } else {
            return false;
        }
    }
    return positional == 2 && arguments->width > 0 && arguments->rate > 0;
}

// Whole frames in the file, from its length (a left-over part is ignored).
int32_t CountFrames(std::FILE* file, int32_t width, int32_t height) {
    if (std::fseek(file, 0, SEEK_END) != 0) return -1;
    const long size = std::ftell(file);
    std::rewind(file);
    const long frameBytes = 3L * width * height;
    if (size < 0) return -1;
    const long count = size / frameBytes;
    return count > INT32_MAX ? INT32_MAX : static_cast<int32_t>(count);
}

}  // namespace

int main(int argc, char** argv) {
    Arguments arguments;
    if (!ParseArguments(argc, argv, &arguments)) {
        std::fprintf(stderr, "usage: giflib_job --size WxH --rate N[/D] IN.raw OUT.gif\n");
        return 2;
    }
    raw.file = std::fopen(arguments.input, "rb");
    if (raw.file == nullptr) {
        std::fprintf(stderr, "giflib_job: cannot open %s: %s\n", arguments.input, std::strerror(errno));
        return 1;
    }
    // A program written for files of hundreds of megabytes reads them in
    // large pieces, not stdio's default 4 KiB.
    raw.buffer.resize(1 << 20);
    std::setvbuf(raw.file, raw.buffer.data(), _IOFBF, raw.buffer.size());
    raw.width = arguments.width;
    raw.height = arguments.height;
    raw.frame.resize(static_cast<size_t>(FrameStride(raw.width)) * static_cast<size_t>(raw.height));
    const int32_t frames = CountFrames(raw.file, raw.width, raw.height);
    if (frames <= 0) {
        std::fprintf(stderr, "giflib_job: %s holds no whole %dx%d bgr24 frame\n", arguments.input, raw.width,
                     raw.height);
        return 1;
    }
    const OutputRequest request =
        MakeOutputRequest(raw.width, raw.height, arguments.rate, arguments.scale, frames, arguments.output,
                          JobCallbacks{GetFrame, NeverAborted, IgnoreProgress, NothingAfterClose});
    const bool written = RunGiflibJob(request);
    std::fclose(raw.file);
    if (!written) std::fprintf(stderr, "giflib_job: cannot write %s\n", arguments.output);
    return written ? 0 : 1;
}
