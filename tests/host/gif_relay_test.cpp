// The output stage's writer on a GIF laid out as the module writes one:
// delays written from the frames' own times (cumulative rounding, the last
// frame's end, a pause past what one frame can carry, one frame), the
// module's bytes passed on unchanged when untimed, and a job without frames
// or a stream that is no GIF written nowhere. giflib reads the result.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/output/gif_relay.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Append(Bytes* to, const Bytes& bytes) {
    to->insert(to->end(), bytes.begin(), bytes.end());
}

// A 1 x 1 GIF as the module writes it: head, looping block, FRAMES frames
// (a graphic control extension with delay 1, an image of index 0), the
// comment block and the trailer.
Bytes ModuleGif(size_t frames) {
    Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x87, 0, 0};
    for (int entry = 0; entry < 256; ++entry) Append(&gif, Bytes(3, static_cast<uint8_t>(entry)));
    Append(&gif, {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0});
    for (size_t i = 0; i < frames; ++i) {
        Append(&gif, {0x21, 0xF9, 0x04, 0x09, 1, 0, 0, 0});
        // Clear code, index 0, end code: 9-bit codes 256, 0, 257.
        Append(&gif, {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 8, 4, 0x00, 0x01, 0x04, 0x04, 0});
    }
    Append(&gif, {0x21, 0xFE, 0x03, 'D', 'O', 'D', 0, 0x3B});
    return gif;
}

// BYTES through a relay, 7 at a time so that pieces arrive cut; the
// relay's output and the relay.
Bytes Relay(const Bytes& bytes, FrameTimes* times, GifRelay* relay) {
    std::FILE* sink = std::tmpfile();
    relay->sink = sink;
    relay->times = times;
    for (size_t at = 0; at < bytes.size(); at += 7) {
        RelayBytes(relay, bytes.data() + at, std::min<size_t>(7, bytes.size() - at));
    }
    EndRelay(relay);
    Bytes out(static_cast<size_t>(std::ftell(sink)));
    std::rewind(sink);
    EXPECT_EQ(std::fread(out.data(), 1, out.size(), sink), out.size());
    std::fclose(sink);
    return out;
}

// The delays giflib reads; empty when it cannot read BYTES.
std::vector<int> Delays(const Bytes& bytes) {
    const std::string path = testing::TempDir() + "relay.gif";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    std::vector<int> delays;
    if (gif != nullptr && DGifSlurp(gif) == GIF_OK) {
        for (int i = 0; i < gif->ImageCount; ++i) {
            GraphicsControlBlock control;
            DGifSavedExtensionToGCB(gif, i, &control);
            delays.push_back(control.DelayTime);
        }
    }
    if (gif != nullptr) DGifCloseFile(gif, &error);
    std::remove(path.c_str());
    return delays;
}

struct TimedCase {
    const char* name;
    std::vector<FrameTime> times;  // microseconds; each start, the last one's end
    std::vector<int> delays;
};

TEST(GifRelay, WritesEachFramesDelayFromItsTime) {
    const TimedCase cases[] = {
        // 29.97 a second: the rounding never adds up (3.3 + 3.3 + 3.4 ...).
        {"cumulative rounding", {{0, 0}, {33367, 0}, {66733, 0}, {100100, 133467}}, {3, 3, 4, 3}},
        {"uneven, the last frame's end", {{0, 0}, {100000, 0}, {600000, 0}, {800000, 1000000}}, {10, 50, 20, 20}},
        // 700 s cannot go into one frame (at most 655.35 s): the picture twice.
        {"a pause longer than a frame carries", {{0, 0}, {700000000, 700100000}}, {65535, 4465, 10}},
        {"one frame", {{0, 40000}}, {4}},
    };
    for (const TimedCase& c : cases) {
        FrameTimes times;
        times.frames = c.times;
        GifRelay relay;
        const Bytes out = Relay(ModuleGif(c.times.size()), &times, &relay);
        EXPECT_EQ(Delays(out), c.delays) << c.name;
        EXPECT_EQ(relay.writeError, 0) << c.name;
        EXPECT_FALSE(relay.broken) << c.name;
    }
}

TEST(GifRelay, PassesTheModulesBytesOrNothing) {
    GifRelay plain;
    const Bytes module = ModuleGif(3);
    EXPECT_EQ(Relay(module, nullptr, &plain), module);
    // A job stopped before its first frame: the closing blocks alone.
    GifRelay empty;
    EXPECT_TRUE(Relay(Bytes{0x21, 0xFE, 0x03, 'D', 'O', 'D', 0, 0x3B}, nullptr, &empty).empty());
    EXPECT_FALSE(empty.broken);
    // Not a GIF's blocks after the head, and a GIF cut inside a frame.
    Bytes wrong = ModuleGif(1);
    wrong[800] = 0x55;
    GifRelay broken;
    Relay(wrong, nullptr, &broken);
    EXPECT_TRUE(broken.broken);
    const Bytes whole = ModuleGif(2);
    GifRelay cut;
    Relay(Bytes(whole.begin(), whole.end() - 20), nullptr, &cut);
    EXPECT_TRUE(cut.broken);
}

}  // namespace
