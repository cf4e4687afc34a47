// The progress line: bar, counts, speed and time left, and its width, which
// must stay under the terminal's (80 columns when unknown) whatever the
// numbers.
#include "host/job/progress.h"

#include <gtest/gtest.h>

namespace {

TEST(FormatProgress, KnownTotalShowsBarSpeedAndTimeLeft) {
    const std::string line = FormatProgress(45, 90, 1.5);
    EXPECT_EQ(line, "[###############---------------] 45/90  30.0 fps  0:02 left");
}

TEST(FormatProgress, StartAndEnd) {
    EXPECT_EQ(FormatProgress(0, 90, 0), "[------------------------------] 0/90");
    EXPECT_EQ(FormatProgress(90, 90, 3), "[##############################] 90/90  30.0 fps");
}

TEST(FormatProgress, UnknownTotalShowsCountSpeedAndTimeSoFar) {
    EXPECT_EQ(FormatProgress(120, -1, 4), "120 frames  30.0 fps  0:04");
}

TEST(FormatProgress, LongJobsShowHoursAndStayOnOneLine) {
    const std::string line = FormatProgress(1, 2147483647, 10);
    EXPECT_NE(line.find(" left"), std::string::npos);
    EXPECT_LT(line.size(), 80u);
    EXPECT_NE(FormatProgress(100, 100000, 10).find("2:46:30 left"), std::string::npos);
}

TEST(FormatProgress, NarrowTerminalsShortenTheBarThenDropParts) {
    const struct {
        int64_t done, total;
        int columns;
        const char* line;
    } cases[] = {
        {45, 90, 50, "[##########----------] 45/90  30.0 fps  0:02 left"},
        {45, 90, 40, "[#####-----] 45/90  30.0 fps  0:02 left"},
        {45, 90, 30, "[#####-----] 45/90  0:02 left"},
        {45, 90, 24, "[#######--------] 45/90"},
        {45, 90, 12, "45/90"},
        {120, -1, 20, "120 frames  0:04"},
        {120, -1, 8, "120"},
    };
    for (const auto& c : cases) {
        const std::string line = FormatProgress(c.done, c.total, c.done / 30.0, c.columns);
        EXPECT_EQ(line, c.line) << c.columns;
        EXPECT_LT(line.size(), static_cast<size_t>(c.columns));
    }
}

// ffmpeg's -progress blocks: the GIF's time from the frames' rate, to the
// microsecond, past an hour and past 2^31 frames' worth of microseconds.
TEST(FormatProgressBlock, KeyValueLinesAsFfmpegWritesThem) {
    EXPECT_EQ(FormatProgressBlock(45, 90, 1.5, 30000, 1001, false),
              "frame=45\ntotal=90\nfps=30.00\nout_time_us=1501500\nout_time=00:00:01.501500\nprogress=continue\n");
    EXPECT_EQ(FormatProgressBlock(90000, -1, 600, 25, 1, true),
              "frame=90000\ntotal=N/A\nfps=150.00\nout_time_us=3600000000\nout_time=01:00:00.000000\nprogress=end\n");
    EXPECT_EQ(FormatProgressBlock(0, 3, 0, 25, 1, false),
              "frame=0\ntotal=3\nfps=0.00\nout_time_us=0\nout_time=00:00:00.000000\nprogress=continue\n");
}

}  // namespace
