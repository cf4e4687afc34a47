// Video input through FFmpeg's libraries, on small clips the ffmpeg command
// makes during the test: containers and codecs with their counts, rates and
// colours; colour matrices and ranges; 10-bit and alpha streams; standard
// input from a pipe; scaling at the display aspect; rotation by the
// display matrix; resampling; variable-rate (on its grid, in two
// containers and through a pipe), damaged (against plain ffmpeg) and
// non-video inputs; a stop request during a blocked read. Colours are
// checked against the RGB the clips were made from, so a wrong matrix or
// range (off by 8 or more for the colour used) shows.
#include "host/input/video/video_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <pthread.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "host/common/stop_signal.h"
#include "plugin/host_contract.h"

namespace {

struct Bgr {
    int b, g, r;
};

struct Decoded {
    VideoInfo info;
    std::vector<std::vector<uint8_t>> frames;
    std::vector<int64_t> times;  // timed: when each frame is shown, in ms
    FrameRead last = FrameRead::Failed;
    std::string problem;
};

class VideoDecoderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/rozove-video-XXXXXX";
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        folder = pattern;
    }

    static void TearDownTestSuite() {
        EXPECT_EQ(std::system(("rm -rf '" + folder + "'").c_str()), 0);
    }

    // Makes NAME in the test folder with ffmpeg; ARGUMENTS go before the output.
    static std::string Make(const std::string& name, const std::string& arguments) {
        const std::string path = folder + "/" + name;
        const std::string command = "ffmpeg -nostdin -v error -y " + arguments + " '" + path + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return path;
    }

    // A clip of one colour (0xRRGGBB) at 25 fps, made through RGB so that
    // the encoder's own matrix and range apply.
    static std::string MakeColour(const std::string& name, const std::string& colour, const std::string& size,
                                  int frames, const std::string& encoding) {
        return Make(name, "-f lavfi -i color=c=" + colour + ":s=" + size + ":r=25,format=rgb24 -frames:v " +
                              std::to_string(frames) + " " + encoding);
    }

    static Decoded DecodeAll(const std::string& path, const VideoOptions& options = VideoOptions()) {
        Decoded decoded;
        VideoDecoder* decoder = nullptr;
        std::string error;
        if (!OpenVideo(path, options, &decoder, &decoded.info, &error)) {
            ADD_FAILURE() << path << ": " << error;
            return decoded;
        }
        const size_t bytes = static_cast<size_t>(FrameStride(decoded.info.width)) * decoded.info.height;
        for (;;) {
            std::vector<uint8_t> pixels(bytes, 0xAB);
            decoded.last = ReadVideoFrame(decoder, pixels.data(), &decoded.problem);
            if (decoded.last != FrameRead::Frame) break;
            decoded.frames.push_back(std::move(pixels));
            int64_t time = 0, duration = 0, mended = 0;
            if (decoded.info.timed) VideoFrameTime(decoder, &time, &duration, &mended);
            decoded.times.push_back(time / 1000);
        }
        // The outcome stays once the frames end.
        std::vector<uint8_t> spare(bytes);
        std::string again;
        EXPECT_EQ(ReadVideoFrame(decoder, spare.data(), &again), decoded.last);
        EXPECT_EQ(again, decoded.problem);
        CloseVideo(decoder);
        return decoded;
    }

    // Decodes PATH as standard input, read from a pipe.
    static Decoded DecodePipe(const std::string& path) {
        FILE* pipe = popen(("cat '" + path + "'").c_str(), "r");
        EXPECT_NE(pipe, nullptr);
        if (pipe == nullptr) return Decoded();
        const int saved = dup(0);
        EXPECT_EQ(dup2(fileno(pipe), 0), 0);
        const Decoded decoded = DecodeAll("-");
        dup2(saved, 0);
        close(saved);
        pclose(pipe);
        return decoded;
    }

    // The first BYTES of PATH, as a new file.
    static std::string Head(const std::string& path, const std::string& bytes, const std::string& name) {
        const std::string cut = folder + "/" + name;
        EXPECT_EQ(std::system(("head -c " + bytes + " '" + path + "' >'" + cut + "'").c_str()), 0);
        return cut;
    }

    static std::string Refusal(const std::string& path) {
        VideoDecoder* decoder = reinterpret_cast<VideoDecoder*>(1);
        VideoInfo info;
        std::string error;
        EXPECT_FALSE(OpenVideo(path, VideoOptions(), &decoder, &info, &error)) << path;
        EXPECT_EQ(decoder, nullptr);
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        return error;
    }

    // The pixel at (X, Y), Y counted from the top of the picture.
    static Bgr At(const Decoded& decoded, size_t frame, int x, int y) {
        const int64_t stride = FrameStride(decoded.info.width);
        const uint8_t* p = decoded.frames.at(frame).data() + (decoded.info.height - 1 - y) * stride + 3 * x;
        return Bgr{p[0], p[1], p[2]};
    }

    static void ExpectColour(const Decoded& decoded, int r, int g, int b, int tolerance, const std::string& what) {
        ASSERT_FALSE(decoded.frames.empty()) << what;
        for (int y : {0, decoded.info.height / 2, decoded.info.height - 1}) {
            for (int x : {0, decoded.info.width / 2, decoded.info.width - 1}) {
                const Bgr p = At(decoded, decoded.frames.size() - 1, x, y);
                EXPECT_NEAR(p.r, r, tolerance) << what << " at " << x << "," << y;
                EXPECT_NEAR(p.g, g, tolerance) << what << " at " << x << "," << y;
                EXPECT_NEAR(p.b, b, tolerance) << what << " at " << x << "," << y;
            }
        }
    }

    static std::string folder;
};

std::string VideoDecoderTest::folder;

TEST_F(VideoDecoderTest, ContainersGiveCountRateSizeAndColour) {
    struct Case {
        const char* name;
        const char* encoding;
        int tolerance;
    };
    const Case cases[] = {
        {"h264.mp4", "-c:v libx264 -qp 0 -pix_fmt yuv420p", 3},
        // AVI with B-frames: packets without presentation times.
        {"mpeg4.avi", "-c:v mpeg4 -q:v 1 -bf 2 -pix_fmt yuv420p", 6},
        {"h264-b.avi", "-c:v libx264 -qp 0 -bf 3 -pix_fmt yuv420p", 3},
        {"ffv1.mkv", "-c:v ffv1 -pix_fmt yuv444p", 3},
        {"vp9.webm", "-c:v libvpx-vp9 -lossless 1 -pix_fmt yuv420p", 3},
        {"qtrle.mov", "-c:v qtrle -pix_fmt rgb24", 0},
        {"clip.y4m", "-pix_fmt yuv420p", 3},
    };
    // 50 wide: not a whole number of the scaler's 16-pixel blocks, whose
    // last pixels it would skip in rows as tight as the host frame's.
    for (const Case& c : cases) {
        const Decoded d = DecodeAll(MakeColour(c.name, "0x28C864", "50x28", 6, c.encoding));
        EXPECT_EQ(d.last, FrameRead::End) << c.name << ": " << d.problem;
        EXPECT_EQ(d.info.frameCount, 6) << c.name;
        EXPECT_EQ(d.frames.size(), 6u) << c.name;
        EXPECT_EQ(d.info.width, 50) << c.name;
        EXPECT_EQ(d.info.height, 28) << c.name;
        EXPECT_EQ(d.info.rate * 1.0 / d.info.scale, 25.0) << c.name;
        ExpectColour(d, 40, 200, 100, c.tolerance, c.name);
    }
}

TEST_F(VideoDecoderTest, RowsAreBottomUpAndPaddingIsLeftAlone) {
    // White over black, 50 pixels wide: rows of 150 bytes padded to 152.
    const std::string path = Make("halves.mkv",
                                  "-f lavfi -i 'color=c=white:s=50x10:r=25[t];color=c=black:s=50x10:r=25[b];"
                                  "[t][b]vstack,format=rgb24[out0]' -frames:v 2 -c:v ffv1");
    const Decoded d = DecodeAll(path);
    ASSERT_EQ(d.frames.size(), 2u);
    ASSERT_EQ(d.info.height, 20);
    EXPECT_GE(At(d, 0, 10, 0).g, 250);
    EXPECT_LE(At(d, 0, 10, 19).g, 5);
    // The first row in memory is the bottom one.
    EXPECT_LE(d.frames[0][0], 5);
    EXPECT_EQ(d.frames[0][150], 0xAB);
    EXPECT_EQ(d.frames[0][151], 0xAB);
}

TEST_F(VideoDecoderTest, MatrixAndRangeFromTheStreamOrItsSize) {
    struct Case {
        const char* name;
        const char* size;
        const char* encoding;
    };
    // (40, 200, 100) read with the wrong matrix or range is off by 8 to 21.
    const Case cases[] = {
        {"601-limited.mkv", "32x18", "-vf scale=out_color_matrix=bt601:out_range=tv,format=yuv420p -colorspace smpte170m -color_range tv"},
        {"601-full.mkv", "32x18", "-vf scale=out_color_matrix=bt601:out_range=pc,format=yuv420p -colorspace smpte170m -color_range pc"},
        {"709-limited.mkv", "32x18", "-vf scale=out_color_matrix=bt709:out_range=tv,format=yuv420p -colorspace bt709 -color_range tv"},
        {"709-full.mkv", "32x18", "-vf scale=out_color_matrix=bt709:out_range=pc,format=yuv420p -colorspace bt709 -color_range pc"},
        {"2020-limited.mkv", "32x18", "-vf scale=out_color_matrix=bt2020:out_range=tv,format=yuv420p -colorspace bt2020nc -color_range tv"},
        // Untagged: BT.709 wider than 1024 or taller than 576, else BT.601;
        // limited range.
        {"untagged-sd.mkv", "1024x16", "-vf scale=out_color_matrix=bt601:out_range=tv,format=yuv420p"},
        {"untagged-sd-tall.mkv", "16x576", "-vf scale=out_color_matrix=bt601:out_range=tv,format=yuv420p"},
        {"untagged-hd.mkv", "1026x16", "-vf scale=out_color_matrix=bt709:out_range=tv,format=yuv420p"},
        {"untagged-hd-tall.mkv", "16x578", "-vf scale=out_color_matrix=bt709:out_range=tv,format=yuv420p"},
        // JPEG-style formats are full range by definition.
        {"jpeg.mkv", "32x18", "-vf scale=out_color_matrix=bt601:out_range=pc,format=yuvj420p"},
    };
    for (const Case& c : cases) {
        const Decoded d = DecodeAll(MakeColour(c.name, "0x28C864", c.size, 1, std::string(c.encoding) + " -c:v ffv1"));
        ExpectColour(d, 40, 200, 100, 3, c.name);
    }
}

TEST_F(VideoDecoderTest, TenBitAndAlphaStreams) {
    const Decoded deep = DecodeAll(MakeColour("10bit.mkv", "0x28C864", "32x18", 3, "-pix_fmt yuv420p10le -c:v ffv1"));
    ExpectColour(deep, 40, 200, 100, 3, "10-bit");
    // Alpha is ignored: half-transparent colour comes out as the colour.
    const Decoded rgba = DecodeAll(Make("alpha.mov", "-f lavfi -i color=c=0x336699@0.5:s=32x18:r=25,format=argb "
                                                      "-frames:v 3 -c:v qtrle -pix_fmt argb"));
    ExpectColour(rgba, 0x33, 0x66, 0x99, 0, "argb");
    const Decoded yuva = DecodeAll(Make("alpha.mkv", "-f lavfi -i color=c=0x28C864@0.25:s=32x18:r=25,format=rgba "
                                                      "-frames:v 3 -pix_fmt yuva420p -c:v ffv1"));
    ExpectColour(yuva, 40, 200, 100, 3, "yuva420p");
}

TEST_F(VideoDecoderTest, StandardInputFromAPipe) {
    const std::string path = MakeColour("piped.mkv", "0x28C864", "32x18", 7, "-c:v ffv1");
    const Decoded d = DecodePipe(path);
    EXPECT_EQ(d.info.frameCount, -1);  // a pipe is not walked
    EXPECT_EQ(d.frames.size(), 7u);
    EXPECT_EQ(d.last, FrameRead::End) << d.problem;
    ExpectColour(d, 40, 200, 100, 3, "pipe");
}

TEST_F(VideoDecoderTest, ScalingKeepsTheDisplayedAspect) {
    const std::string square = MakeColour("square.mkv", "0x28C864", "64x36", 2, "-c:v ffv1");
    // Stored 32x36 with pixels twice as wide as tall: shown as 64x36.
    const std::string wide = MakeColour("anamorphic.mkv", "0x28C864", "32x36", 2, "-vf setsar=2 -c:v ffv1");
    struct Case {
        const std::string& path;
        int32_t width, height, wantWidth, wantHeight;
    };
    const Case cases[] = {
        {square, 0, 0, 64, 36}, {square, 32, 0, 32, 18}, {square, 0, 9, 16, 9}, {square, 20, 20, 20, 20},
        {square, 1, 0, 1, 1},   {square, 7, 0, 7, 4},    {wide, 0, 0, 64, 36},  {wide, 0, 18, 32, 18},
        {wide, 64, 0, 64, 36},
    };
    for (const Case& c : cases) {
        VideoOptions options;
        options.width = c.width;
        options.height = c.height;
        const Decoded d = DecodeAll(c.path, options);
        EXPECT_EQ(d.info.width, c.wantWidth) << c.width << "x" << c.height;
        EXPECT_EQ(d.info.height, c.wantHeight) << c.width << "x" << c.height;
        EXPECT_EQ(d.frames.size(), 2u);
        ExpectColour(d, 40, 200, 100, 3, "scaled");
    }
}

TEST_F(VideoDecoderTest, DisplayMatrixTurnsThePictureAsFfmpegDoes) {
    // 32x16 with a white 4x4 marker in the top-left corner, turned by the
    // container's display matrix; ffmpeg's own rotation is the oracle for
    // the size and the corner the marker lands in.
    const std::string upright = Make("upright.mp4", "-f lavfi -i color=c=black:s=32x16:r=25,"
                                                    "drawbox=x=0:y=0:w=4:h=4:c=white:t=fill -frames:v 2 "
                                                    "-c:v libx264 -pix_fmt yuv444p");
    struct Case {
        int angle;
        int32_t width;  // asked for, 0: none
        int32_t wantWidth, wantHeight;
    };
    const Case cases[] = {{0, 0, 32, 16}, {90, 0, 16, 32}, {180, 0, 32, 16}, {270, 0, 16, 32}, {90, 8, 8, 16}};
    for (const Case& c : cases) {
        const std::string name = "turned" + std::to_string(c.angle) + ".mp4";
        const std::string path = Make(name, "-i '" + upright + "' -c copy -metadata:s:v:0 rotate=" +
                                                std::to_string(c.angle));
        VideoOptions options;
        options.width = c.width;
        const Decoded d = DecodeAll(path, options);
        ASSERT_EQ(d.frames.size(), 2u) << name;
        EXPECT_EQ(d.info.width, c.wantWidth) << name;
        EXPECT_EQ(d.info.height, c.wantHeight) << name;
        // ffmpeg's picture, gray, top-down, at the size delivered.
        FILE* ffmpeg = popen(("ffmpeg -nostdin -v error -i '" + path + "' -frames:v 1 -vf scale=" +
                              std::to_string(d.info.width) + ":" + std::to_string(d.info.height) +
                              " -f rawvideo -pix_fmt gray -").c_str(), "r");
        ASSERT_NE(ffmpeg, nullptr);
        std::vector<uint8_t> gray(static_cast<size_t>(d.info.width) * d.info.height);
        EXPECT_EQ(std::fread(gray.data(), 1, gray.size(), ffmpeg), gray.size()) << name;
        pclose(ffmpeg);
        const size_t stride = static_cast<size_t>(FrameStride(d.info.width));
        for (const int32_t x : {0, d.info.width - 1}) {
            for (const int32_t y : {0, d.info.height - 1}) {
                const uint8_t ours = d.frames[0][(d.info.height - 1 - y) * stride + 3 * x + 1];
                const uint8_t theirs = gray[static_cast<size_t>(y) * d.info.width + x];
                EXPECT_EQ(ours > 128, theirs > 128) << name << " corner " << x << "," << y;
            }
        }
    }
}

// A clip whose frame N is the gray level 20 * N + 20, losslessly stored, so
// that each delivered frame names the source frame it shows.
std::vector<int> SourceFrames(const Decoded& d) {
    std::vector<int> shown;
    for (const std::vector<uint8_t>& frame : d.frames) shown.push_back((frame[1] - 20 + 10) / 20);
    return shown;
}

TEST_F(VideoDecoderTest, ResamplingByTimestamps) {
    const std::string path = Make("numbered.mkv",
                                  "-f lavfi -i color=c=black:s=16x8:r=25,format=gray,geq=lum='20*N+20' "
                                  "-frames:v 10 -c:v ffv1");
    const Decoded native = DecodeAll(path);
    EXPECT_EQ(SourceFrames(native), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    struct Case {
        int32_t rate, scale;
        std::vector<int> shown;
    };
    const Case cases[] = {
        {25, 1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {10, 1, {0, 2, 5, 7}},
        {50, 1, {0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9}},
        {25, 2, {0, 2, 4, 6, 8}},
    };
    for (const Case& c : cases) {
        VideoOptions options;
        options.fpsRate = c.rate;
        options.fpsScale = c.scale;
        const Decoded d = DecodeAll(path, options);
        EXPECT_EQ(SourceFrames(d), c.shown) << c.rate << "/" << c.scale;
        EXPECT_EQ(d.info.frameCount, static_cast<int64_t>(c.shown.size())) << c.rate << "/" << c.scale;
        EXPECT_EQ(d.info.rate, c.rate);
        EXPECT_EQ(d.info.scale, c.scale);
        EXPECT_EQ(d.last, FrameRead::End) << d.problem;
    }
}

TEST_F(VideoDecoderTest, VariableRateKeepsEveryFrameOnceAtItsTime) {
    // Frames 0-4 at 40 ms steps, then a 200 ms gap, then 5-7: each frame
    // once, at its own time, in any container (MOV/MP4 and Matroska guess
    // different rates for it) and through a pipe, which is not walked.
    const std::vector<int> want = {0, 1, 2, 3, 4, 5, 6, 7};
    const std::vector<int64_t> times = {0, 40, 80, 120, 160, 400, 440, 480};
    for (const std::string name : {"variable.mkv", "variable.mov"}) {
        const std::string path = Make(name,
                                      "-f lavfi -i color=c=black:s=16x8:r=25,format=gray,geq=lum='20*N+20' "
                                      "-frames:v 8 -vf setpts='(N+5*gte(N\\,5))*0.04/TB' -fps_mode vfr -c:v " +
                                          std::string(name == "variable.mkv" ? "ffv1" : "png"));
        for (const Decoded& d : {DecodeAll(path), DecodePipe(path)}) {
            EXPECT_TRUE(d.info.timed) << name;
            EXPECT_EQ(d.last, FrameRead::End) << name << ": " << d.problem;
            EXPECT_EQ(SourceFrames(d), want) << name;
            EXPECT_EQ(d.times, times) << name;
        }
    }
    EXPECT_EQ(DecodeAll(folder + "/variable.mkv").info.frameCount, 8);
}

TEST_F(VideoDecoderTest, TrimmingIsAccurateToTheFrame) {
    // 50 frames at 25 fps, key frames a second apart, frame N of gray
    // level 4 * N + 20 (read back as G).
    const std::string path = Make("trim.mp4", "-f lavfi -i color=c=black:s=16x8:r=25,format=gray,geq=lum='4*N+20' "
                                              "-frames:v 50 -c:v libx264 -qp 0 -g 25 -pix_fmt yuv420p");
    struct Case {
        int64_t start, duration;  // microseconds
        int first, count;         // the first source frame at or after the start, and how many
    };
    const Case cases[] = {{1200000, 400000, 30, 10}, {500000, 500000, 13, 12}, {1960000, -1, 49, 1},
                          {0, 200000, 0, 5}};
    for (const Case& c : cases) {
        VideoOptions options;
        options.startMicroseconds = c.start;
        options.durationMicroseconds = c.duration;
        const Decoded d = DecodeAll(path, options);
        EXPECT_EQ(d.last, FrameRead::End) << c.start << ": " << d.problem;
        EXPECT_EQ(d.info.frameCount, c.count) << c.start;
        ASSERT_EQ(d.frames.size(), static_cast<size_t>(c.count)) << c.start;
        for (int i = 0; i < c.count; ++i) {
            EXPECT_EQ(std::lround((d.frames[i][1] - 20) / 4.0), c.first + i) << c.start << " frame " << i;
        }
    }
    VideoOptions late;
    late.startMicroseconds = 2500000;
    VideoDecoder* decoder = nullptr;
    VideoInfo info;
    std::string error;
    EXPECT_FALSE(OpenVideo(path, late, &decoder, &info, &error));
    EXPECT_NE(error.find("--start is at or past the end of the video (2.00 s)"), std::string::npos) << error;
}

// The numbers COMMAND prints, one a line.
std::vector<int64_t> Numbers(const std::string& command) {
    std::vector<int64_t> numbers;
    FILE* output = popen(command.c_str(), "r");
    EXPECT_NE(output, nullptr) << command;
    if (output == nullptr) return numbers;
    long long number = 0;
    while (std::fscanf(output, " %lld%*[^\n]", &number) == 1) numbers.push_back(number);
    pclose(output);
    return numbers;
}

// The frames named in a damage line ("frame 6, frame 7"), counted from 0.
std::vector<int> NamedFrames(const std::string& problem) {
    std::vector<int> named;
    for (size_t at = problem.find("frame "); at != std::string::npos; at = problem.find("frame ", at + 1)) {
        if (std::isdigit(static_cast<unsigned char>(problem[at + 6]))) {
            named.push_back(std::atoi(problem.c_str() + at + 6) - 1);
        }
    }
    return named;
}

TEST_F(VideoDecoderTest, DamageIsCountedAsPlainFfmpegShowsIt) {
    // 20 frames at 25 fps, each packet's bytes at a known place; one packet
    // overwritten with zeros at a time. The oracle is plain ffmpeg: the
    // frames it does not output are skipped and named, the frame before
    // each held; a frame it conceals and shows is shown, and the clip then
    // ends cleanly, as ffmpeg exits 0. With B-frames, a lost key frame's
    // leading frames come late from the decoder and are lost with it.
    const std::string plain = "-f lavfi -i testsrc=s=64x36:r=25 -frames:v 20 -c:v libx264 ";
    const std::string keyed = Make("keyed.mp4", plain + "-g 5 -bf 0");
    const std::string reordered = Make("reordered.mkv", plain + "-g 10 -bf 3");
    struct Case {
        const std::string& clip;
        int packet;       // in decoding order, overwritten from SKIP bytes in, COUNT bytes (0: to its end)
        int skip, count;
        bool conceals;    // ffmpeg shows every frame
    };
    const Case cases[] = {{keyed, 5, 0, 0, false}, {keyed, 2, 0, 0, false}, {keyed, 10, 360, 50, true},
                          {reordered, 10, 4, 0, false}};
    for (const Case& c : cases) {
        const std::string what = c.clip + " packet " + std::to_string(c.packet);
        const std::string probe = "ffprobe -v error -select_streams v:0 -of csv=p=0 '" + c.clip + "' -show_entries ";
        const std::vector<int64_t> places = Numbers(probe + "packet=pos");
        const std::vector<int64_t> sizes = Numbers(probe + "packet=size");
        ASSERT_EQ(places.size(), 20u);
        ASSERT_EQ(sizes.size(), 20u);
        const std::string damaged = c.clip + "-damaged-" + std::to_string(c.packet);
        const int64_t count = c.count > 0 ? c.count : sizes[c.packet] - c.skip;
        ASSERT_EQ(std::system(("cp '" + c.clip + "' '" + damaged + "' && dd if=/dev/zero of='" + damaged +
                               "' bs=1 seek=" + std::to_string(places[c.packet] + c.skip) + " count=" +
                               std::to_string(count) + " conv=notrunc status=none").c_str()), 0);
        std::vector<int> lost;
        const std::vector<int64_t> shown = Numbers("ffmpeg -nostdin -v quiet -i '" + damaged +
                                                   "' -f framemd5 - | grep -v '^#' | cut -d, -f3");
        for (int k = 0; k < 20; ++k) {
            if (std::find(shown.begin(), shown.end(), k) == shown.end()) lost.push_back(k);
        }
        // The cases stay what they mean: whole frames lost, or the bytes concealed.
        EXPECT_EQ(lost.empty(), c.conceals) << what;
        for (const Decoded& d : {DecodeAll(damaged), DecodePipe(damaged)}) {
            // Timed (a pipe), a lost frame's time goes to the frame before;
            // one for one, that frame is repeated in its place.
            ASSERT_EQ(d.frames.size(), d.info.timed ? 20u - lost.size() : 20u) << what;
            EXPECT_EQ(d.last, lost.empty() ? FrameRead::End : FrameRead::Damaged) << what << ": " << d.problem;
            EXPECT_EQ(NamedFrames(d.problem), std::vector<int>(lost.begin(), lost.begin() + std::min<size_t>(lost.size(), 5)))
                << what << ": " << d.problem;
            EXPECT_EQ(d.problem.find(std::to_string(lost.size()) + " frames"), lost.size() > 1 ? 0u : std::string::npos)
                << what << ": " << d.problem;
            for (const int k : lost) {
                if (k > 0 && !d.info.timed) {
                    EXPECT_EQ(d.frames[k], d.frames[k - 1]) << what << ": frame " << k << " not held";
                }
            }
        }
    }
}

TEST_F(VideoDecoderTest, CutOffInputsEndDamagedAfterTheirWholeFrames) {
    // MP4 with its index at the end (ffmpeg's default): the cut loses the index.
    const std::string plain = Make("cut-index.mp4", "-f lavfi -i testsrc=s=64x36:r=25 -frames:v 20 -c:v libx264 -g 1");
    EXPECT_NE(Refusal(Head(plain, "3000", "cut-index-short.mp4")).find("cut-index-short.mp4: "), std::string::npos);
    // MP4 with its index first: it lists frames the file no longer holds.
    const std::string fast = Make("cut-data.mp4", "-f lavfi -i testsrc=s=64x36:r=25 -frames:v 20 -c:v libx264 -g 1 "
                                                  "-movflags +faststart");
    const Decoded mp4 = DecodeAll(Head(fast, "$(( $(stat -c %s '" + fast + "') * 2 / 3 ))", "cut-data-short.mp4"));
    EXPECT_EQ(mp4.last, FrameRead::Damaged);
    EXPECT_GT(mp4.frames.size(), 5u);
    EXPECT_LT(mp4.frames.size(), 20u);
    EXPECT_EQ(static_cast<int64_t>(mp4.frames.size()), mp4.info.frameCount);
    EXPECT_NE(mp4.problem.find("frame " + std::to_string(mp4.frames.size() + 1)), std::string::npos) << mp4.problem;
    EXPECT_NE(mp4.problem.find("of the 20 frames"), std::string::npos) << mp4.problem;

    // Y4M cut inside frame 6 (64x36 4:2:0 frames are 3456 bytes and a
    // 6-byte header), as a file and through a pipe.
    const std::string y4m = MakeColour("twelve.y4m", "0x28C864", "64x36", 12, "-pix_fmt yuv420p");
    const std::string cutY4m = Head(y4m, "$(( $(head -1 '" + y4m + "' | wc -c) + 5 * 3462 + 100 ))", "cut.y4m");
    for (const Decoded& d : {DecodeAll(cutY4m), DecodePipe(cutY4m)}) {
        EXPECT_EQ(d.frames.size(), 5u);
        EXPECT_EQ(d.last, FrameRead::Damaged);
        EXPECT_EQ(d.problem, "the stream ends in the middle of frame 6");
    }
    // Matroska cut: its track's declared length tells.
    const std::string mkv = Make("forty.mkv", "-f lavfi -i testsrc=s=64x36:r=25 -frames:v 40 -c:v ffv1");
    const std::string cutMkv = Head(mkv, "$(( $(stat -c %s '" + mkv + "') / 2 ))", "cut.mkv");
    for (const Decoded& d : {DecodeAll(cutMkv), DecodePipe(cutMkv)}) {
        EXPECT_EQ(d.last, FrameRead::Damaged);
        EXPECT_GT(d.frames.size(), 5u);
        EXPECT_LT(d.frames.size(), 40u);
        EXPECT_NE(d.problem.find("of the 1.60 s its header gives"), std::string::npos) << d.problem;
    }
    // The whole files end cleanly, as a file and through a pipe.
    for (const std::string& whole : {y4m, mkv}) {
        EXPECT_EQ(DecodeAll(whole).last, FrameRead::End) << whole;
        EXPECT_EQ(DecodePipe(whole).last, FrameRead::End) << whole;
    }
}

TEST_F(VideoDecoderTest, RecordingStartingBetweenKeyFramesStartsAtTheFirstOne) {
    // A transport stream cut 200 packets in: half of its first two-second
    // group is gone, and the rest of that group has nothing to refer to.
    const std::string whole = Make("recording.ts", "-f lavfi -i testsrc=s=64x36:r=25:d=4 -c:v libx264 -g 50");
    const std::string cut = folder + "/mid-group.ts";
    ASSERT_EQ(std::system(("tail -c +" + std::to_string(188 * 40 + 1) + " '" + whole + "' >'" + cut + "'").c_str()), 0);
    const Decoded file = DecodeAll(cut);
    EXPECT_EQ(file.last, FrameRead::End) << file.problem;
    EXPECT_EQ(file.info.frameCount, 50);
    EXPECT_EQ(file.frames.size(), 50u);
    const Decoded piped = DecodePipe(cut);
    EXPECT_EQ(piped.last, FrameRead::End) << piped.problem;
    EXPECT_EQ(piped.frames.size(), 50u);
}

TEST_F(VideoDecoderTest, EditListsAndCopiedCutsAreSound) {
    // A cut copied without re-encoding starts after a key frame: the frames
    // before the cut are decoded for their references but not shown, and
    // the header still counts them.
    const std::string source = Make("long.mp4", "-f lavfi -i testsrc=s=64x36:r=25:d=4 -c:v libx264 -g 50");
    const std::string cut = Make("copied-cut.mp4", "-ss 1.3 -i '" + source + "' -t 1.2 -c copy");
    const Decoded d = DecodeAll(cut);
    EXPECT_EQ(d.last, FrameRead::End) << d.problem;
    EXPECT_EQ(static_cast<int64_t>(d.frames.size()), d.info.frameCount);
    EXPECT_NEAR(d.frames.size() * double(d.info.scale) / d.info.rate, 1.2, 0.1);
}

TEST_F(VideoDecoderTest, InputsWithoutVideoAreRefusedInOneLine) {
    const std::string audio = Make("audio.wav", "-f lavfi -i sine=d=0.2 -c:a pcm_s16le");
    EXPECT_EQ(Refusal(audio), audio + ": no video stream (it holds only audio or other data)");
    const std::string text = folder + "/notes.bin";
    std::ofstream(text) << "just some words, nothing more\n";
    EXPECT_NE(Refusal(text).find("not a video file"), std::string::npos);
    const std::string empty = folder + "/empty.mp4";
    std::ofstream(empty).flush();
    EXPECT_NE(Refusal(empty).find(empty + ": "), std::string::npos);
    EXPECT_EQ(Refusal(folder + "/missing.mp4"), folder + "/missing.mp4: No such file or directory");
    EXPECT_EQ(Refusal(folder), folder + ": Is a directory");
    // A name with a colon is a file, not a protocol.
    const std::string colon = MakeColour("a:b.mkv", "0x28C864", "16x8", 1, "-c:v ffv1");
    EXPECT_EQ(DecodeAll(colon).frames.size(), 1u);
    EXPECT_NE(Refusal("http://localhost:1/clip.mp4").find("No such file"), std::string::npos);
}

// Runs in a child process, since a stop request stays for the process.
void InterruptBlockedRead(const std::string& path) {
    InstallStopHandlers();
    SetVideoStopCheck(StopRequested);
    int ends[2];
    if (pipe(ends) != 0) std::exit(10);
    // Two frames' worth of a Y4M stream, then the writer keeps the pipe open.
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (write(ends[1], bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::exit(11);
    dup2(ends[0], 0);
    VideoDecoder* decoder = nullptr;
    VideoInfo info;
    std::string error;
    const pthread_t reader = pthread_self();
    std::thread stopper([reader] {
        usleep(300000);
        pthread_kill(reader, SIGINT);
    });
    const bool opened = OpenVideo("-", VideoOptions(), &decoder, &info, &error);
    int frames = 0;
    FrameRead read = FrameRead::Failed;
    if (opened) {
        std::vector<uint8_t> pixels(static_cast<size_t>(FrameStride(info.width)) * info.height);
        std::string problem;
        while ((read = ReadVideoFrame(decoder, pixels.data(), &problem)) == FrameRead::Frame) ++frames;
        CloseVideo(decoder);
    }
    stopper.join();
    // Either the open or a read was waiting when the stop came (the
    // libraries may have been probing for more frames).
    if (opened && read == FrameRead::Interrupted && frames <= 2) std::exit(0);
    if (!opened && error == "standard input: interrupted") std::exit(0);
    std::fprintf(stderr, "opened %d, read %d, frames %d, error %s\n", opened, static_cast<int>(read), frames, error.c_str());
    std::exit(12);
}

TEST_F(VideoDecoderTest, StopRequestEndsABlockedRead) {
    const std::string path = MakeColour("two.y4m", "0x28C864", "16x8", 2, "-pix_fmt yuv420p");
    EXPECT_EXIT(InterruptBlockedRead(path), ::testing::ExitedWithCode(0), "");
}

}  // namespace
