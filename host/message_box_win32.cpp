// The replacement MessageBoxA. The text is the module's own, code page 932;
// the caption is our output path, in the ANSI code page it was given in.
// On a console the UTF-16 text goes to WriteConsoleW, which shows it
// whatever the console's code page; into a pipe or file go UTF-8 bytes.
#include "host/message_box_win32.h"

#include <cstdio>
#include <cstring>

#include "host/import_patch_win32.h"

namespace {

std::wstring ToWide(UINT codePage, const char* text) {
    if (text == nullptr || text[0] == '\0') return std::wstring();
    const int length = static_cast<int>(std::strlen(text));
    const int wideLength = MultiByteToWideChar(codePage, 0, text, length, nullptr, 0);
    if (wideLength <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(codePage, 0, text, length, &wide[0], wideLength);
    return wide;
}

std::string ToUtf8(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                           nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &utf8[0], length, nullptr, nullptr);
    return utf8;
}

int WINAPI PrintMessageBox(HWND, LPCSTR text, LPCSTR caption, UINT) {
    const std::wstring message = ToWide(CP_ACP, caption) + L"\n" + ToWide(932, text) + L"\n";
    std::fflush(stdout);
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (out != INVALID_HANDLE_VALUE && GetConsoleMode(out, &mode)) {
        DWORD written = 0;
        WriteConsoleW(out, message.data(), static_cast<DWORD>(message.size()), &written, nullptr);
    } else {
        const std::string utf8 = ToUtf8(message);
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
