// The message box: handed to a handler instead of a window. The module's own
// text is code page 932, so it is converted to UTF-8 for a Linux terminal;
// the caption is the host's path, already in the system's own encoding.
#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/linux/stand_in_control.h"
#include "platform/linux/stand_in_internal.h"

namespace {

void PrintMessage(const std::string& caption, const std::string& text) {
    std::printf("%s\n%s\n", caption.c_str(), text.c_str());
    std::fflush(stdout);
}

MessageBoxHandler handler = PrintMessage;

}  // namespace

std::string CodePage932ToUtf8(const char* text) {
    if (text == nullptr) return std::string();
    iconv_t converter = iconv_open("UTF-8", "CP932");
    if (converter == reinterpret_cast<iconv_t>(-1)) return text;
    std::string out;
    char buffer[256];
    char* in = const_cast<char*>(text);
    size_t inLeft = std::strlen(text);
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t result = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (result == static_cast<size_t>(-1) && errno != E2BIG) {
            out += '?';  // a byte that is not code page 932: skip it
            ++in;
            --inLeft;
        }
    }
    iconv_close(converter);
    return out;
}

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
