// Cutting the module's GIF into its pieces by the GIF89a block structure:
// an extension is its introducer and label, then data sub-blocks up to an
// empty one; an image is its descriptor, its local colour table when its
// flags announce one, the LZW code size and data sub-blocks.
#include "host/output/gif_pieces.h"

#include "gif/gif_layout.h"

namespace {

constexpr uint8_t kImageSeparator = 0x2C;
constexpr size_t kImageDescriptorBytes = 10;
constexpr size_t kIncomplete = 0;

// Where the sub-blocks that start at AT end (after the empty one), or
// kIncomplete when they run past COUNT.
size_t SubBlocksEnd(const uint8_t* bytes, size_t count, size_t at) {
    while (at < count) {
        const size_t length = bytes[at];
        at += 1 + length;
        if (length == 0) return at;
    }
    return kIncomplete;
}

// Where the image that starts at AT ends, or kIncomplete.
size_t ImageEnd(const uint8_t* bytes, size_t count, size_t at) {
    if (count < at + kImageDescriptorBytes + 1) return kIncomplete;
    const uint8_t flags = bytes[at + 9];
    size_t data = at + kImageDescriptorBytes;
    if (flags & 0x80) data += 3 * (size_t{2} << (flags & 0x07));  // the local colour table
    return SubBlocksEnd(bytes, count, data + 1);                    // past the LZW code size
}

// A frame: its extensions (the graphic control one among them) and its image.
Cut FramePiece(const uint8_t* bytes, size_t count, Piece* piece) {
    *piece = Piece{PieceKind::Frame, 0, kNoDelay};
    size_t at = 0;
    while (at < count && bytes[at] == gif_layout::kExtensionIntroducer) {
        if (at + 2 > count) return Cut::Partial;
        if (bytes[at + 1] == gif_layout::kGraphicControlLabel) {
            if (piece->delayAt != kNoDelay) return Cut::Broken;  // two in one frame
            piece->delayAt = at + gif_layout::kExtensionDelay - gif_layout::kExtension;
        }
        const size_t end = SubBlocksEnd(bytes, count, at + 2);
        if (end == kIncomplete) return Cut::Partial;
        at = end;
    }
    if (at >= count) return Cut::Partial;
    if (bytes[at] != kImageSeparator) return Cut::Broken;
    const size_t end = ImageEnd(bytes, count, at);
    if (end == kIncomplete) return Cut::Partial;
    piece->bytes = end;
    return Cut::Whole;
}

}  // namespace

Cut NextPiece(const uint8_t* bytes, size_t count, bool afterHead, Piece* piece) {
    if (!afterHead) {
        *piece = Piece{PieceKind::Head, gif_layout::kHeadBytes, kNoDelay};
        if (count >= 3 && (bytes[0] != 'G' || bytes[1] != 'I' || bytes[2] != 'F')) return Cut::Broken;
        return count >= gif_layout::kHeadBytes ? Cut::Whole : Cut::Partial;
    }
    if (count == 0) return Cut::Partial;
    if (bytes[0] == gif_layout::kTrailer) {
        *piece = Piece{PieceKind::Trailer, 1, kNoDelay};
        return Cut::Whole;
    }
    if (bytes[0] == kImageSeparator) return FramePiece(bytes, count, piece);
    if (bytes[0] != gif_layout::kExtensionIntroducer) return Cut::Broken;
    if (count < 2) return Cut::Partial;
    // A graphic control extension opens a frame; any other stands alone.
    if (bytes[1] == gif_layout::kGraphicControlLabel) return FramePiece(bytes, count, piece);
    const size_t end = SubBlocksEnd(bytes, count, 2);
    *piece = Piece{PieceKind::Extension, end, kNoDelay};
    return end == kIncomplete ? Cut::Partial : Cut::Whole;
}
