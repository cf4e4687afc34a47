// The message box: printed instead of shown in a window (or handed to a
// test, stand_in_user.cpp). The module's own text is code page 932, so it
// is converted to UTF-8 for a Linux terminal; the caption is the host's
// path, already in the system's own encoding.
#include <cstdio>

#include "platform/code_page_932.h"
#include "platform/linux/stand_in_internal.h"

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    int answer = IDOK;
    if (StandInRoutesMessageBox(owner, text, caption, type, &answer)) return answer;
    StandInShowMessage(caption != nullptr ? caption : "", CodePage932ToUtf8(text));
    return IDOK;
}

void StandInPrintMessage(const std::string& caption, const std::string& text) {
    std::printf("%s\n%s\n", caption.c_str(), text.c_str());
    std::fflush(stdout);
}
