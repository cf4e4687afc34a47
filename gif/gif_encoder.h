// Our own single-image GIF89a encoder (LZW). It writes the layout the
// animation writer cuts up: signature, screen descriptor with a 256-entry
// global colour table, a graphic control extension at byte 781 with index 0
// transparent, the image descriptor, the LZW data in sub-blocks, 0x00, 0x3B.
// It serves behind the Linux GDI+ stand-in and, on Windows, whenever the
// platform's encoder cannot give a frame in that layout.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gif/gray_convert.h"

// Largest number of bytes EncodeGifImage can write for a picture of this
// size (width and height 1..65535); 0 when the size is outside that range.
size_t GifEncodedBound(int32_t width, int32_t height);

// Encodes image (indices, rows top-down, image.stride bytes apart) with the
// palette as its global colour table into out, which must hold at least
// GifEncodedBound(image.width, image.height) bytes. Returns the bytes
// written, or 0 when the size is outside 1..65535 in either direction.
size_t EncodeGifImage(const IndexImage& image, const GrayPalette& palette, uint8_t* out);
