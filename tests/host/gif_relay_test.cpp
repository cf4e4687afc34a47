// The output stage's writer on a GIF laid out as the module writes one:
// delays written from the frames' own times (cumulative rounding, the last
// frame's end, a pause past what one frame can carry, one frame), the
// module's bytes passed on unchanged when untimed, and a job without frames
// or a stream that is no GIF written nowhere; and the GIFs of a job's
// parts stitched in the whole job's order. giflib reads the result.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/output/gif_relay.h"
#include "host/output/part_stitch.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Append(Bytes* to, const Bytes& bytes) {
    to->insert(to->end(), bytes.begin(), bytes.end());
}

// A 1 x 1 GIF as the module writes it: head, looping block, a frame for
// each of PIXELS (a graphic control extension with delay 1, an image of
// that index), the comment block and the trailer.
Bytes ModuleGif(const Bytes& pixels) {
    Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x87, 0, 0};
    for (int entry = 0; entry < 256; ++entry) Append(&gif, Bytes(3, static_cast<uint8_t>(entry)));
    Append(&gif, {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0});
    for (uint8_t pixel : pixels) {
        Append(&gif, {0x21, 0xF9, 0x04, 0x09, 1, 0, 0, 0});
        // Clear code, the index, end code: 9-bit codes 256, PIXEL, 257.
        const uint32_t codes = 256u | (uint32_t{pixel} << 9) | (257u << 18);
        Append(&gif, {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 8, 4, static_cast<uint8_t>(codes),
                      static_cast<uint8_t>(codes >> 8), static_cast<uint8_t>(codes >> 16),
                      static_cast<uint8_t>(codes >> 24), 0});
    }
    Append(&gif, {0x21, 0xFE, 0x03, 'D', 'O', 'D', 0, 0x3B});
    return gif;
}

Bytes ModuleGif(size_t frames) {
    return ModuleGif(Bytes(frames, 0));
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

// The delays giflib reads (and, into PIXELS, each frame's first pixel);
// empty when it cannot read BYTES.
std::vector<int> Delays(const Bytes& bytes, Bytes* pixels = nullptr) {
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
            if (pixels != nullptr) pixels->push_back(gif->SavedImages[i].RasterBits[0]);
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

// Each part's GIF through a pipe of its own, stitched; the stitched bytes.
Bytes Stitched(const std::vector<Bytes>& parts, FrameTimes* times, GifRelay* relay) {
    std::vector<int> reads;
    for (const Bytes& part : parts) {
        int ends[2];
        EXPECT_EQ(pipe(ends), 0);
        EXPECT_EQ(write(ends[1], part.data(), part.size()), static_cast<ssize_t>(part.size()));
        close(ends[1]);
        reads.push_back(ends[0]);
    }
    std::FILE* sink = std::tmpfile();
    relay->sink = sink;
    relay->times = times;
    StitchParts(reads, relay);
    Bytes out(static_cast<size_t>(std::ftell(sink)));
    std::rewind(sink);
    EXPECT_EQ(std::fread(out.data(), 1, out.size(), sink), out.size());
    std::fclose(sink);
    return out;
}

struct StitchCase {
    const char* name;
    std::vector<Bytes> parts;  // the pixels of each part's frames; {} writes nothing
    std::vector<bool> closed;  // whether each part closed its GIF
    Bytes frames;              // the stitched frames' pixels, in order
};

TEST(PartStitch, TakesFrameIFromPartIModNInTheWholeJobsOrder) {
    const StitchCase cases[] = {
        {"seven frames in three parts", {{0, 3, 6}, {1, 4}, {2, 5}}, {true, true, true}, {0, 1, 2, 3, 4, 5, 6}},
        {"fewer frames than parts", {{0}, {1}, {}}, {true, true, false}, {0, 1}},
        // A stop: each part closes its GIF where it stopped; the frames
        // before the first one a part did not finish are kept.
        {"stopped unevenly", {{0, 3, 6}, {1}, {2, 5}}, {true, true, true}, {0, 1, 2, 3}},
        {"one frame", {{0}}, {true}, {0}},
    };
    for (const StitchCase& c : cases) {
        std::vector<Bytes> parts;
        FrameTimes times;
        for (size_t i = 0; i < 8; ++i) times.frames.push_back(FrameTime{int64_t(i) * 40000, int64_t(i + 1) * 40000});
        for (size_t k = 0; k < c.parts.size(); ++k) parts.push_back(c.closed[k] ? ModuleGif(c.parts[k]) : Bytes{});
        GifRelay relay;
        const Bytes gif = Stitched(parts, &times, &relay);
        Bytes pixels;
        EXPECT_EQ(Delays(gif, &pixels), std::vector<int>(c.frames.size(), 4)) << c.name;
        EXPECT_EQ(pixels, c.frames) << c.name;
        // One head and looping block, one closing: the bytes of one job.
        Bytes one = ModuleGif(c.frames);
        for (size_t i = 0; i < c.frames.size(); ++i) one[781 + 19 + i * 25 + 4] = 4;
        EXPECT_EQ(gif, one) << c.name;
    }
}

}  // namespace
