// Host frames and index pictures for tests: built pixel by pixel in the
// host's layout (blue-green-red, rows bottom-up, rows padded to 4 bytes).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

struct Bgr {
    uint8_t b, g, r;
};

// pixel(x, y) with y = 0 the top row of the picture.
std::vector<uint8_t> MakeHostFrame(int width, int height, const std::function<Bgr(int x, int y)>& pixel);

// Indices 0..255 in rows top-down, no padding.
std::vector<uint8_t> RandomIndices(int width, int height, uint32_t seed);
std::vector<uint8_t> GradientIndices(int width, int height);

// Reads a whole file; empty when it does not exist.
std::vector<uint8_t> ReadFileBytes(const char* path);
bool FileExists(const char* path);
// Size by seeking, so that a device such as /dev/full is never read; -1 when absent.
int64_t FileSize(const char* path);
