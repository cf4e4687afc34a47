// The module's debugger lines, read through its redirected import of
// OutputDebugStringA: DllMain's line for every notification, and the
// settings dialog's line even when the dialog cannot open.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/module/module_under_test.h"

namespace {

const char kDllMainLine[] = "DllMain zezodav_odevad";

typedef BOOL(WINAPI* DllMainFn)(HINSTANCE, DWORD, LPVOID);

int CountDllMainLines(const std::vector<std::string>& lines) {
    int count = 0;
    for (const std::string& line : lines) {
        EXPECT_EQ(line, kDllMainLine);
        if (line == kDllMainLine) ++count;
    }
    return count;
}

struct ThreadSeen {
    int linesWhenRunning;
};

DWORD WINAPI Worker(LPVOID parameter) {
    // By the time a new thread runs, the loader has told the module.
    static_cast<ThreadSeen*>(parameter)->linesWhenRunning = CountDllMainLines(TakeDebugLines());
    return 0;
}

}  // namespace

TEST(DebugOutput, DllMainWritesItsLineWhateverItIsGiven) {
    auto dllMain = reinterpret_cast<DllMainFn>(ModuleExport("DllMain"));
    ASSERT_NE(dllMain, nullptr);
    TakeDebugLines();
    EXPECT_EQ(dllMain(static_cast<HINSTANCE>(TheModule().handle), DLL_THREAD_ATTACH, nullptr), TRUE);
    EXPECT_EQ(TakeDebugLines(), std::vector<std::string>{kDllMainLine});
    EXPECT_EQ(dllMain(nullptr, 12345, reinterpret_cast<LPVOID>(1)), TRUE);
    EXPECT_EQ(TakeDebugLines(), std::vector<std::string>{kDllMainLine});
}

TEST(DebugOutput, ThreadStartAndEndReachDllMain) {
    ASSERT_NE(TheModule().handle, nullptr);
    TakeDebugLines();
    ThreadSeen seen{0};
    HANDLE thread = CreateThread(nullptr, 0, Worker, &seen, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 20000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_GE(seen.linesWhenRunning, 1) << "no line for the thread's start";
    EXPECT_GE(CountDllMainLines(TakeDebugLines()), 1) << "no line for the thread's end";
}

TEST(DebugOutput, ConfigWithoutTemplateStillAnswersOne) {
    OutputPluginTable* table = TheModule().table;
    ASSERT_NE(table, nullptr);
    SetSettings(1, 6);
    TakeDebugLines();
    // The test program carries no "CONFIG" template: the dialog cannot open.
    EXPECT_EQ(table->config(nullptr, GetModuleHandleA(nullptr)), 1);
    EXPECT_EQ(TakeDebugLines(), std::vector<std::string>{"_config"});
    EXPECT_TRUE(HoldsSettings(1, 6));
    ResetSettings();
}
