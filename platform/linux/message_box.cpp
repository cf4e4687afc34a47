// The message box: handed to a handler instead of a window. The module's own
// text is code page 932, so it is converted to UTF-8 for a Linux terminal;
// the caption is the host's path, already in the system's own encoding.
#include <cstdio>

#include "platform/code_page_932.h"
#include "platform/linux/stand_in_control.h"
#include "platform/linux/stand_in_internal.h"

namespace {

void PrintMessage(const std::string& caption, const std::string& text) {
    std::printf("%s\n%s\n", caption.c_str(), text.c_str());
    std::fflush(stdout);
}

MessageBoxHandler handler = PrintMessage;

}  // namespace

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT) {
    if (handler) handler(caption != nullptr ? caption : "", CodePage932ToUtf8(text));
    return IDOK;
}

void SetMessageBoxHandler(MessageBoxHandler newHandler) {
    handler = std::move(newHandler);
}

void ResetMessageBox() {
    handler = PrintMessage;
}
