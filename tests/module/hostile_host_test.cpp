// The module under a host that misbehaves: frames that come back null,
// paths that cannot be opened, an abort at every index of a short job and
// settings blocks of every size from 0 to 16. Nothing may crash, and every
// outcome is written to out/hostile_results.txt so that the Windows build
// under Wine can be compared line by line with the Linux build.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/module/host_job.h"
#include "tests/module/module_test.h"
#include "tests/module/module_under_test.h"

namespace {

// FNV-1a of a file's bytes: equal files on both targets give equal lines.
uint32_t Fingerprint(const std::vector<uint8_t>& bytes) {
    uint32_t hash = 2166136261u;
    for (uint8_t b : bytes) hash = (hash ^ b) * 16777619u;
    return hash;
}

class HostileHost : public ModuleTest {
protected:
    static std::FILE* results;

    static void SetUpTestSuite() { results = std::fopen((OutputDirectory() + "hostile_results.txt").c_str(), "wb"); }
    static void TearDownTestSuite() {
        if (results != nullptr) std::fclose(results);
        results = nullptr;
    }

    // Runs the job and records its outcome: result, callbacks, file.
    std::vector<uint8_t> Record(const std::string& name, HostJob* job, int32_t* result) {
        job->path = OutputDirectory() + "hostile.gif";
        RemoveFile(job->path);
        *result = RunHostJob(table, job);
        std::vector<uint8_t> file;
        const bool exists = FileExists(job->path);
        if (exists) file = ReadWholeFile(job->path);
        RemoveFile(job->path);
        TakeMessageBoxes();
        if (results != nullptr) {
            std::fprintf(results, "%s result=%d events=%zu file=%s size=%zu hash=%08x\n", name.c_str(), *result,
                         job->events.size(), exists ? "yes" : "no", file.size(), Fingerprint(file));
        }
        return file;
    }
};

std::FILE* HostileHost::results = nullptr;

TEST_F(HostileHost, NullFramesEndTheJobAsAFailureKeepingEarlierFrames) {
    for (int32_t at : {0, 1, 4}) {
        HostJob job;
        job.frameCount = 5;
        job.nullFrameAt = at;
        int32_t result = -1;
        const std::vector<uint8_t> file = Record("null_frame_" + std::to_string(at), &job, &result);
        EXPECT_EQ(result, 0) << at;
        EXPECT_EQ(job.events.back(), "afterClose") << at;
        if (at == 0) {
            EXPECT_TRUE(file.empty());  // nothing valid to keep
            continue;
        }
        const AnimationPieces pieces = CutAnimation(file);
        ASSERT_TRUE(pieces.valid) << pieces.error;
        EXPECT_EQ(pieces.frames.size(), static_cast<size_t>(at));
        EXPECT_TRUE(pieces.closedWithComment);
    }
}

TEST_F(HostileHost, PathsThatCannotBeOpened) {
    const std::string paths[] = {OutputDirectory() + "missing folder/x.gif", OutputDirectory(), std::string()};
    for (const std::string& path : paths) {
        HostJob job;
        job.path = path;
        EXPECT_EQ(RunHostJob(table, &job), 0) << "'" << path << "'";
        EXPECT_TRUE(job.events.empty());
    }
    EXPECT_TRUE(TakeMessageBoxes().empty());
}

TEST_F(HostileHost, AbortAtEveryIndexOfAShortJob) {
    for (int32_t at = 0; at <= 6; ++at) {
        HostJob job;
        job.frameCount = 6;
        job.abortBefore = at;
        int32_t result = 0;
        const std::vector<uint8_t> file = Record("abort_at_" + std::to_string(at), &job, &result);
        EXPECT_EQ(result, 1) << at;
        if (at == 0) {
            EXPECT_EQ(file.size(), 8u);
            continue;
        }
        const AnimationPieces pieces = CutAnimation(file);
        ASSERT_TRUE(pieces.valid) << at << ": " << pieces.error;
        EXPECT_EQ(pieces.frames.size(), static_cast<size_t>(at));
    }
}

TEST_F(HostileHost, SettingsBlocksOfEverySize) {
    uint8_t block[16];
    for (int i = 0; i < 16; ++i) block[i] = static_cast<uint8_t>(0x11 * (i + 1));
    for (int32_t size = 0; size <= 16; ++size) {
        SetSettings(0, 3);
        const int32_t taken = table->configSet(block, size);
        EXPECT_EQ(taken, size == 8 ? 8 : 0) << size;
        int32_t mask = 0, loop = 0;
        GetSettings(&mask, &loop);
        if (size == 8) {
            EXPECT_EQ(mask, 0x44332211);
            EXPECT_EQ(loop, static_cast<int32_t>(0x88776655u));
        } else {
            EXPECT_EQ(mask, 0) << size;
            EXPECT_EQ(loop, 3) << size;
        }
        uint8_t out[16];
        std::memset(out, 0xEE, sizeof out);
        const int32_t given = table->configGet(out, size);
        EXPECT_EQ(given, size >= 8 ? 8 : 0) << size;
        for (int i = size >= 8 ? 8 : 0; i < 16; ++i) EXPECT_EQ(out[i], 0xEE) << size << ":" << i;
        if (results != nullptr) std::fprintf(results, "settings_%d set=%d get=%d\n", size, taken, given);
    }
}

}  // namespace
