// A pipe's first packets, read at open before any is decoded. A pipe is not
// walked (it cannot be read twice), yet its header's rate may not be the
// grid its frames lie on (a Matroska copy of a recording that pauses keeps
// the MP4's average rate), so its first video packets are read ahead, held
// here, and the grid their times lie on is found as a walk finds a file's.
// The decoder then takes these packets before reading on.
#include <algorithm>
#include <new>

#include "host/input/video/video_decoder_state.h"

namespace {

// How far the packets read ahead go: a second of them, at most 30 and
// 32 MiB (a pipe of raw frames), so that a live pipe's first frame is not
// long in coming and a large one is not held.
constexpr size_t kAheadPackets = 30;
constexpr int64_t kAheadBytes = int64_t(32) << 20;
constexpr int64_t kAheadMicroseconds = 1000000;

// Keeps PACKET (now the decoder's) and its time; false without memory.
bool Keep(VideoDecoder* decoder, AVPacket* packet, std::vector<int64_t>* times) {
    try {
        decoder->ahead.push_back(packet);
    } catch (const std::bad_alloc&) {
        av_packet_free(&packet);
        return false;
    }
    const int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    const int skip = AV_PKT_FLAG_DISCARD | AV_PKT_FLAG_CORRUPT;
    if (time == AV_NOPTS_VALUE || (packet->flags & skip) != 0) return true;
    try {
        times->push_back(time);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace

void ReadAhead(VideoDecoder* decoder, Walk* walk) {
    const AVStream* stream = decoder->format->streams[decoder->streamIndex];
    const AVRational base = stream->time_base;
    const int64_t span = base.num > 0 && base.den > 0 ? av_rescale_q(kAheadMicroseconds, AV_TIME_BASE_Q, base) : 0;
    std::vector<int64_t> times;
    int64_t bytes = 0;
    while (decoder->ahead.size() < kAheadPackets && bytes < kAheadBytes) {
        AVPacket* packet = av_packet_alloc();
        const int result = packet != nullptr ? av_read_frame(decoder->format, packet) : AVERROR(ENOMEM);
        if (result < 0) {
            av_packet_free(&packet);
            decoder->aheadEnd = result;
            break;
        }
        if (packet->stream_index != decoder->streamIndex) {
            av_packet_free(&packet);
            continue;
        }
        bytes += packet->size;
        if (!Keep(decoder, packet, &times)) {
            decoder->aheadEnd = AVERROR(ENOMEM);
            break;
        }
        const auto [low, high] = std::minmax_element(times.begin(), times.end());
        if (span > 0 && !times.empty() && *high - *low >= span) break;
    }
    std::sort(times.begin(), times.end());
    FindGrid(times, TimeBase{base.num, base.den}, &walk->gridRate, &walk->gridScale);
}

int NextPacket(VideoDecoder* decoder) {
    if (decoder->aheadNext < decoder->ahead.size()) {
        AVPacket*& kept = decoder->ahead[decoder->aheadNext++];
        av_packet_move_ref(decoder->packet, kept);
        av_packet_free(&kept);
        return 0;
    }
    // What reading ahead ended with comes again (an end or an error is final).
    if (decoder->aheadEnd != 0) return decoder->aheadEnd;
    return av_read_frame(decoder->format, decoder->packet);
}

void DropAhead(VideoDecoder* decoder) {
    for (AVPacket*& packet : decoder->ahead) av_packet_free(&packet);
    decoder->ahead.clear();
}
