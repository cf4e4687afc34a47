// An in-memory modal dialog: the dialog procedure gets the same messages it
// would get on Windows, and in the tests' build a script plays the user in
// between (stand_in_user.cpp).
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/linux/stand_in_internal.h"

INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND, DLGPROC procedure, LPARAM initParam) {
    const bool named = reinterpret_cast<uintptr_t>(templateName) > 0xFFFF;
    const std::string name = named ? templateName : std::string();
    // Only the module's own template exists, and only when a user plays it.
    if (!StandInDialogHasUser(name) || name != "CONFIG" || procedure == nullptr) return -1;
    StandInWindow dialog{procedure, {}, {}, false, 0};
    procedure(&dialog, WM_INITDIALOG, 0, initParam);
    StandInPlayDialog(&dialog);
    return dialog.ended ? dialog.result : 0;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    if (dialog == nullptr) return FALSE;
    dialog->ended = true;
    dialog->result = result;
    return TRUE;
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
    dialog->texts[id] = isSigned ? std::to_string(static_cast<int>(value)) : std::to_string(value);
    return TRUE;
}

// Reads like the platform: leading blanks, a sign, digits; whatever follows
// the digits is ignored, and no digits or a number out of range give 0.
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
    if (translated != nullptr) *translated = FALSE;
    const std::string& text = dialog->texts[id];
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(start, &end, 10);
    if (end == start || errno == ERANGE) return 0;
    if (isSigned ? (value < INT_MIN || value > INT_MAX) : (value < 0 || value > static_cast<long long>(UINT_MAX))) {
        return 0;
    }
    if (translated != nullptr) *translated = TRUE;
    return static_cast<UINT>(value);
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    dialog->checks[id] = check;
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    auto found = dialog->checks.find(id);
    return found == dialog->checks.end() ? BST_UNCHECKED : found->second;
}
