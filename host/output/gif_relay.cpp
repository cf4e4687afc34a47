// Cutting the module's GIF and writing it on, with delays from the
// frames' own times where the job gives them.
#include "host/output/gif_relay.h"

#include <cerrno>

#include "host/output/frame_delays.h"

namespace {

void Write(GifRelay* relay, const uint8_t* bytes, size_t count) {
    if (relay->writeError != 0 || count == 0) return;
    if (std::fwrite(bytes, 1, count, relay->sink) != count) {
        relay->writeError = errno != 0 ? errno : EIO;
        return;
    }
    relay->written += static_cast<int64_t>(count);
}

// The held frame, shown until UNTIL: its delay patched in, written once,
// or as often as a delay longer than a frame can carry needs.
void WriteHeld(GifRelay* relay, int64_t until) {
    int64_t delay = frame_delays::DelayUntil(until, &relay->given);
    for (;;) {
        const int64_t part = delay > frame_delays::kLongest ? frame_delays::kLongest : delay;
        if (relay->heldDelayAt != kNoDelay) {
            relay->held[relay->heldDelayAt] = static_cast<uint8_t>(part & 0xFF);
            relay->held[relay->heldDelayAt + 1] = static_cast<uint8_t>(part >> 8);
        }
        Write(relay, relay->held.data(), relay->held.size());
        delay -= part;
        // A frame without a graphic control extension carries no delay.
        if (delay <= 0 || relay->heldDelayAt == kNoDelay) break;
    }
    relay->held.clear();
}

// The time of frame INDEX as the job gave it; a frame the job has not
// timed (it cannot happen: the module encodes only frames it was given)
// follows the one before.
FrameTime TimeOf(GifRelay* relay, int64_t index) {
    std::lock_guard<std::mutex> hold(relay->times->lock);
    const std::vector<FrameTime>& frames = relay->times->frames;
    if (index < static_cast<int64_t>(frames.size())) return frames[static_cast<size_t>(index)];
    return frames.empty() ? FrameTime{0, 0} : FrameTime{frames.back().end, frames.back().end};
}

// Writes the whole PIECE, which BYTES begin.
void Pass(GifRelay* relay, const uint8_t* bytes, const Piece& piece) {
    const bool timed = relay->times != nullptr;
    if (piece.kind == PieceKind::Frame && timed) {
        const int64_t index = relay->frames;
        if (index > 0) WriteHeld(relay, TimeOf(relay, index).start);
        relay->held.assign(bytes, bytes + piece.bytes);
        relay->heldDelayAt = piece.delayAt;
    } else {
        if (timed && !relay->held.empty()) WriteHeld(relay, TimeOf(relay, relay->frames - 1).end);
        Write(relay, bytes, piece.bytes);
    }
    if (piece.kind == PieceKind::Frame) ++relay->frames;
}

void Flush(GifRelay* relay) {
    if (relay->writeError == 0 && relay->written > 0 && std::fflush(relay->sink) != 0) {
        relay->writeError = errno != 0 ? errno : EIO;
    }
}

}  // namespace

void RelayBytes(GifRelay* relay, const uint8_t* bytes, size_t count) {
    if (relay->broken || relay->empty) return;
    relay->pending.insert(relay->pending.end(), bytes, bytes + count);
    size_t used = 0;
    while (used < relay->pending.size()) {
        const uint8_t* at = relay->pending.data() + used;
        const size_t left = relay->pending.size() - used;
        // Before its head the module writes only the closing blocks of a
        // job without frames: nothing to keep.
        if (!relay->headSeen && at[0] == 0x21) {
            relay->empty = true;
            break;
        }
        Piece piece;
        const Cut cut = NextPiece(at, left, relay->headSeen, &piece);
        if (cut == Cut::Broken) relay->broken = true;
        if (cut != Cut::Whole) break;
        Pass(relay, at, piece);
        relay->headSeen = true;
        used += piece.bytes;
    }
    relay->pending.erase(relay->pending.begin(), relay->pending.begin() + static_cast<ptrdiff_t>(used));
    Flush(relay);
}

void EndRelay(GifRelay* relay) {
    if (!relay->held.empty()) WriteHeld(relay, TimeOf(relay, relay->frames - 1).end);
    if (!relay->pending.empty() && !relay->empty) relay->broken = true;  // cut off inside a piece
    Flush(relay);
}
