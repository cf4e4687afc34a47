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

// Keeps PACKET and its time; false without memory.
bool Keep(AheadPackets* ahead, PacketOwner packet, std::vector<int64_t>* times) {
    const AVPacket* kept = packet.get();
    try {
        ahead->packets.push_back(std::move(packet));
    } catch (const std::bad_alloc&) {
        return false;
    }
    const int64_t time = kept->pts != AV_NOPTS_VALUE ? kept->pts : kept->dts;
    const int skip = AV_PKT_FLAG_DISCARD | AV_PKT_FLAG_CORRUPT;
    if (time == AV_NOPTS_VALUE || (kept->flags & skip) != 0) return true;
    try {
        times->push_back(time);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace

void ReadAhead(const Demuxing& demux, AheadPackets* ahead, Walk* walk) {
    const AVStream* stream = demux.format->streams[demux.streamIndex];
    const AVRational base = stream->time_base;
    const int64_t span = base.num > 0 && base.den > 0 ? av_rescale_q(kAheadMicroseconds, AV_TIME_BASE_Q, base) : 0;
    std::vector<int64_t> times;
    int64_t bytes = 0;
    while (ahead->packets.size() < kAheadPackets && bytes < kAheadBytes) {
        PacketOwner packet(av_packet_alloc());
        const int result = packet != nullptr ? av_read_frame(demux.format.get(), packet.get()) : AVERROR(ENOMEM);
        if (result < 0) {
            ahead->end = result;
            break;
        }
        if (packet->stream_index != demux.streamIndex) continue;
        bytes += packet->size;
        if (!Keep(ahead, std::move(packet), &times)) {
            ahead->end = AVERROR(ENOMEM);
            break;
        }
        const auto [low, high] = std::minmax_element(times.begin(), times.end());
        if (span > 0 && !times.empty() && *high - *low >= span) break;
    }
    std::sort(times.begin(), times.end());
    FindGrid(times, TimeBase{base.num, base.den}, &walk->gridRate, &walk->gridScale);
}

int NextPacket(AheadPackets* ahead, AVFormatContext* format, AVPacket* packet) {
    if (ahead->next < ahead->packets.size()) {
        PacketOwner& kept = ahead->packets[ahead->next++];
        av_packet_move_ref(packet, kept.get());
        kept.reset();
        return 0;
    }
    // What reading ahead ended with comes again (an end or an error is final).
    if (ahead->end != 0) return ahead->end;
    return av_read_frame(format, packet);
}
