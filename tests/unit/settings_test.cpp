// The settings block exchanged with the host, and (on Linux, over the
// in-memory dialog) the settings dialog's procedure.
#include <gtest/gtest.h>

#include <cstring>

#include "plugin/plugin_table.h"
#include "settings/dialog_ids.h"
#include "settings/gif_settings.h"
#include "settings/settings_entries.h"
#include "tests/unit/clean_state.h"
#include "tests/unit/platform_probe.h"
#if !defined(_WIN32)
#include "platform/linux/stand_in_control.h"
#endif

namespace {

class Settings : public CleanState {};

TEST_F(Settings, InitialBlockIsEightZeroBytes) {
    uint8_t block[8];
    std::memset(block, 0xAA, sizeof block);
    EXPECT_EQ(OnConfigGet(block, 8), 8);
    EXPECT_EQ(std::memcmp(block, "\0\0\0\0\0\0\0\0", 8), 0);
    EXPECT_EQ(ProbeDebugOutput(), "_get");
}

TEST_F(Settings, NullBufferReportsTheSizeWhateverTheSizeArgument) {
    for (int32_t size : {0, -1, 8, 1000}) EXPECT_EQ(OnConfigGet(nullptr, size), 8);
    EXPECT_EQ(ProbeDebugOutput(), "_get_get_get_get");
}

TEST_F(Settings, BlockRoundTripsVerbatimAndLittleEndian) {
    const uint8_t in[8] = {0x05, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};  // flag 5, loop count -1
    EXPECT_EQ(OnConfigSet(const_cast<uint8_t*>(in), 8), 8);
    EXPECT_EQ(gifSettings.useRightHalfAsMask, 5);
    EXPECT_EQ(gifSettings.loopCount, -1);
    gifSettings.loopCount = 0x01020304;
    uint8_t out[12];
    std::memset(out, 0xAA, sizeof out);
    EXPECT_EQ(OnConfigGet(out, 12), 8);
    const uint8_t expected[12] = {5, 0, 0, 0, 0x04, 0x03, 0x02, 0x01, 0xAA, 0xAA, 0xAA, 0xAA};
    EXPECT_EQ(std::memcmp(out, expected, 12), 0);
    EXPECT_EQ(ProbeDebugOutput(), "_set_get");
}

TEST_F(Settings, WrongSizesAndNullDataAreRefusedWhole) {
    gifSettings = GifSettings{1, 7};
    uint8_t block[16] = {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
    for (int32_t size : {0, 7, 9, 16, -8}) EXPECT_EQ(OnConfigSet(block, size), 0) << size;
    EXPECT_EQ(OnConfigSet(nullptr, 8), 0);
    EXPECT_EQ(gifSettings.useRightHalfAsMask, 1);
    EXPECT_EQ(gifSettings.loopCount, 7);
    EXPECT_EQ(ProbeDebugOutput(), "");
    // A buffer said to be too small is not written at all.
    uint8_t small[8];
    std::memset(small, 0xAA, sizeof small);
    EXPECT_EQ(OnConfigGet(small, 7), 0);
    for (uint8_t b : small) EXPECT_EQ(b, 0xAA);
}

#if !defined(_WIN32)
class Dialog : public Settings {
protected:
    void TearDown() override {
        ResetStandIns();
        Settings::TearDown();
    }
};

TEST_F(Dialog, OpensWithTheStoredValuesAndOkStoresTheEdits) {
    gifSettings = GifSettings{0, -3};
    std::string shown;
    UINT checkedAtOpen = 99;
    SetDialogScript([&](HWND dialog) {
        shown = DialogItemText(dialog, IDC_LOOP_COUNT);
        checkedAtOpen = IsDlgButtonChecked(dialog, IDC_MASK_MODE);
        SetDialogItemText(dialog, IDC_LOOP_COUNT, "12");
        ClickCheckBox(dialog, IDC_MASK_MODE);
        PressDialogButton(dialog, IDOK);
    });
    EXPECT_EQ(OnConfig(nullptr, nullptr), 1);
    EXPECT_EQ(LastDialogTemplate(), "CONFIG");
    EXPECT_EQ(shown, "-3");
    EXPECT_EQ(checkedAtOpen, BST_UNCHECKED);
    EXPECT_EQ(gifSettings.loopCount, 12);
    EXPECT_EQ(gifSettings.useRightHalfAsMask, 1);
    EXPECT_EQ(ProbeDebugOutput(), "_config");
}

TEST_F(Dialog, UnchangedOkKeepsNegativeCountAndFlagFiveBecomesOne) {
    gifSettings = GifSettings{5, -3};
    UINT checkedAtOpen = 99;
    SetDialogScript([&](HWND dialog) {
        checkedAtOpen = IsDlgButtonChecked(dialog, IDC_MASK_MODE);
        PressDialogButton(dialog, IDOK);
    });
    EXPECT_EQ(OnConfig(nullptr, nullptr), 1);
    EXPECT_EQ(checkedAtOpen, BST_CHECKED);
    EXPECT_EQ(gifSettings.loopCount, -3);
    EXPECT_EQ(gifSettings.useRightHalfAsMask, 1);
}

TEST_F(Dialog, TextThatIsNoNumberStoresZeroNotTheEarlierCount) {
    gifSettings = GifSettings{0, 4};
    SetDialogScript([](HWND dialog) {
        SetDialogItemText(dialog, IDC_LOOP_COUNT, "abc");
        PressDialogButton(dialog, IDOK);
    });
    EXPECT_EQ(OnConfig(nullptr, nullptr), 1);
    EXPECT_EQ(gifSettings.loopCount, 0);
}

// The stand-in's GetDlgItemInt reads as the platform's does, which the
// procedure relies on for text that is no number.
TEST_F(Dialog, StandInGetDlgItemIntReadsAsThePlatform) {
    const struct {
        const char* text;
        BOOL isSigned;
        UINT value;
        BOOL translated;
    } cases[] = {
        {"", TRUE, 0, FALSE},           {"abc", TRUE, 0, FALSE},  {"-", TRUE, 0, FALSE},
        {"  12", TRUE, 12, TRUE},       {"-3x", TRUE, static_cast<UINT>(-3), TRUE},
        {"99999999999", TRUE, 0, FALSE}, {"-1", FALSE, 0, FALSE}, {"4294967295", FALSE, 4294967295u, TRUE},
    };
    for (const auto& c : cases) {
        UINT value = 7;
        BOOL translated = 7;
        SetDialogScript([&](HWND dialog) {
            SetDialogItemText(dialog, IDC_LOOP_COUNT, c.text);
            value = GetDlgItemInt(dialog, IDC_LOOP_COUNT, &translated, c.isSigned);
            PressDialogButton(dialog, IDCANCEL);
        });
        OnConfig(nullptr, nullptr);
        EXPECT_EQ(value, c.value) << "'" << c.text << "'";
        EXPECT_EQ(translated, c.translated) << "'" << c.text << "'";
    }
}

TEST_F(Dialog, CancelAndOtherCommandsKeepBoth) {
    gifSettings = GifSettings{1, 9};
    SetDialogScript([](HWND dialog) {
        SetDialogItemText(dialog, IDC_LOOP_COUNT, "55");
        ClickCheckBox(dialog, IDC_MASK_MODE);
        PressDialogButton(dialog, IDC_LOOP_COUNT);  // an edit notification: ignored
        PressDialogButton(dialog, IDCANCEL);
    });
    EXPECT_EQ(OnConfig(nullptr, nullptr), 1);
    EXPECT_EQ(gifSettings.useRightHalfAsMask, 1);
    EXPECT_EQ(gifSettings.loopCount, 9);
    EXPECT_EQ(ProbeDebugOutput(), "_config");
}

TEST_F(Dialog, DialogThatCannotBeCreatedStillAnswersOne) {
    gifSettings = GifSettings{1, 9};
    SetDialogScript(nullptr);
    EXPECT_EQ(OnConfig(nullptr, nullptr), 1);
    EXPECT_EQ(gifSettings.loopCount, 9);
    EXPECT_EQ(ProbeDebugOutput(), "_config");
}

TEST_F(Dialog, ProcedureAnswersOnlyInitDialogWithOne) {
    const struct {
        UINT message;
        WPARAM wParam;
        INT_PTR answer;
    } cases[] = {
        {WM_INITDIALOG, 0, 1},         {WM_COMMAND, IDC_LOOP_COUNT, 0}, {0x0005 /* WM_SIZE */, 0, 0},
        {WM_COMMAND, IDOK, 0},         {WM_COMMAND, IDCANCEL, 0},
    };
    for (const auto& c : cases) {
        INT_PTR answer = -1;
        SetDialogScript([&](HWND dialog) { answer = ConfigDialogProc(dialog, c.message, c.wParam, 0); });
        OnConfig(nullptr, nullptr);
        EXPECT_EQ(answer, c.answer) << c.message << " " << c.wParam;
    }
}
#endif

}  // namespace
