// Builders of test frames and pictures.
#include "tests/unit/test_frames.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "plugin/host_contract.h"

std::vector<uint8_t> MakeHostFrame(int width, int height, const std::function<Bgr(int x, int y)>& pixel) {
    const int64_t stride = FrameStride(width);
    // Padding bytes get a value no conversion may read.
    std::vector<uint8_t> frame(static_cast<size_t>(stride * height), 0xA5);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = frame.data() + FrameRowOffset(width, height, y);
        for (int x = 0; x < width; ++x) {
            const Bgr p = pixel(x, y);
            row[3 * x] = p.b;
            row[3 * x + 1] = p.g;
            row[3 * x + 2] = p.r;
        }
    }
    return frame;
}

std::vector<uint8_t> RandomIndices(int width, int height, uint32_t seed) {
    std::vector<uint8_t> indices(static_cast<size_t>(width) * height);
    uint32_t state = seed * 2654435761u + 1;
    for (uint8_t& index : indices) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        index = static_cast<uint8_t>(state >> 24);
    }
    return indices;
}

std::vector<uint8_t> GradientIndices(int width, int height) {
    std::vector<uint8_t> indices(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) indices[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>((x / 7 + y / 5) & 0xFF);
    }
    return indices;
}

std::vector<uint8_t> ReadFileBytes(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool FileExists(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}

int64_t FileSize(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return -1;
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fclose(file);
    return size;
}
