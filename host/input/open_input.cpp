// Which source reads an input. Our own readers take raw frames and Y4M (a
// file named .y4m, or an input that starts as one; interlaced too, as every
// container's is, taken as it is), so both builds, files and pipes give the
// same bytes and the same refusals; FFmpeg's libraries take any other
// video, Y4M that is to be scaled or resampled, any pipe by name, and
// numbered image sequences ("frames/%04d.png", at 25 a second unless
// --fps says otherwise); several still images go to the stills source,
// which opens each in its turn through them.
#include "host/input/input_stream.h"
#include "host/input/sequence_name.h"
#include "host/input/sources.h"
#include "platform/host_os.h"

namespace {

bool NamedY4m(const std::string& path) {
    if (path.size() < 4) return false;
    std::string suffix = path.substr(path.size() - 4);
    for (char& c : suffix) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return suffix == ".y4m";
}

}  // namespace

bool OpenInputSource(const InputRequest& request, FrameSource* source, std::string* error) {
    const std::string& path = request.path;
    if (!request.stills.empty()) return OpenStillsSource(request, source, error);
    if (IsRaw(request)) return OpenRawSource(path, request.raw, source, error);
    // A pipe by name (a FIFO, /dev/fd/N from a shell's <(...)) can be read
    // only once: it is not peeked at, and FFmpeg's libraries, which read
    // Y4M as well, take it.
    const bool readOnce = path != "-" && (NamesDeviceOrPipe(path) || NamesSequence(path));
    if (VideoInputBuilt() &&
        (WantsScaling(request.video) || (!NamedY4m(path) && (readOnce || !StartsLikeY4m(path))))) {
        return OpenVideoSource(path, request.video, source, error);
    }
    if (OpenY4mSource(path, source, error)) return true;
    if (!VideoInputBuilt() && error->find("not a Y4M stream") != std::string::npos) {
        *error += "; this build reads Y4M and raw frames: convert with ffmpeg -i IN -f yuv4mpegpipe OUT.y4m";
    }
    return false;
}
