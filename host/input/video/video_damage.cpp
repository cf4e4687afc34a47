// Damage told by times, as ffmpeg shows it. The decoder conceals what it
// can and gives every frame it can show (a concealed frame is shown, as
// ffmpeg shows it); a frame it does not give is skipped. Frame threads give
// frames, and report errors, a few packets late, so neither the order of
// the frames nor that of the errors says which frame was lost: the times of
// the packets given to the decoder are kept beside the times of the frames
// it gave, and a packet time without a frame is a frame lost, named by its
// place on the output's timeline.
//
// Packets without presentation times (AVI, whose frames the decoder times
// from their decoding times a reordering late) cannot be matched: there
// frames are taken in the order they come and the frames lost are counted,
// not named.
//
// A frame whose time is not after the last one's (a lost key frame's
// leading frames, which the decoder gives late) is passed over, as ffmpeg
// passes it over, and is lost (video_decode.cpp).
//
// Not damage: frames before the first key frame in time (an open group's
// leading frames, which lack their references on an input cut between key
// frames), frames outside a trimmed span, and frames still inside the
// decoder (later than the last one given) until it has been drained.
#include <algorithm>
#include <new>

#include "host/input/video/video_decoder_state.h"

namespace {

// Inserts TIME into the increasing TIMES; it nearly always goes at the end.
bool InsertInOrder(std::vector<int64_t>* times, int64_t time) {
    try {
        auto place = times->end();
        while (place != times->begin() && *(place - 1) > time) --place;
        times->insert(place, time);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// How many of the increasing TIMES are earlier than TIME.
int64_t Before(const std::vector<int64_t>& times, int64_t time) {
    return std::lower_bound(times.begin(), times.end(), time) - times.begin();
}

// Whether a frame at TICKS that the decoder did not give counts as damage.
bool Counts(const VideoDecoder* decoder, int64_t ticks) {
    const VideoPlan& plan = decoder->demux.plan;
    const DamageLog& log = decoder->damage;
    const Timeline& timeline = decoder->timeline;
    const int64_t from = log.keyTime != AV_NOPTS_VALUE ? log.keyTime
                         : log.shownTimes.empty()     ? INT64_MAX
                                                      : log.shownTimes.front();
    if (ticks < from) return false;
    const bool drained = timeline.sourceEnded && timeline.draining;
    if (!drained && (log.shownTimes.empty() || ticks > log.shownTimes.back())) return false;
    if (timeline.firstTicks == AV_NOPTS_VALUE) return true;
    const int64_t time = ticks - timeline.firstTicks;
    return time >= plan.startTicks && (plan.stopTicks < 0 || time < plan.stopTicks);
}

// The output index where the frame at TICKS would first have been shown.
int64_t PlaceOf(const VideoDecoder* decoder, int64_t ticks) {
    const VideoPlan& plan = decoder->demux.plan;
    if (!plan.resample) return PlaceOneForOne(decoder, ticks);
    const int64_t time = ticks - decoder->timeline.firstTicks - plan.startTicks;
    return OutputFramesBefore(time, plan.timeBase, plan.rate, plan.scale);
}

// The shown packets sent before the first frame's time.
int64_t SentBeforeFirst(const VideoDecoder* decoder) {
    const int64_t first = decoder->timeline.firstTicks;
    return first != AV_NOPTS_VALUE ? Before(decoder->damage.sentTimes, first) : 0;
}

// The decoder's latest error as TEXT puts it ("%s" for its words), or "".
std::string LastError(const VideoDecoder* decoder, const char* before, const char* after) {
    const int code = decoder->timeline.lastError;
    return code != 0 ? before + ErrorText(code) + after : std::string();
}

}  // namespace

bool NoteSent(DamageLog* log, const AVPacket* packet) {
    // The decoder drops the frames of packets marked for discarding itself.
    if ((packet->flags & AV_PKT_FLAG_DISCARD) != 0) return true;
    ++log->sentShown;
    if (packet->pts == AV_NOPTS_VALUE && !log->untimed) {
        log->untimed = true;
        log->sentTimes.clear();
    }
    if (log->untimed) return true;
    if ((packet->flags & AV_PKT_FLAG_KEY) != 0 && log->keyTime == AV_NOPTS_VALUE) log->keyTime = packet->pts;
    return InsertInOrder(&log->sentTimes, packet->pts);
}

bool NoteShown(DamageLog* log, int64_t ticks) {
    return ticks == AV_NOPTS_VALUE || InsertInOrder(&log->shownTimes, ticks);
}

// From the first key frame, so that a pipe whose first frames are lost
// starts where a walked file starts; from an earlier frame that the
// decoder gives (an open group's leading frames), from that one.
int64_t FirstOfPipe(const VideoDecoder* decoder, int64_t ticks) {
    const int64_t key = decoder->damage.keyTime;
    if (ticks == AV_NOPTS_VALUE) return key != AV_NOPTS_VALUE ? key : 0;
    return key != AV_NOPTS_VALUE ? std::min(key, ticks) : ticks;
}

int64_t PlaceOneForOne(const VideoDecoder* decoder, int64_t ticks) {
    return std::max<int64_t>(0, Before(decoder->damage.sentTimes, ticks) - SentBeforeFirst(decoder));
}

int64_t SentFrames(const VideoDecoder* decoder) {
    if (decoder->damage.untimed) return decoder->damage.sentShown;
    return static_cast<int64_t>(decoder->damage.sentTimes.size()) - SentBeforeFirst(decoder);
}

namespace {

// Untimed: the frames lost, counted once the decoder is drained.
std::string UntimedSummary(const VideoDecoder* decoder) {
    const Timeline& timeline = decoder->timeline;
    const bool drained = timeline.sourceEnded && timeline.draining;
    const int64_t count = drained ? std::max<int64_t>(0, decoder->damage.sentShown - timeline.decoded) : 0;
    if (count == 0) return std::string();
    return (count == 1 ? std::string("a frame") : std::to_string(count) + " frames") +
           " cannot be decoded (where is not known: the packets carry no presentation times" +
           LastError(decoder, ", ", "") + "); the last frame is held for " + (count == 1 ? "it" : "them");
}

}  // namespace

std::string DamageSummary(const VideoDecoder* decoder) {
    if (decoder->damage.untimed) return UntimedSummary(decoder);
    int64_t count = 0;
    std::string names;
    size_t shown = 0;
    const std::vector<int64_t>& given = decoder->damage.shownTimes;
    for (const int64_t ticks : decoder->damage.sentTimes) {
        while (shown < given.size() && given[shown] < ticks) ++shown;
        if ((shown < given.size() && given[shown] == ticks) || !Counts(decoder, ticks)) continue;
        if (count < kNamedFrames) names += (count == 0 ? "" : ", ") + FrameName(PlaceOf(decoder, ticks));
        ++count;
    }
    if (count == 0) return std::string();
    const std::string more =
        count > kNamedFrames ? " and " + std::to_string(count - kNamedFrames) + " more" : std::string();
    const std::string what = count == 1 ? names + " cannot be decoded"
                                        : std::to_string(count) + " frames cannot be decoded (" + names + more + ")";
    return what + LastError(decoder, " (", ")") + "; the frame before " + (count == 1 ? "it is" : "each is") +
           " shown in its place";
}
