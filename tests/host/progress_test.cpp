// The progress line: bar, counts, speed and time left, and its width, which
// must stay under 80 columns whatever the numbers.
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

}  // namespace
