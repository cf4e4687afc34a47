// The fake host's callbacks work on one process-wide record, as a real
// host's do: the callbacks carry no context pointer.
#include "tests/unit/fake_host.h"

#include <cstdio>

#include "tests/unit/test_frames.h"

namespace {

FakeHost current;

void Log(const std::string& call) {
    if (current.logCalls) current.calls.push_back(call);
}

void* ROZOVE_CDECL GetFrame(int32_t index) {
    Log("frame " + std::to_string(index));
    ++current.framesAsked;
    if (index == current.nullFrameAt) return nullptr;
    current.frame = current.makeFrame ? current.makeFrame(index)
                                      : DefaultFrame(current.request.width, current.request.height, index);
    return current.frame.data();
}

int32_t ROZOVE_CDECL IsAborted() {
    // The index about to be fetched is the number of frames asked for so far.
    Log("aborted?");
    return current.abortAt >= 0 && current.framesAsked >= current.abortAt ? 1 : 0;
}

int32_t ROZOVE_CDECL ReportProgress(int32_t frame, int32_t total) {
    Log("progress " + std::to_string(frame) + "/" + std::to_string(total));
    return 1;
}

int32_t ROZOVE_CDECL AfterClose() {
    Log("afterClose");
    ++current.afterCloseCalls;
    current.fileSizeAtClose = FileSize(current.path.c_str());
    return 1;
}

}  // namespace

std::vector<uint8_t> DefaultFrame(int width, int height, int index) {
    return MakeHostFrame(width, height, [index](int x, int y) {
        return Bgr{static_cast<uint8_t>(x * 3 + index * 11), static_cast<uint8_t>(y * 5 + index),
                   static_cast<uint8_t>((x ^ y) + index * 7)};
    });
}

FakeHost& StartFakeHost(const std::string& path, int width, int height, int rate, int scale, int frameCount) {
    current = FakeHost{};
    current.path = path;
    current.abortAt = -1;
    current.nullFrameAt = -1;
    current.fileSizeAtClose = -1;
    current.logCalls = true;
    current.request = MakeOutputRequest(width, height, rate, scale, frameCount, current.path.c_str(),
                                        JobCallbacks{GetFrame, IsAborted, ReportProgress, AfterClose});
    return current;
}

std::string FreshPath(const std::string& name) {
    std::remove(name.c_str());
    return name;
}
