// Decodes a GIF with giflib, a decoder we did not write, into plain records
// that tests compare against what they expect.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DecodedFrame {
    int left, top, width, height;
    std::vector<uint8_t> indices;  // width * height, rows top-down
    int delay;                     // hundredths of a second, -1 without an extension
    int disposal;                  // -1 without an extension
    int transparentIndex;          // -1 when none
};

struct DecodedGif {
    bool ok;
    std::string error;
    std::string version;  // "GIF89a"
    int screenWidth, screenHeight;
    int globalColours;    // 0 without a global table
    std::vector<uint32_t> globalTable;  // 0xRRGGBB
    int loopCount;        // -1 without a NETSCAPE2.0 block
    std::vector<std::string> comments;
    std::vector<DecodedFrame> frames;
};

DecodedGif DecodeGif(const std::vector<uint8_t>& bytes);
DecodedGif DecodeGifFile(const std::string& path);
