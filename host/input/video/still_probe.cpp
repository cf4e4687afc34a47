// The still-picture test of still_probe.h: the container opened (its
// format named from the file's first bytes and its extension), never
// decoded, and closed again.
#include "host/input/video/still_probe.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include "host/input/video/video_decoder_state.h"

bool IsStillDemuxer(const std::string& name) {
    const std::string pipe = "_pipe";
    return name == "image2" || name == "image2pipe" ||
           (name.size() > pipe.size() && name.compare(name.size() - pipe.size(), pipe.size(), pipe) == 0);
}

StillProbe ProbeStill(const std::string& path, bool verbose, std::string* reason) {
    reason->clear();
    av_log_set_level(verbose ? AV_LOG_INFO : AV_LOG_QUIET);
    AVFormatContext* format = nullptr;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    // "file:" keeps a name with a colon in it from being read as a protocol.
    const int result = avformat_open_input(&format, ("file:" + path).c_str(), nullptr, &options);
    av_dict_free(&options);
    if (result == AVERROR_INVALIDDATA) {
        *reason = "no format FFmpeg's libraries know";
        return StillProbe::NotStill;
    }
    if (result < 0) {
        *reason = result == AVERROR_EOF ? "it is empty" : ErrorText(result);
        return StillProbe::Unreadable;
    }
    const std::string name = format->iformat->name;
    avformat_close_input(&format);
    if (IsStillDemuxer(name)) return StillProbe::Still;
    *reason = "a video, sound or animation file: " + name;
    return StillProbe::NotStill;
}
