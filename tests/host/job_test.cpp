// The job against a stand-in module that does what the real one does with
// the callbacks (ask isAborted, report, fetch, and read frameCount at the
// end for its message): how the job ends, and that the count the message
// would show is the count of frames the module received.
#include "host/job/job.h"

#include "host/input/sources.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

struct Seen {
    int32_t finalFrameCount;  // what the completion message would show
    int32_t framesFetched;
};
Seen seen;

int32_t ROZOVE_CDECL StandInOutput(OutputRequest* request) {
    seen = Seen{0, 0};
    for (int32_t i = 0; i < request->frameCount; ++i) {
        if (request->isAborted() != 0) break;
        request->reportProgress(i, request->frameCount);
        if (request->getFrame(i) == nullptr) return 0;
        ++seen.framesFetched;
    }
    request->afterClose();
    seen.finalFrameCount = request->frameCount;
    return 1;
}

int32_t ROZOVE_CDECL FailingOutput(OutputRequest*) {
    return 0;
}

OutputPluginTable Table(OutputEntryFn output) {
    OutputPluginTable table{};
    table.output = output;
    return table;
}

class JobOnFile : public ::testing::Test {
protected:
    std::string path = "job_test.y4m";
    void TearDown() override { std::remove(path.c_str()); }
    void Write(const std::string& bytes) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
};

const std::string kHeader = "YUV4MPEG2 W256 H256 F25:1 Cmono\n";
const std::string kFrame = "FRAME\n" + std::string(256 * 256, 'a');

TEST(Job, DemoRunsToItsEnd) {
    FrameSource source;
    OpenDemoSource(&source);
    const OutputPluginTable table = Table(StandInOutput);
    const JobReport report = RunJob(&table, &source, "unused.gif", JobPlan{-1, false, ProgressClock::now()});
    EXPECT_EQ(report.end, JobEnd::Done);
    EXPECT_EQ(report.framesDelivered, 90);
    EXPECT_EQ(report.framesPlanned, 90);
    EXPECT_EQ(seen.finalFrameCount, 90);
    CloseSource(&source);
}

TEST(Job, FrameLimitIsAPlanNotAShortfall) {
    FrameSource source;
    OpenDemoSource(&source);
    const OutputPluginTable table = Table(StandInOutput);
    const JobReport report = RunJob(&table, &source, "unused.gif", JobPlan{7, false, ProgressClock::now()});
    EXPECT_EQ(report.end, JobEnd::Done);
    EXPECT_EQ(seen.framesFetched, 7);
    EXPECT_EQ(seen.finalFrameCount, 7);
    CloseSource(&source);
}

TEST_F(JobOnFile, DamagedTailEndsTheJobAsCutAfterEveryFrameBeforeIt) {
    Write(kHeader + kFrame + kFrame + "FRAME\n" + std::string(10, 'a'));
    FrameSource source;
    std::string error;
    ASSERT_TRUE(OpenY4mSource(path, &source, &error)) << error;
    const OutputPluginTable table = Table(StandInOutput);
    const JobReport report = RunJob(&table, &source, "unused.gif", JobPlan{-1, false, ProgressClock::now()});
    EXPECT_EQ(report.end, JobEnd::InputCut);
    EXPECT_EQ(report.framesDelivered, 2);
    EXPECT_NE(report.problem.find("middle of frame 3"), std::string::npos) << report.problem;
    EXPECT_EQ(seen.finalFrameCount, 2);
    CloseSource(&source);
}

// Counted at three frames, cut to one before the job: the module is told
// to stop, and the request's count becomes the one frame it received.
TEST_F(JobOnFile, FileCutAfterCountingCorrectsTheCount) {
    Write(kHeader + kFrame + kFrame + kFrame);
    FrameSource source;
    std::string error;
    ASSERT_TRUE(OpenY4mSource(path, &source, &error)) << error;
    Write(kHeader + kFrame);
    const OutputPluginTable table = Table(StandInOutput);
    const JobReport report = RunJob(&table, &source, "unused.gif", JobPlan{-1, false, ProgressClock::now()});
    EXPECT_EQ(report.end, JobEnd::InputCut);
    EXPECT_EQ(report.framesPlanned, 3);
    EXPECT_EQ(report.framesDelivered, 1);
    EXPECT_EQ(seen.finalFrameCount, 1);
    EXPECT_NE(report.problem.find("after 1 of the 3 frames"), std::string::npos) << report.problem;
    CloseSource(&source);
}

TEST_F(JobOnFile, NoFrameNeverCallsTheModule) {
    Write(kHeader);
    FrameSource source;
    std::string error;
    ASSERT_TRUE(OpenY4mSource(path, &source, &error)) << error;
    const OutputPluginTable table = Table(FailingOutput);
    const JobReport report = RunJob(&table, &source, "unused.gif", JobPlan{-1, false, ProgressClock::now()});
    EXPECT_EQ(report.end, JobEnd::NoFrame);
    EXPECT_FALSE(report.moduleAskedForFrames);
    CloseSource(&source);
}

TEST(Job, ModuleFailureIsReportedAsSuch) {
    FrameSource source;
    OpenDemoSource(&source);
    const OutputPluginTable table = Table(FailingOutput);
    const JobReport report = RunJob(&table, &source, "unused.gif", JobPlan{-1, false, ProgressClock::now()});
    EXPECT_EQ(report.end, JobEnd::ModuleFailed);
    EXPECT_FALSE(report.moduleAskedForFrames);
    CloseSource(&source);
}

}  // namespace
