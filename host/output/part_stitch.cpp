// Taking the parts' GIFs piece by piece, in the order of the whole job.
#include "host/output/part_stitch.h"

#include "platform/host_os.h"

namespace {

constexpr size_t kReadChunk = 1 << 16;

// One part's pipe and the bytes read from it not yet cut.
struct PartStream {
    int descriptor;
    std::vector<uint8_t> bytes;
    size_t used = 0;
    bool headCut = false;
    bool ended = false;  // its end, or bytes that are no GIF's blocks
};

// The next whole piece of PART into PIECE (its bytes at PART's `used`
// until the next call); false at the part's end.
bool NextPartPiece(PartStream* part, Piece* piece) {
    if (part->used > 0) {
        part->bytes.erase(part->bytes.begin(), part->bytes.begin() + static_cast<ptrdiff_t>(part->used));
        part->used = 0;
    }
    while (!part->ended) {
        const Cut cut = part->bytes.empty() ? Cut::Partial
                                            : NextPiece(part->bytes.data(), part->bytes.size(), part->headCut, piece);
        if (cut == Cut::Whole) {
            part->headCut = true;
            part->used = piece->bytes;
            return true;
        }
        if (cut == Cut::Broken) break;
        const size_t had = part->bytes.size();
        part->bytes.resize(had + kReadChunk);
        const int64_t got = ReadDescriptor(part->descriptor, part->bytes.data() + had, kReadChunk);
        part->bytes.resize(had + static_cast<size_t>(got > 0 ? got : 0));
        if (got <= 0) break;
    }
    part->ended = true;
    return false;
}

void Pass(GifRelay* relay, const PartStream& part, const Piece& piece) {
    RelayBytes(relay, part.bytes.data(), piece.bytes);
}

// The head and the looping block: the first part's passed on, the others'
// dropped. False when PART holds no frame (a part given none writes
// nothing).
bool TakeOpening(PartStream* part, GifRelay* relay, bool passOn) {
    Piece piece;
    while (NextPartPiece(part, &piece)) {
        if (piece.kind == PieceKind::Frame) {
            part->used = 0;  // cut again by the frame loop
            return true;
        }
        if (piece.kind == PieceKind::Trailer) return false;
        if (passOn) Pass(relay, *part, piece);
    }
    return false;
}

// The closing blocks after the last frame: PART's, whose PIECE (not a
// frame) opens them; where PART was given no frame, the first part's once
// it ends (every frame has been dealt then).
void PassClosing(PartStream* part, bool framed, Piece piece, PartStream* first, GifRelay* relay) {
    if (part->ended) {
        // A part that ended inside its frames has failed: no closing.
        if (framed) return;
        part = first;
        while (NextPartPiece(part, &piece) && piece.kind == PieceKind::Frame) {
        }
        if (part->ended) return;
    }
    do {
        Pass(relay, *part, piece);
    } while (piece.kind != PieceKind::Trailer && NextPartPiece(part, &piece));
}

}  // namespace

void StitchParts(const std::vector<int>& parts, GifRelay* relay) {
    std::vector<PartStream> streams;
    for (int descriptor : parts) streams.push_back(PartStream{descriptor, {}, 0, false, false});
    std::vector<bool> framed(streams.size(), false);
    for (size_t k = 0; k < streams.size(); ++k) framed[k] = TakeOpening(&streams[k], relay, k == 0);
    if (!streams.empty() && framed[0]) {
        Piece piece{PieceKind::Trailer, 0, kNoDelay};
        size_t k = 0;
        for (size_t i = 0;; ++i) {
            k = i % streams.size();
            if (!framed[k]) {
                streams[k].ended = true;
                break;
            }
            if (!NextPartPiece(&streams[k], &piece) || piece.kind != PieceKind::Frame) break;
            Pass(relay, streams[k], piece);
        }
        PassClosing(&streams[k], framed[k], piece, &streams[0], relay);
    }
    EndRelay(relay);
    // What the parts write after the frames taken (their own closing
    // blocks; after a part failed, frames past it) is read and dropped, all
    // parts at once: a part is never stopped by its reader gone, which
    // would be its failure, nor left waiting while another is read.
    DrainDescriptors(parts);
}
