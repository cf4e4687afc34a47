// One host frame turned into a single-image GIF in a fixed global memory
// block (an EncodedFrame), which the caller frees with GlobalFree.
#pragma once

#include <cstdint>

#include "gif/gray_convert.h"
#include "platform/win32_api.h"

// Null when the frame cannot be encoded: no pixels, an empty picture, a side
// beyond the GIF limit of 65535, or a failure of the platform. On success the
// block's length is stored through outLength when it is not null.
HGLOBAL EncodeFrame(const void* pixels, int32_t width, int32_t height, int32_t maskMode,
                    const GrayPalette* palette, int32_t* outLength);

// Index of the image library's "image/gif" encoder, with its class id copied
// out, or -1.
int32_t FindGifEncoder(CLSID* classId);
