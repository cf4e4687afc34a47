// The pieces of the GIF the module writes, told apart as its bytes come:
// the head (the first 781 bytes), an extension block (the looping block,
// the comment block), a frame (its graphic control extension, when it has
// one, to its image data's end) and the trailer. Plain GIF89a block
// structure, so any encoder's frames cut the same way.
#pragma once

#include <cstddef>
#include <cstdint>

enum class PieceKind { Head, Extension, Frame, Trailer };

struct Piece {
    PieceKind kind;
    size_t bytes;    // the piece's length
    size_t delayAt;  // a frame's: where its delay's low byte is within it, kNoDelay without one
};

constexpr size_t kNoDelay = SIZE_MAX;

enum class Cut {
    Whole,     // PIECE is the next piece, complete
    Partial,   // more bytes are needed to tell
    Broken,    // the bytes are not a GIF's blocks
};

// The piece that BYTES (COUNT of them) begin with; AFTER_HEAD: the head
// has been cut already.
Cut NextPiece(const uint8_t* bytes, size_t count, bool afterHead, Piece* piece);
