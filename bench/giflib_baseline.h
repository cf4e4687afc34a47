// giflib doing the same work as our encoder and our whole job, as the
// baseline every figure is compared with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gif/gray_convert.h"
#include "plugin/host_contract.h"

// Encodes the picture as a single-image GIF89a with giflib into out (grown
// as needed, reused between calls); returns the bytes written, 0 on failure.
size_t EncodeWithGiflib(const IndexImage& image, std::vector<uint8_t>* out);

// The whole job a giflib-based plug-in would do: fetch each frame, convert
// it with the plain loop, encode it with giflib straight into the file with a
// graphic control extension, sleep 1 ms per frame as ours does. Returns
// false when the file could not be written.
bool RunGiflibJob(const OutputRequest& request);
