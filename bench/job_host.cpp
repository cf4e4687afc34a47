// The job host's frames and callbacks. The callbacks carry no context, so
// the frames live in one process-wide record, as a real host's do.
#include "bench/job_host.h"

#include <vector>

namespace {

// Enough distinct frames that every frame differs from the one before.
constexpr int kDistinctFrames = 8;

struct JobHost {
    std::vector<std::vector<uint8_t>> frames;
    std::string path;
};
JobHost host;

void* ROZOVE_CDECL GetFrame(int32_t index) {
    return host.frames[static_cast<size_t>(index) % host.frames.size()].data();
}

}  // namespace

OutputRequest StartJobHost(Content content, int width, int height, int frameCount, const std::string& path) {
    host.frames.clear();
    const int distinct = content == Content::Static ? 1 : kDistinctFrames;
    for (int i = 0; i < distinct; ++i) host.frames.push_back(MakeContentFrame(content, width, height, i));
    host.path = path;
    return MakeOutputRequest(width, height, 30000, 1001, frameCount, host.path.c_str(),
                             JobCallbacks{GetFrame, NeverAborted, IgnoreProgress, NothingAfterClose});
}

void StopJobHost() {
    host.frames.clear();
    host.frames.shrink_to_fit();
}

int32_t ROZOVE_CDECL NeverAborted() {
    return 0;
}
int32_t ROZOVE_CDECL IgnoreProgress(int32_t, int32_t) {
    return 1;
}
int32_t ROZOVE_CDECL NothingAfterClose() {
    return 1;
}
