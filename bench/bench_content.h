// Frames for the benchmarks, made here rather than read from files so that
// every run measures the same pixels: still graphics, smooth motion over
// every pixel, and noise, in the host's layout (blue-green-red, bottom-up,
// rows padded to 4 bytes).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gif/gray_convert.h"

enum class Content { Static, Zoom, Noise };

const char* ContentName(Content content);

// Frame `index` of the content; Static gives the same frame for every index.
std::vector<uint8_t> MakeContentFrame(Content content, int width, int height, int index);

// An index picture with its own storage, laid out as the frame encoder
// hands it over (rows padded to 4 bytes).
struct OwnedIndexImage {
    std::vector<uint8_t> pixels;
    IndexImage image;
};
OwnedIndexImage ConvertForEncoding(const std::vector<uint8_t>& frame, int width, int height);

// The gray conversion as a plain per-pixel loop over GrayLevel, kept scalar:
// the baselines the optimised conversions are measured against, plain mode
// and mask mode each against its own.
void ConvertPlainReference(const uint8_t* frame, int32_t width, int32_t height, IndexImage* destination);
void ConvertMaskedReference(const uint8_t* frame, int32_t width, int32_t height, IndexImage* destination);
