// Code page 932 to UTF-8 with iconv.
#include "platform/linux/code_page_932.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

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
            out += '?';  // not code page 932: skip the byte
            ++in;
            --inLeft;
        }
    }
    iconv_close(converter);
    return out;
}
