// Output jobs through the table's output entry: the file's pieces byte by
// byte, the callbacks in order, the completion message, aborts and bad
// requests. Every finished file is also left for the giflib checker.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/module/host_job.h"
#include "tests/module/module_test.h"
#include "tests/module/module_under_test.h"

namespace {

class OutputJob : public ModuleTest {
protected:
    // Runs JOB into the output folder as NAME.gif and returns the file.
    std::vector<uint8_t> Run(const std::string& name, HostJob* job, int32_t expectedResult = 1) {
        job->path = OraclePath(name);
        RemoveFile(job->path);
        EXPECT_EQ(RunHostJob(table, job), expectedResult);
        return ReadWholeFile(job->path);
    }

    // What the host must see: per frame isAborted, progress, frame; then
    // afterClose once.
    static std::vector<std::string> Events(int32_t framesServed, int32_t frameCount, bool abortedAfter) {
        std::vector<std::string> events;
        for (int32_t i = 0; i < framesServed; ++i) {
            events.push_back("aborted?");
            events.push_back("progress " + std::to_string(i) + "/" + std::to_string(frameCount));
            events.push_back("frame " + std::to_string(i));
        }
        if (abortedAfter) events.push_back("aborted?");
        events.push_back("afterClose");
        return events;
    }

    void ExpectCompletionMessage(const HostJob& job, const char* text) {
        const std::vector<ShownMessage> shown = TakeMessageBoxes();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].owner, nullptr);
        EXPECT_EQ(shown[0].caption, job.path);
        EXPECT_EQ(shown[0].text, text);
        EXPECT_EQ(shown[0].type, 0u);  // MB_OK alone
    }

    void ExpectNoMessage() { EXPECT_TRUE(TakeMessageBoxes().empty()); }

    static GifExpectation Expectation(const HostJob& job, const AnimationPieces& pieces, bool maskMode,
                                      int32_t loopCount) {
        GifExpectation expectation{maskMode ? job.width / 2 : job.width, job.height, loopCount, {}, {}};
        for (size_t i = 0; i < pieces.frames.size(); ++i) {
            expectation.delays.push_back(pieces.frames[i].delay);
            expectation.indices.push_back(ExpectedIndices(job, static_cast<int32_t>(i), maskMode));
        }
        return expectation;
    }
};

// "出力しました\n10 コマ" in code page 932.
const char kTenFramesDone[] = "\x8f\x6f\x97\xcd\x82\xb5\x82\xdc\x82\xb5\x82\xbd\n10 \x83\x52\x83\x7d";

std::vector<uint16_t> Delays(const AnimationPieces& pieces) {
    std::vector<uint16_t> delays;
    for (const FramePiece& frame : pieces.frames) delays.push_back(frame.delay);
    return delays;
}

}  // namespace

TEST_F(OutputJob, TenFramesAtNtscRateWithInitialSettings) {
    HostJob job;
    const std::vector<uint8_t> file = Run("worked_example", &job);
    const AnimationPieces pieces = CutAnimation(file);
    ASSERT_TRUE(pieces.valid) << pieces.error;

    // The head: signature, screen, and the gray table (index 0 black).
    EXPECT_EQ(std::memcmp(file.data(), "GIF89a", 6), 0);
    EXPECT_EQ(pieces.width, 16);
    EXPECT_EQ(pieces.height, 8);
    for (int i = 0; i < 256; ++i) {
        const uint8_t* entry = file.data() + 13 + 3 * i;
        ASSERT_TRUE(entry[0] == i && entry[1] == i && entry[2] == i) << "colour " << i;
    }
    // The looping block right after the head, endless.
    static const uint8_t kLooping[19] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P',
                                         'E',  '2',  '.',  '0', 0x03, 0x01, 0x00, 0x00, 0x00};
    EXPECT_EQ(std::memcmp(file.data() + 781, kLooping, sizeof kLooping), 0);
    EXPECT_EQ(pieces.loopBlock, 781u);

    ASSERT_EQ(pieces.frames.size(), 10u);
    EXPECT_EQ(pieces.frames[0].extension, 800u);
    EXPECT_EQ(Delays(pieces), (std::vector<uint16_t>{3, 3, 4, 3, 3, 4, 3, 3, 4, 3}));
    for (const FramePiece& frame : pieces.frames) {
        EXPECT_EQ(frame.flags, 0x09) << "at " << frame.extension;
        EXPECT_EQ(frame.transparentIndex, 0) << "at " << frame.extension;
    }
    EXPECT_TRUE(pieces.closedWithComment);
    EXPECT_EQ(job.events, Events(10, 10, false));
    ExpectCompletionMessage(job, kTenFramesDone);
    WriteExpectation("worked_example", Expectation(job, pieces, false, 0));
}

TEST_F(OutputJob, MaskModeHalvesTheWidthAndClearsBlackMaskPixels) {
    SetSettings(1, 0);
    HostJob job;
    job.width = 20;
    job.height = 6;
    job.frameCount = 3;
    job.maskFrames = true;
    const std::vector<uint8_t> file = Run("mask_mode", &job);
    const AnimationPieces pieces = CutAnimation(file);
    ASSERT_TRUE(pieces.valid) << pieces.error;
    EXPECT_EQ(pieces.width, 10);
    EXPECT_EQ(pieces.height, 6);
    EXPECT_EQ(pieces.frames.size(), 3u);
    WriteExpectation("mask_mode", Expectation(job, pieces, true, 0));
}

TEST_F(OutputJob, AnyNonzeroFlagMeansMaskModeAndMinusOneLoopsAsFFFF) {
    uint8_t block[8] = {5, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    ASSERT_EQ(table->configSet(block, 8), 8);
    HostJob job;
    job.frameCount = 2;
    job.maskFrames = true;
    const std::vector<uint8_t> file = Run("flag_five", &job);
    const AnimationPieces pieces = CutAnimation(file);
    ASSERT_TRUE(pieces.valid) << pieces.error;
    EXPECT_EQ(pieces.width, 8);
    EXPECT_EQ(pieces.loopCount, 0xFFFF);
    ASSERT_GE(file.size(), 800u);
    EXPECT_EQ(file[797], 0xFF);
    EXPECT_EQ(file[798], 0xFF);
    WriteExpectation("flag_five", Expectation(job, pieces, true, 0xFFFF));
}

TEST_F(OutputJob, RepeatCountKeepsItsLowSixteenBits) {
    const struct {
        int32_t loopCount;
        uint8_t low, high;
    } cases[] = {{3, 0x03, 0x00}, {65536, 0x00, 0x00}, {-1, 0xFF, 0xFF}, {0x1234, 0x34, 0x12}};
    for (const auto& c : cases) {
        SetSettings(0, c.loopCount);
        HostJob job;
        job.frameCount = 1;
        const std::string name = "loop_" + std::to_string(c.loopCount);
        const std::vector<uint8_t> file = Run(name, &job);
        ASSERT_GE(file.size(), 800u);
        EXPECT_EQ(file[797], c.low) << "loop count " << c.loopCount;
        EXPECT_EQ(file[798], c.high) << "loop count " << c.loopCount;
        const AnimationPieces pieces = CutAnimation(file);
        ASSERT_TRUE(pieces.valid) << pieces.error;
        WriteExpectation(name, Expectation(job, pieces, false, c.low | c.high << 8));
        TakeMessageBoxes();
    }
}

TEST_F(OutputJob, AbortAfterFourFramesKeepsACompleteFile) {
    HostJob job;
    job.abortBefore = 4;
    const std::vector<uint8_t> file = Run("aborted", &job);
    const AnimationPieces pieces = CutAnimation(file);
    ASSERT_TRUE(pieces.valid) << pieces.error;
    EXPECT_EQ(Delays(pieces), (std::vector<uint16_t>{3, 3, 4, 3}));
    EXPECT_TRUE(pieces.closedWithComment);
    EXPECT_EQ(job.events, Events(4, 10, true));
    // The message still counts the frames the job had, not those written.
    ExpectCompletionMessage(job, kTenFramesDone);
    WriteExpectation("aborted", Expectation(job, pieces, false, 0));
}

TEST_F(OutputJob, AbortBeforeTheFirstFrameLeavesOnlyTheClosingBytes) {
    HostJob job;
    job.abortBefore = 0;
    const std::vector<uint8_t> file = Run("aborted_at_once", &job);
    EXPECT_EQ(file, (std::vector<uint8_t>{0x21, 0xFE, 0x03, 'D', 'O', 'D', 0x00, 0x3B}));
    EXPECT_EQ(job.events, Events(0, 10, true));
    ExpectCompletionMessage(job, kTenFramesDone);
    RemoveFile(job.path);
}

TEST_F(OutputJob, NullRequestFailsWithoutTrace) {
    EXPECT_EQ(table->output(nullptr), 0);
    ExpectNoMessage();
    EXPECT_TRUE(TakeDebugLines().empty());
}

TEST_F(OutputJob, UnopenablePathFailsBeforeAnyCallback) {
    HostJob job;
    job.path = OutputDirectory() + "no such folder/out.gif";
    EXPECT_EQ(RunHostJob(table, &job), 0);
    EXPECT_TRUE(job.events.empty());
    EXPECT_FALSE(FileExists(job.path));
    ExpectNoMessage();
}
