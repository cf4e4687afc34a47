// The completion message box in a real window: captioned with the output
// path, telling the frame count, shown after the file is closed, and ending
// the job only when OK is pressed.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/module/host_job.h"
#include "tests/module/module_under_test.h"
#include "tests/module/ui_windows.h"

namespace {

// "出力しました\n10 コマ"
const wchar_t kTenFramesDone[] = L"\u51fa\u529b\u3057\u307e\u3057\u305f\n10 \u30b3\u30de";
const char kTenFramesDone932[] = "\x8f\x6f\x97\xcd\x82\xb5\x82\xdc\x82\xb5\x82\xbd\n10 \x83\x52\x83\x7d";

std::wstring Wide(const std::string& text) {
    wchar_t wide[1024];
    const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, 1024);
    return length > 0 ? std::wstring(wide, length - 1) : std::wstring();
}

}  // namespace

TEST(CompletionMessage, ShowsTheFrameCountUnderThePathUntilOk) {
    OutputPluginTable* table = TheModule().table;
    ASSERT_NE(table, nullptr);
    ResetSettings();
    TakeMessageBoxes();
    MessageBoxesPassThrough(true);

    HostJob job;
    job.path = OraclePath("message_box");
    RemoveFile(job.path);
    int32_t result = 0;
    bool appeared = false;
    std::wstring textById;
    std::vector<std::wstring> texts;
    size_t eventsWhenShown = 0;
    const bool closedByUser = RunWithUser([&] { result = RunHostJob(table, &job); },
                                          [&](DWORD thread) {
                                              HWND box = WaitForWindow(Wide(job.path).c_str(), thread, 60000);
                                              if (box == nullptr) return;
                                              appeared = true;
                                              eventsWhenShown = job.events.size();
                                              textById = ControlTextW(box, 0xFFFF);
                                              texts = StaticTexts(box);
                                              PressButton(box, IDOK);
                                          });
    MessageBoxesPassThrough(false);

    ASSERT_TRUE(appeared) << "no window captioned " << job.path;
    EXPECT_TRUE(closedByUser) << "the message box had to be closed by force";
    EXPECT_EQ(result, 1);
    // Shown after every callback, afterClose included.
    EXPECT_EQ(eventsWhenShown, job.events.size());
    EXPECT_EQ(job.events.back(), "afterClose");
    // Windows names the text control 0xFFFF; other implementations differ,
    // so any static text of the box will do.
    bool textFound = textById == kTenFramesDone;
    for (const std::wstring& text : texts) textFound = textFound || text == kTenFramesDone;
    EXPECT_TRUE(textFound) << "the box does not say the frame count (" << texts.size() << " texts)";

    const std::vector<ShownMessage> shown = TakeMessageBoxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, kTenFramesDone932);
    EXPECT_EQ(shown[0].caption, job.path);
    EXPECT_EQ(shown[0].owner, nullptr);
    EXPECT_EQ(shown[0].type, static_cast<unsigned>(MB_OK));
    RemoveFile(job.path);
}
