// The replacement MessageBoxA. The text is the module's own, code page 932;
// the caption is our output path, in the ANSI code page it was given in.
// On a console the UTF-16 text goes to WriteConsoleW, which shows it
// whatever the console's code page; into a pipe or file go UTF-8 bytes.
#include "platform/win32/message_box_win32.h"

#include <cstdio>

#include "platform/code_page_932.h"
#include "platform/win32/import_patch.h"

namespace {

int WINAPI PrintMessageBox(HWND, LPCSTR text, LPCSTR caption, UINT) {
    const std::wstring message = CodePageToWide(CP_ACP, caption) + L"\n" + CodePageToWide(932, text) + L"\n";
    std::fflush(stdout);
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (out != INVALID_HANDLE_VALUE && GetConsoleMode(out, &mode)) {
        DWORD written = 0;
        WriteConsoleW(out, message.data(), static_cast<DWORD>(message.size()), &written, nullptr);
    } else {
        const std::string utf8 = WideToUtf8(message);
        std::fwrite(utf8.data(), 1, utf8.size(), stdout);
        std::fflush(stdout);
    }
    return IDOK;
}

}  // namespace

bool RedirectMessageBox(HMODULE module, std::string* error) {
    const ImportPatch patch =
        PatchImport(module, "user32.dll", "MessageBoxA", reinterpret_cast<void*>(&PrintMessageBox));
    if (patch == ImportPatch::Failed) {
        *error = "cannot redirect the module's MessageBoxA";
        return false;
    }
    return true;
}
