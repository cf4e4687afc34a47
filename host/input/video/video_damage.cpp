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
    const VideoPlan& plan = decoder->plan;
    const int64_t from = decoder->keyTime != AV_NOPTS_VALUE ? decoder->keyTime
                         : decoder->shownTimes.empty()      ? INT64_MAX
                                                            : decoder->shownTimes.front();
    if (ticks < from) return false;
    const bool drained = decoder->sourceEnded && decoder->draining;
    if (!drained && (decoder->shownTimes.empty() || ticks > decoder->shownTimes.back())) return false;
    if (decoder->firstTicks == AV_NOPTS_VALUE) return true;
    const int64_t time = ticks - decoder->firstTicks;
    return time >= plan.startTicks && (plan.stopTicks < 0 || time < plan.stopTicks);
}

// The output index where the frame at TICKS would first have been shown.
int64_t PlaceOf(const VideoDecoder* decoder, int64_t ticks) {
    const VideoPlan& plan = decoder->plan;
    if (!plan.resample) return PlaceOneForOne(decoder, ticks);
    return OutputFramesBefore(ticks - decoder->firstTicks - plan.startTicks, plan.timeBase, plan.rate, plan.scale);
}

}  // namespace

bool NoteSent(VideoDecoder* decoder, const AVPacket* packet) {
    // The decoder drops the frames of packets marked for discarding itself.
    if ((packet->flags & AV_PKT_FLAG_DISCARD) != 0) return true;
    ++decoder->sentShown;
    if (packet->pts == AV_NOPTS_VALUE && !decoder->untimed) {
        decoder->untimed = true;
        decoder->sentTimes.clear();
    }
    if (decoder->untimed) return true;
    if ((packet->flags & AV_PKT_FLAG_KEY) != 0 && decoder->keyTime == AV_NOPTS_VALUE) decoder->keyTime = packet->pts;
    return InsertInOrder(&decoder->sentTimes, packet->pts);
}

bool NoteShown(VideoDecoder* decoder, int64_t ticks) {
    return ticks == AV_NOPTS_VALUE || InsertInOrder(&decoder->shownTimes, ticks);
}

// From the first key frame, so that a pipe whose first frames are lost
// starts where a walked file starts; from an earlier frame that the
// decoder gives (an open group's leading frames), from that one.
int64_t FirstOfPipe(const VideoDecoder* decoder, int64_t ticks) {
    if (ticks == AV_NOPTS_VALUE) return decoder->keyTime != AV_NOPTS_VALUE ? decoder->keyTime : 0;
    return decoder->keyTime != AV_NOPTS_VALUE ? std::min(decoder->keyTime, ticks) : ticks;
}

int64_t PlaceOneForOne(const VideoDecoder* decoder, int64_t ticks) {
    const int64_t from = decoder->firstTicks != AV_NOPTS_VALUE ? Before(decoder->sentTimes, decoder->firstTicks) : 0;
    return std::max<int64_t>(0, Before(decoder->sentTimes, ticks) - from);
}

int64_t SentFrames(const VideoDecoder* decoder) {
    if (decoder->untimed) return decoder->sentShown;
    const int64_t from = decoder->firstTicks != AV_NOPTS_VALUE ? Before(decoder->sentTimes, decoder->firstTicks) : 0;
    return static_cast<int64_t>(decoder->sentTimes.size()) - from;
}

namespace {

// Untimed: the frames lost, counted once the decoder is drained.
std::string UntimedSummary(const VideoDecoder* decoder) {
    const bool drained = decoder->sourceEnded && decoder->draining;
    const int64_t count = drained ? std::max<int64_t>(0, decoder->sentShown - decoder->decoded) : 0;
    if (count == 0) return std::string();
    const std::string why = decoder->lastError != 0 ? ", " + ErrorText(decoder->lastError) : std::string();
    return (count == 1 ? std::string("a frame") : std::to_string(count) + " frames") +
           " cannot be decoded (where is not known: the packets carry no presentation times" + why +
           "); the last frame is held for " + (count == 1 ? "it" : "them");
}

}  // namespace

std::string DamageSummary(const VideoDecoder* decoder) {
    if (decoder->untimed) return UntimedSummary(decoder);
    int64_t count = 0;
    std::string names;
    size_t shown = 0;
    const std::vector<int64_t>& given = decoder->shownTimes;
    for (const int64_t ticks : decoder->sentTimes) {
        while (shown < given.size() && given[shown] < ticks) ++shown;
        if ((shown < given.size() && given[shown] == ticks) || !Counts(decoder, ticks)) continue;
        if (count < 5) names += (count == 0 ? "" : ", ") + FrameName(PlaceOf(decoder, ticks));
        ++count;
    }
    if (count == 0) return std::string();
    const std::string more = count > 5 ? " and " + std::to_string(count - 5) + " more" : std::string();
    const std::string what = count == 1 ? names + " cannot be decoded"
                                        : std::to_string(count) + " frames cannot be decoded (" + names + more + ")";
    const std::string why = decoder->lastError != 0 ? " (" + ErrorText(decoder->lastError) + ")" : std::string();
    return what + why + "; the frame before " + (count == 1 ? "it is" : "each is") + " shown in its place";
}
