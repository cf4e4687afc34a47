// The modal settings dialog over the "CONFIG" template: the repeat count as
// a signed number and the mask mode as a check box.
#include "settings/dialog_ids.h"
#include "settings/gif_settings.h"
#include "settings/settings_entries.h"

int32_t ROZOVE_CDECL OnConfig(void* ownerWindow, void* moduleInstance) {
    // Whatever closed the dialog, or if it never opened, the host gets 1.
    DialogBoxParamA(static_cast<HINSTANCE>(moduleInstance), "CONFIG", static_cast<HWND>(ownerWindow),
                    ConfigDialogProc, 0);
    // Written however the dialog ended, as "_get" and "_set" are: the line
    // tells someone watching the debugger that the host opened the dialog.
    OutputDebugStringA("_config");
    return 1;
}

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemInt(dialog, IDC_LOOP_COUNT, static_cast<UINT>(gifSettings.loopCount), TRUE);
        CheckDlgButton(dialog, IDC_MASK_MODE, gifSettings.useRightHalfAsMask != 0 ? BST_CHECKED : BST_UNCHECKED);
        return 1;  // the platform sets the initial focus
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            // Text that is not a number reads as 0, which means endless.
            gifSettings.loopCount = static_cast<int32_t>(GetDlgItemInt(dialog, IDC_LOOP_COUNT, nullptr, TRUE));
            gifSettings.useRightHalfAsMask = IsDlgButtonChecked(dialog, IDC_MASK_MODE) == BST_CHECKED ? 1 : 0;
            EndDialog(dialog, IDOK);
            return 0;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return 0;
        default:
            return 0;
        }
    default:
        return 0;
    }
}
