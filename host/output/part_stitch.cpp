// Taking the parts' GIFs piece by piece, in the order of the whole job.
#include "host/output/part_stitch.h"

#include "platform/host_os.h"

namespace {

constexpr size_t kReadChunk = 1 << 18;
// What a part may have written ahead of the stitching before it is left to
// wait on its pipe: a few 1080p frames, so that memory stays a few frames
// a part.
constexpr size_t kMostAhead = size_t{8} << 20;

// One part's pipe and the bytes read from it not yet cut: the current
// piece at [start, start + used).
struct PartStream {
    int descriptor;
    std::vector<PartStream>* all;  // every part, read together
    std::vector<uint8_t> bytes;
    size_t start = 0;
    size_t used = 0;
    bool headCut = false;
    bool closed = false;  // its writer has gone: no more bytes come
    bool ended = false;   // its end, or bytes that are no GIF's blocks
};

void ReadOnce(PartStream* part) {
    const size_t had = part->bytes.size();
    part->bytes.resize(had + kReadChunk);
    const int64_t got = ReadDescriptor(part->descriptor, part->bytes.data() + had, kReadChunk);
    part->bytes.resize(had + static_cast<size_t>(got > 0 ? got : 0));
    if (got <= 0) part->closed = true;
}

// Reads until PART has more bytes or has closed, taking meanwhile what every
// other part has written: the parts encode at once, and one left waiting on
// a full pipe while another's frame is stitched would hold the whole job to
// one part's pace.
void ReadMore(PartStream* part) {
    std::vector<PartStream>& all = *part->all;
    std::vector<int> descriptors(all.size(), -1);
    std::vector<char> readable;
    for (;;) {
        for (size_t k = 0; k < all.size(); ++k) {
            const PartStream& other = all[k];
            const bool room = &other == part || other.bytes.size() - other.start < kMostAhead;
            descriptors[k] = !other.closed && room ? other.descriptor : -1;
        }
        if (!WaitForReadable(descriptors, &readable)) return ReadOnce(part);
        const size_t had = part->bytes.size();
        for (size_t k = 0; k < all.size(); ++k) {
            if (readable[k]) ReadOnce(&all[k]);
        }
        if (part->closed || part->bytes.size() > had) return;
    }
}

// The next whole piece of PART into PIECE (its bytes at PART's `start`
// until the next call); false at the part's end.
bool NextPartPiece(PartStream* part, Piece* piece) {
    part->start += part->used;
    part->used = 0;
    if (part->start >= kReadChunk && part->start * 2 > part->bytes.size()) {
        part->bytes.erase(part->bytes.begin(), part->bytes.begin() + static_cast<ptrdiff_t>(part->start));
        part->start = 0;
    }
    while (!part->ended) {
        const size_t left = part->bytes.size() - part->start;
        const Cut cut =
            left == 0 ? Cut::Partial : NextPiece(part->bytes.data() + part->start, left, part->headCut, piece);
        if (cut == Cut::Whole) {
            part->headCut = true;
            part->used = piece->bytes;
            return true;
        }
        if (cut == Cut::Broken || part->closed) break;
        ReadMore(part);
    }
    part->ended = true;
    return false;
}

void Pass(GifRelay* relay, const PartStream& part, const Piece& piece) {
    RelayBytes(relay, part.bytes.data() + part.start, piece.bytes);
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
    for (int descriptor : parts) streams.push_back(PartStream{descriptor, nullptr, {}, 0, 0, false, false, false});
    for (PartStream& stream : streams) stream.all = &streams;
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
