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

struct LzwDictionary;

// Largest number of bytes EncodeGifImage can write for a picture of this
// size (width and height 1..65535); 0 when the size is outside that range.
size_t GifEncodedBound(int32_t width, int32_t height);

// Encodes image (indices, rows top-down, image.stride bytes apart) with the
// palette as its global colour table into out, which must hold at least
// GifEncodedBound(image.width, image.height) bytes. Returns the bytes
// written, or 0 when the size is outside 1..65535 in either direction or
// memory for the string table is short.
//
// table: null, and the picture gets a string table of its own; or a table
// kept by the caller from one picture to the next (*table null at first,
// freed by the caller with LzwDestroy). It is used again when its code limit
// fits the picture (every picture leaves it empty), and otherwise replaced,
// the old one freed first; when no table can be had, *table is null and 0 is
// returned. The bytes are the same either way.
size_t EncodeGifImage(const IndexImage& image, const GrayPalette& palette, uint8_t* out, LzwDictionary** table);
