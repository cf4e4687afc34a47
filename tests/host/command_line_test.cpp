// The command line: what each command takes, the checks on --size, --rate,
// --loop and --frames, and the usage errors that must stop rozove before it
// loads or opens anything.
#include "host/cli/command_line.h"
#include "host/common/natural_order.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

bool Parse(std::vector<std::string> words, CommandLine* c, std::string* error = nullptr) {
    std::vector<char*> argv;
    static char program[] = "rozove";
    argv.push_back(program);
    for (std::string& w : words) argv.push_back(&w[0]);
    std::string ignored;
    return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), c, error ? error : &ignored);
}

TEST(CommandLine, ExportWithEveryOptionBeforeOrAfterTheFiles) {
    CommandLine c;
    ASSERT_TRUE(Parse({"--module", "m.so", "export", "in.y4m", "--loop=3", "out.gif", "--mask", "--frames", "7"}, &c));
    EXPECT_EQ(c.command, Command::Export);
    EXPECT_EQ(c.modulePath, "m.so");
    EXPECT_EQ(c.input.path, "in.y4m");
    EXPECT_EQ(c.output, "out.gif");
    EXPECT_EQ(c.loopCount, 3);
    EXPECT_TRUE(c.mask);
    EXPECT_EQ(c.frameLimit, 7);
    EXPECT_FALSE(IsRaw(c.input));
}

TEST(CommandLine, RawInputNeedsSizeAndRate) {
    CommandLine c;
    ASSERT_TRUE(Parse({"export", "--size", "320x180", "--rate", "30000/1001", "-", "out.gif"}, &c));
    EXPECT_TRUE(IsRaw(c.input));
    EXPECT_EQ(c.input.path, "-");
    EXPECT_EQ(c.input.raw.width, 320);
    EXPECT_EQ(c.input.raw.height, 180);
    EXPECT_EQ(c.input.raw.rate, 30000);
    EXPECT_EQ(c.input.raw.scale, 1001);
    std::string error;
    EXPECT_FALSE(Parse({"export", "--size", "320x180", "-", "out.gif"}, &c, &error));
    EXPECT_NE(error.find("--rate"), std::string::npos);
    EXPECT_FALSE(Parse({"export", "--rate", "25", "-", "out.gif"}, &c));
}

// gifski's habit: a shell glob of images, then the GIF, taken in natural
// order unless --no-sort; one input keeps `stills` empty.
TEST(CommandLine, SeveralStillsStandBeforeTheOutputInNaturalOrder) {
    CommandLine c;
    ASSERT_TRUE(Parse({"export", "--fps", "10", "f10.png", "f9.png", "--width=64", "é.jpg", "f09b.png", "out.gif"}, &c));
    EXPECT_EQ(c.input.stills, (std::vector<std::string>{"f9.png", "f09b.png", "f10.png", "é.jpg"}));
    EXPECT_EQ(c.input.path, "f9.png");
    EXPECT_EQ(c.output, "out.gif");
    EXPECT_EQ(c.input.video.width, 64);
    ASSERT_TRUE(Parse({"export", "f10.png", "f9.png", "out.gif", "--no-sort"}, &c));
    EXPECT_EQ(c.input.stills, (std::vector<std::string>{"f10.png", "f9.png"}));
    EXPECT_EQ(c.input.path, "f10.png");
    ASSERT_TRUE(Parse({"export", "a.png", "out.gif"}, &c));
    EXPECT_TRUE(c.input.stills.empty());
}

TEST(NaturalLess, DigitRunsCompareAsNumbers) {
    const struct {
        const char* a;
        const char* b;
    } ordered[] = {
        {"frame2.png", "frame10.png"}, {"frame1.png", "frame01.png"}, {"frame01.png", "frame2.png"},
        {"a1b2", "a1b10"},             {"a", "a0"},                   {"9", "a"},
        {"x007y", "x7z"},              {"img99999999999999999999", "img100000000000000000000"},
    };
    for (const auto& pair : ordered) {
        EXPECT_TRUE(NaturalLess(pair.a, pair.b)) << pair.a << " < " << pair.b;
        EXPECT_FALSE(NaturalLess(pair.b, pair.a)) << pair.b << " !< " << pair.a;
    }
    EXPECT_FALSE(NaturalLess("same10", "same10"));
}

// ffmpeg's -y and -n (the last given counts) and --progress.
TEST(CommandLine, OverwriteAndProgressAsFfmpegTakesThem) {
    CommandLine c;
    ASSERT_TRUE(Parse({"export", "-y", "in.y4m", "out.gif"}, &c));
    EXPECT_FALSE(c.noClobber);
    EXPECT_TRUE(c.progressPath.empty());
    ASSERT_TRUE(Parse({"-y", "demo", "-n", "--progress", "-"}, &c));
    EXPECT_TRUE(c.noClobber);
    EXPECT_EQ(c.progressPath, "-");
    ASSERT_TRUE(Parse({"export", "--no-clobber", "-y", "--progress=p.txt", "in.y4m", "out.gif"}, &c));
    EXPECT_FALSE(c.noClobber);
    EXPECT_EQ(c.progressPath, "p.txt");
    std::string error;
    EXPECT_FALSE(Parse({"export", "--progress", "-", "in.y4m", "-"}, &c, &error));
    EXPECT_NE(error.find("standard output"), std::string::npos) << error;
    EXPECT_FALSE(Parse({"info", "-n"}, &c));
    EXPECT_FALSE(Parse({"demo", "--no-sort"}, &c));
}

TEST(CommandLine, DemoDefaultsToDemoGif) {
    CommandLine c;
    ASSERT_TRUE(Parse({"demo"}, &c));
    EXPECT_EQ(c.command, Command::Demo);
    EXPECT_EQ(c.output, "demo.gif");
    EXPECT_EQ(c.loopCount, 0);
    EXPECT_FALSE(c.mask);
    ASSERT_TRUE(Parse({"demo", "--loop", "65535", "x.gif"}, &c));
    EXPECT_EQ(c.output, "x.gif");
    EXPECT_EQ(c.loopCount, 65535);
}

TEST(CommandLine, DoubleDashLetsAFileLookLikeAnOption) {
    CommandLine c;
    ASSERT_TRUE(Parse({"export", "--", "--odd.y4m", "-x.gif"}, &c));
    EXPECT_EQ(c.input.path, "--odd.y4m");
    EXPECT_EQ(c.output, "-x.gif");
}

TEST(CommandLine, HelpAndVersionWinOverEverythingElse) {
    CommandLine c;
    ASSERT_TRUE(Parse({"export", "--help"}, &c));
    EXPECT_EQ(c.command, Command::Help);
    ASSERT_TRUE(Parse({"--version"}, &c));
    EXPECT_EQ(c.command, Command::Version);
}

TEST(CommandLine, UsageErrors) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate"},
        {"export", "in.y4m"},
        {"export", "a", "-", "c"},                             // standard input among several
        {"export", "--size", "2x2", "--rate", "25", "a", "b", "c"},  // raw frames from several
        {"demo", "a.gif", "b.gif"},
        {"info", "x"},
        {"info", "--loop", "2"},
        {"demo", "--size", "2x2"},
        {"demo", "--frames", "3"},
        {"export", "--loop", "65536", "a", "b"},
        {"export", "--loop", "-1", "a", "b"},
        {"export", "--loop", "a", "b"},     // "a" is no repeat count
        {"export", "--frames", "0", "a", "b"},
        {"export", "--colour", "a", "b"},
        {"export", "a", "b", "--module"},
        {"export", "--start", "1:60", "a", "b"},              // 60 is no second
        {"export", "--duration", "0", "a", "b"},
        {"export", "--duration", "-2", "a", "b"},
        {"export", "--start", "-2", "a", "b"},                 // before the video begins
        {"export", "--to", "-1s", "a", "b"},
        {"export", "--duration", "2", "--to", "3", "a", "b"},  // one end only
        {"export", "--start", "5", "--to", "4", "a", "b"},
        {"demo", "--start", "1"},
    };
    for (const auto& words : bad) {
        CommandLine c;
        std::string error;
        EXPECT_FALSE(Parse(words, &c, &error)) << (words.empty() ? "(nothing)" : words[0]);
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
    // A folder as the output is the export's to refuse, where the output is
    // checked, with or without its trailing slash alike.
    CommandLine folder;
    std::string error;
    EXPECT_TRUE(Parse({"export", "in.y4m", "dir/"}, &folder, &error)) << error;
}

TEST(ParseSize, WidthByHeightWithinGifLimits) {
    int32_t w = 0, h = 0;
    EXPECT_TRUE(ParseSize("1x1", &w, &h));
    EXPECT_TRUE(ParseSize("65535X2", &w, &h));
    EXPECT_EQ(w, 65535);
    EXPECT_EQ(h, 2);
    for (const char* text : {"", "x", "320", "320x", "x180", "0x10", "10x0", "65536x1", "-3x4", "3x4x5", "3 x4",
                             "320x180p"}) {
        EXPECT_FALSE(ParseSize(text, &w, &h)) << text;
    }
}

TEST(ParseTime, SecondsOrClockAsFfmpegTakesThem) {
    const struct {
        const char* text;
        int64_t microseconds;
    } good[] = {{"12", 12000000},      {"2.5", 2500000},         {"0.0000009", 0},  {"1:02.5", 62500000},
                {"00:01:02", 62000000}, {"1:00:00.25", 3600250000}, {"90", 90000000}, {"0", 0},
                {"1.", 1000000},        {"65s", 65000000},        {"65000ms", 65000000}, {"1.5ms", 1500},
                {"250us", 250},         {"2.7us", 2},             {"+3", 3000000},   {"-1.5", -1500000},
                {"-0:30", -30000000},   {"1:30ms", 90000},        {"100:00:00", 360000000000}};
    for (const auto& c : good) {
        int64_t got = -1;
        EXPECT_TRUE(ParseTime(c.text, &got)) << c.text;
        EXPECT_EQ(got, c.microseconds) << c.text;
    }
    for (const char* text : {"", "-", "1:", ":1", "1:60", "90:00", "1:2:3:4", "1:100:00", ".5", "a", "1.2.3",
                             "1:2a", "1::2", "5m", "5 s", "ms", "--5", "+-5", "5sms", "1.5e3"}) {
        int64_t got = 0;
        EXPECT_FALSE(ParseTime(text, &got)) << text;
    }
    CommandLine c;
    ASSERT_TRUE(Parse({"export", "--start", "0:12", "--to", "15.5", "a", "b"}, &c));
    EXPECT_EQ(c.input.video.startMicroseconds, 12000000);
    EXPECT_EQ(c.input.video.durationMicroseconds, 3500000);
    ASSERT_TRUE(Parse({"export", "--duration", "3", "a", "b"}, &c));
    EXPECT_EQ(c.input.video.durationMicroseconds, 3000000);
    ASSERT_TRUE(Parse({"export", "--start=65s", "--to", "66500ms", "a", "b"}, &c));
    EXPECT_EQ(c.input.video.startMicroseconds, 65000000);
    EXPECT_EQ(c.input.video.durationMicroseconds, 1500000);
}

TEST(ParseRate, WholeOrFractionPositiveOnly) {
    int32_t r = 0, s = 0;
    EXPECT_TRUE(ParseRate("25", &r, &s));
    EXPECT_EQ(r, 25);
    EXPECT_EQ(s, 1);
    EXPECT_TRUE(ParseRate("30000:1001", &r, &s));
    EXPECT_EQ(s, 1001);
    EXPECT_TRUE(ParseRate("2147483647/1", &r, &s));
    for (const char* text : {"", "0", "25/0", "/25", "25/", "-25", "2147483648", "abc", "25/1/2", "0.0", ".",
                             "+", "++5", "-.5", "29.97.1", "1.2x", "3000000000.5", "1.0000000001"}) {
        EXPECT_FALSE(ParseRate(text, &r, &s)) << text;
    }
}

// The NTSC rates as people write them come out exact; other decimals as
// exact fractions in lowest terms.
TEST(ParseRate, DecimalRates) {
    const struct {
        const char* text;
        int32_t rate;
        int32_t scale;
    } cases[] = {
        {"29.97", 30000, 1001}, {"23.976", 24000, 1001}, {"59.94", 60000, 1001}, {"29.970", 30000, 1001},
        {"23.98", 24000, 1001}, {"119.88", 120000, 1001}, {"12.5", 25, 2},       {"25.0", 25, 1},
        {"29.9", 299, 10},      {"0.5", 1, 2},            {".25", 1, 4},         {"29.971", 29971, 1000},
        {"5.", 5, 1},           {"+10", 10, 1},           {"+.5", 1, 2},
    };
    for (const auto& c : cases) {
        int32_t r = 0, s = 0;
        ASSERT_TRUE(ParseRate(c.text, &r, &s)) << c.text;
        EXPECT_EQ(r, c.rate) << c.text;
        EXPECT_EQ(s, c.scale) << c.text;
    }
}

TEST(CommandLine, StandardOutputQuietAndVideoOptions) {
    CommandLine c;
    ASSERT_TRUE(Parse({"export", "-q", "--width", "320", "--fps=12.5", "clip.mp4", "-"}, &c));
    EXPECT_EQ(c.output, "-");
    EXPECT_TRUE(c.quiet);
    EXPECT_EQ(c.input.video.width, 320);
    EXPECT_EQ(c.input.video.height, 0);
    EXPECT_EQ(c.input.video.fpsRate, 25);
    EXPECT_EQ(c.input.video.fpsScale, 2);
    ASSERT_TRUE(Parse({"demo", "--quiet"}, &c));
    EXPECT_TRUE(c.quiet);
    std::string error;
    EXPECT_FALSE(Parse({"demo", "--width", "10"}, &c, &error));
    EXPECT_NE(error.find("--width belongs to export"), std::string::npos) << error;
    EXPECT_FALSE(Parse({"export", "--size", "2x2", "--rate", "25", "--width", "10", "a", "b"}, &c, &error));
    EXPECT_NE(error.find("raw frames"), std::string::npos) << error;
    EXPECT_FALSE(Parse({"export", "--mask=1", "a", "b"}, &c, &error));
    EXPECT_NE(error.find("takes no value"), std::string::npos) << error;
    EXPECT_FALSE(Parse({"export", "--height", "0", "a", "b"}, &c, &error));
    EXPECT_NE(error.find("bad --height 0"), std::string::npos) << error;
}

}  // namespace

// Rates a GIF cannot show are refused on the command line, in plain decimals.
TEST(CommandLine, RatesAGifCannotHold) {
    CommandLine c;
    std::string error;
    for (const char* rate : {"--fps=1000", "--fps=0.001", "--fps=100.5"}) {
        EXPECT_FALSE(Parse({"export", rate, "in.mp4", "out.gif"}, &c, &error)) << rate;
        EXPECT_EQ(error.find("e+"), std::string::npos) << error;
    }
    EXPECT_NE(error.find("100.5 frames per second"), std::string::npos) << error;
    EXPECT_FALSE(Parse({"export", "--size", "4x4", "--rate", "1/1000", "in.raw", "out.gif"}, &c, &error));
    EXPECT_NE(error.find("655.35 s"), std::string::npos) << error;
    EXPECT_TRUE(Parse({"export", "--fps", "100", "--loop", "+3", "in.mp4", "out.gif"}, &c));
    EXPECT_EQ(c.loopCount, 3);
}
