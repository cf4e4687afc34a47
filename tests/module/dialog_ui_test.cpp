// The settings dialog in a real window: opened through the table's
// settings-dialog entry, read and edited from a helper thread as a user
// would, and closed with OK or Cancel.
#include <windows.h>

#include <gtest/gtest.h>

#include "settings/dialog_ids.h"
#include "tests/module/module_test.h"
#include "tests/module/module_under_test.h"
#include "tests/module/ui_windows.h"

namespace {

const wchar_t kCaption[] = L"Rozove\u306e\u8a2d\u5b9a";  // "Rozoveの設定"
constexpr DWORD kAppearWithinMs = 30000;

class ConfigDialog : public ModuleTest {
protected:

    // Opens the dialog and lets PLAY act on it; PLAY must close it. False
    // when the dialog never appeared.
    bool Open(const std::function<void(HWND dialog)>& play) {
        TakeDebugLines();
        int32_t result = 0;
        bool appeared = false;
        const bool closedByUser = RunWithUser(
            [&] { result = table->config(nullptr, TheModule().handle); },
            [&](DWORD thread) {
                HWND dialog = WaitForWindow(kCaption, thread, kAppearWithinMs);
                if (dialog == nullptr) return;
                appeared = true;
                play(dialog);
            });
        EXPECT_EQ(result, 1);
        EXPECT_TRUE(closedByUser) << "the dialog had to be closed by force";
        // The helper thread's start and end reach DllMain too; leave them out.
        std::vector<std::string> lines;
        for (const std::string& line : TakeDebugLines()) {
            if (line != "DllMain zezodav_odevad") lines.push_back(line);
        }
        EXPECT_EQ(lines, std::vector<std::string>{"_config"});
        return appeared;
    }
};

}  // namespace

TEST_F(ConfigDialog, OpensWithTheStoredValuesAndOkKeepsThem) {
    SetSettings(0, -3);
    std::string shown;
    UINT checked = 99;
    bool snapshot = false;
    ASSERT_TRUE(Open([&](HWND dialog) {
        shown = ControlTextA(dialog, IDC_LOOP_COUNT);
        checked = IsDlgButtonChecked(dialog, IDC_MASK_MODE);
        Sleep(500);  // let it paint before the snapshot
        snapshot = SaveWindowBitmap(dialog, OutputDirectory() + "config_dialog.bmp");
        PressButton(dialog, IDOK);
    }));
    EXPECT_EQ(shown, "-3");
    EXPECT_EQ(checked, static_cast<UINT>(BST_UNCHECKED));
    EXPECT_TRUE(snapshot) << "no snapshot of the dialog";
    EXPECT_TRUE(HoldsSettings(0, -3));
}

TEST_F(ConfigDialog, TypedCountAndTickedBoxAreStoredOnOk) {
    UINT checkedAfterClick = 99;
    ASSERT_TRUE(Open([&](HWND dialog) {
        SetDlgItemTextA(dialog, IDC_LOOP_COUNT, "25");
        ClickButton(dialog, IDC_MASK_MODE);
        checkedAfterClick = IsDlgButtonChecked(dialog, IDC_MASK_MODE);
        PressButton(dialog, IDOK);
    }));
    EXPECT_EQ(checkedAfterClick, static_cast<UINT>(BST_CHECKED));
    EXPECT_TRUE(HoldsSettings(1, 25));
}

TEST_F(ConfigDialog, LettersOrNothingReadAsEndless) {
    for (const char* typed : {"abc", ""}) {
        SetSettings(1, 9);
        TakeDebugLines();
        ASSERT_TRUE(Open([&](HWND dialog) {
            SetDlgItemTextA(dialog, IDC_LOOP_COUNT, typed);
            PressButton(dialog, IDOK);
        })) << "typed \"" << typed << "\"";
        EXPECT_TRUE(HoldsSettings(1, 0)) << "typed \"" << typed << "\"";
    }
}

TEST_F(ConfigDialog, CancelAfterEditingKeepsBothSettings) {
    SetSettings(1, 7);
    TakeDebugLines();
    ASSERT_TRUE(Open([&](HWND dialog) {
        SetDlgItemTextA(dialog, IDC_LOOP_COUNT, "99");
        ClickButton(dialog, IDC_MASK_MODE);
        PressButton(dialog, IDCANCEL);
    }));
    EXPECT_TRUE(HoldsSettings(1, 7));
}

TEST_F(ConfigDialog, FlagFiveOpensTickedAndComesBackAsOne) {
    uint8_t block[8] = {5, 0, 0, 0, 2, 0, 0, 0};
    ASSERT_EQ(table->configSet(block, 8), 8);
    TakeDebugLines();
    UINT checked = 99;
    std::string shown;
    ASSERT_TRUE(Open([&](HWND dialog) {
        checked = IsDlgButtonChecked(dialog, IDC_MASK_MODE);
        shown = ControlTextA(dialog, IDC_LOOP_COUNT);
        PressButton(dialog, IDOK);
    }));
    EXPECT_EQ(checked, static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(shown, "2");
    EXPECT_TRUE(HoldsSettings(1, 2));
}
