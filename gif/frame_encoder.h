// One host frame turned into a single-image GIF in a fixed global memory
// block (an EncodedFrame), which the caller frees with GlobalFree.
#pragma once

#include <cstdint>

#include "gif/gray_convert.h"
#include "platform/win32_api.h"

struct LzwDictionary;

// Null when the frame cannot be encoded: no pixels, an empty picture, a side
// beyond the GIF limit of 65535, or a failure of the platform. On success the
// block's length is stored through outLength when it is not null.
//
// lzwTable: null, or the job's string table (EncodeGifImage), which our own
// encoder then reuses from frame to frame. The library is never given it.
HGLOBAL EncodeFrame(const void* pixels, int32_t width, int32_t height, int32_t maskMode,
                    const GrayPalette* palette, int32_t* outLength, LzwDictionary** lzwTable);

// Index of the image library's "image/gif" encoder, with its class id copied
// out, or -1.
int32_t FindGifEncoder(CLSID* classId);

// Whether the image library's GIF encoder writes the layout the animation
// writer cuts. A library's encoder does not change while the module is
// loaded, so the first frame that finds the library started asks it once,
// with a 4 x 4 picture, and the answer holds for the life of the module.
// Besides the settings (gifSettings), this is the one process-wide value of
// the system; plain, no lock, like them. It stays Unknown while no probe has
// got as far as checking the library's bytes (a library that did not start,
// has no GIF encoder or failed on one frame decides nothing). A library
// known to lack the layout is never started again: every frame is then our
// own encoder's. Where it has the layout, every frame is still saved by the
// library and checked.
enum class LibraryGifLayout : int32_t { Unknown, Present, Absent };
extern LibraryGifLayout libraryGifLayout;
