// The module under a host built by another compiler (32-bit Windows only):
// every table entry and the table lookup called on a stack aligned to 4
// bytes only (4, 8 and 12 past a multiple of 16), with the host's values in
// EBX, ESI, EDI and EBP, the x87 unit at 24-bit precision and SSE rounding
// toward zero with flush-to-zero. Each call must hand all of that back, and
// each output job must write the very bytes a normal call writes, through
// callbacks that spoil EAX, ECX and EDX.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "settings/dialog_ids.h"
#include "tests/module/foreign_call.h"
#include "tests/module/host_job.h"
#include "tests/module/module_test.h"
#include "tests/module/module_under_test.h"
#include "tests/module/ui_windows.h"

namespace {

const int32_t kMisalignments[] = {4, 8, 12};
const uint32_t kGuard[4] = {0xB0B0B0B1u, 0x5151515Eu, 0xD1D1D1D3u, 0xEBEBEB04u};
constexpr uint32_t kFpuSingle = 0x007F;      // exceptions masked, 24-bit precision, round to nearest
constexpr uint32_t kFpuControlBits = 0x1F3F;  // the bits of the control word that mean something
constexpr uint32_t kMxcsrTruncFlush = 0xFF80;  // exceptions masked, round toward zero, flush to zero
constexpr uint32_t kMxcsrFlags = 0x3F;       // sticky exception flags: a callee may raise them
const wchar_t kCaption[] = L"Rozove\u306e\u8a2d\u5b9a";  // "Rozoveの設定"

int32_t Word(const void* pointer) {
    return static_cast<int32_t>(reinterpret_cast<intptr_t>(pointer));
}

ForeignFrame Call(const void* entry, std::initializer_list<int32_t> args, int32_t misalign) {
    ForeignFrame frame{};
    frame.entry = entry;
    int32_t* arg = frame.args;
    for (int32_t value : args) *arg++ = value;
    frame.misalign = misalign;
    frame.fpuControl = kFpuSingle;
    frame.mxcsr = kMxcsrTruncFlush;
    for (int i = 0; i < 4; ++i) frame.guard[i] = kGuard[i];
    foreignCallbackMisalignment = 0;
    ForeignCall(&frame);
    return frame;
}

// Success when the entry left the host everything the convention keeps.
::testing::AssertionResult KeptHostState(const ForeignFrame& frame) {
    static const char* const kNames[4] = {"EBX", "ESI", "EDI", "EBP"};
    ::testing::AssertionResult result = ::testing::AssertionFailure() << "ESP % 16 = " << frame.misalign << ":";
    bool kept = true;
    for (int i = 0; i < 4; ++i) {
        if (frame.kept[i] != kGuard[i]) {
            kept = false;
            result << " " << kNames[i] << " came back 0x" << std::hex << frame.kept[i] << std::dec;
        }
    }
    if (frame.espShift != 0) kept = false, result << " ESP moved by " << frame.espShift;
    if ((frame.fpuControlAfter & kFpuControlBits) != (kFpuSingle & kFpuControlBits)) {
        kept = false, result << " x87 control word came back 0x" << std::hex << frame.fpuControlAfter << std::dec;
    }
    if ((frame.mxcsrAfter & ~kMxcsrFlags) != kMxcsrTruncFlush) {
        kept = false, result << " MXCSR came back 0x" << std::hex << frame.mxcsrAfter << std::dec;
    }
    if ((frame.fpuStatusAfter & 0x3840) != 0) {  // TOP or stack fault: an x87 register left in use
        kept = false, result << " x87 status 0x" << std::hex << frame.fpuStatusAfter << std::dec;
    }
    if (foreignCallbackMisalignment != 0) kept = false, result << " a callback found ESP not a multiple of 4";
    return kept ? ::testing::AssertionSuccess() : result;
}

class ForeignCaller : public ModuleTest {};

TEST_F(ForeignCaller, TableLookupAndSettingsExchange) {
    const void* lookup = ModuleExport("GetOutputPluginTable");
    ASSERT_NE(lookup, nullptr);
    for (int32_t misalign : kMisalignments) {
        SCOPED_TRACE(misalign);
        const ForeignFrame found = Call(lookup, {}, misalign);
        EXPECT_TRUE(KeptHostState(found));
        EXPECT_EQ(found.result, Word(table));

        const uint8_t block[8] = {1, 0, 0, 0, static_cast<uint8_t>(misalign), 0, 0, 0};
        const ForeignFrame set = Call(reinterpret_cast<const void*>(table->configSet), {Word(block), 8}, misalign);
        const ForeignFrame refused = Call(reinterpret_cast<const void*>(table->configSet), {Word(block), 7}, misalign);
        const ForeignFrame size = Call(reinterpret_cast<const void*>(table->configGet), {0, 0}, misalign);
        uint8_t read[8] = {0};
        const ForeignFrame got = Call(reinterpret_cast<const void*>(table->configGet), {Word(read), 8}, misalign);
        for (const ForeignFrame* frame : {&set, &refused, &size, &got}) EXPECT_TRUE(KeptHostState(*frame));
        EXPECT_EQ(set.result, 8);
        EXPECT_EQ(refused.result, 0);
        EXPECT_EQ(size.result, 8);
        EXPECT_EQ(got.result, 8);
        EXPECT_EQ(std::vector<uint8_t>(read, read + 8), std::vector<uint8_t>(block, block + 8));
    }
}

TEST_F(ForeignCaller, SettingsDialog) {
    for (int32_t misalign : kMisalignments) {
        SCOPED_TRACE(misalign);
        ForeignFrame frame{};
        bool appeared = false;
        const bool closedByUser = RunWithUser(
            [&] { frame = Call(reinterpret_cast<const void*>(table->config), {0, Word(TheModule().handle)}, misalign); },
            [&](DWORD thread) {
                HWND dialog = WaitForWindow(kCaption, thread, 30000);
                if (dialog == nullptr) return;
                appeared = true;
                SetDlgItemTextA(dialog, IDC_LOOP_COUNT, std::to_string(misalign).c_str());
                PressButton(dialog, IDOK);
            });
        ASSERT_TRUE(appeared);
        EXPECT_TRUE(closedByUser);
        EXPECT_TRUE(KeptHostState(frame));
        EXPECT_EQ(frame.result, 1);
        EXPECT_TRUE(HoldsSettings(0, misalign));
    }
}

struct JobCase {
    const char* name;
    int32_t width, height, frameCount;
    bool mask;
    int32_t abortBefore, nullFrameAt;
};

// Widths with a remainder after the 16-pixel steps of the conversion; an
// aborted job and one that fails on a missing frame.
const JobCase kJobs[] = {
    {"plain", 37, 9, 6, false, -1, -1},
    {"mask", 70, 6, 4, true, -1, -1},
    {"aborted", 20, 5, 6, false, 3, -1},
    {"null_frame", 20, 5, 6, false, -1, 2},
};

struct JobOutcome {
    int32_t result;
    std::vector<std::string> events;
    std::vector<uint8_t> file;
};

JobOutcome RunJob(const JobCase& c, const std::function<int32_t(HostJob*)>& run) {
    HostJob job;
    job.width = c.width;
    job.height = c.height;
    job.frameCount = c.frameCount;
    job.maskFrames = c.mask;
    job.abortBefore = c.abortBefore;
    job.nullFrameAt = c.nullFrameAt;
    job.path = OutputDirectory() + "foreign_caller.gif";
    RemoveFile(job.path);
    JobOutcome outcome;
    outcome.result = run(&job);
    outcome.events = job.events;
    outcome.file = ReadWholeFile(job.path);
    RemoveFile(job.path);
    return outcome;
}

TEST_F(ForeignCaller, OutputJobsWriteTheBytesOfANormalCall) {
    foreignHandlers = HostJobCallbacks();
    const JobCallbacks wrapped{ForeignGetFrame, ForeignIsAborted, ForeignReportProgress, ForeignAfterClose};
    for (const JobCase& c : kJobs) {
        SCOPED_TRACE(c.name);
        SetSettings(c.mask ? 1 : 0, 2);
        // Foreign calls first, so that the module's first frame ever (its
        // one look at the image library) is made under a foreign caller.
        std::vector<JobOutcome> foreign;
        for (int32_t misalign : kMisalignments) {
            foreign.push_back(RunJob(c, [&](HostJob* job) {
                return RunHostJobThrough(job, wrapped, [&](OutputRequest* request) {
                    const ForeignFrame frame =
                        Call(reinterpret_cast<const void*>(table->output), {Word(request)}, misalign);
                    EXPECT_TRUE(KeptHostState(frame));
                    return frame.result;
                });
            }));
        }
        const JobOutcome normal = RunJob(c, [&](HostJob* job) { return RunHostJob(table, job); });
        EXPECT_EQ(normal.result, c.nullFrameAt < 0 ? 1 : 0);
        EXPECT_FALSE(normal.file.empty());
        for (size_t i = 0; i < foreign.size(); ++i) {
            EXPECT_EQ(foreign[i].result, normal.result) << "ESP % 16 = " << kMisalignments[i];
            EXPECT_EQ(foreign[i].events, normal.events) << "ESP % 16 = " << kMisalignments[i];
            EXPECT_TRUE(foreign[i].file == normal.file) << "ESP % 16 = " << kMisalignments[i] << ": "
                                                        << foreign[i].file.size() << " bytes against "
                                                        << normal.file.size();
        }
    }
    TakeMessageBoxes();
}

}  // namespace
