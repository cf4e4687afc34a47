// Fuzz target: the host's Y4M reader on arbitrary bytes, through a file as
// an export reads it. It must refuse or read cleanly, never touch memory it
// does not own, and every frame it hands out must be a whole host frame.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/input/sources.h"
#include "plugin/host_contract.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = "y4m_fuzz_" + std::to_string(getpid()) + ".y4m";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    FrameSource source{};
    std::string error;
    if (OpenY4mSource(path, &source, &error)) {
        if (source.width < 1 || source.height < 1 || source.rate < 1 || source.scale < 1) std::abort();
        if (source.knownFrames < 0) std::abort();  // a regular file is counted up front
        int64_t frames = 0;
        std::string problem;
        while (frames < 64 && ReadNextFrame(&source, &problem) == FrameRead::Frame) {
            const uint64_t expected = static_cast<uint64_t>(FrameStride(source.width)) * source.height;
            if (source.pixels.size() < expected) std::abort();
            ++frames;
        }
        if (frames > source.knownFrames) std::abort();
        CloseSource(&source);
    } else if (error.empty() || error.find('\n') != std::string::npos) {
        std::abort();  // every refusal says why, on one line
    }
    std::remove(path.c_str());
    return 0;
}
