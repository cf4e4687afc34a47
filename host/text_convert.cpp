// Code page 932 to UTF-8 on Windows, with the system's code page tables.
// On Linux the platform's iconv-based conversion serves (code_page_932).
#include "host/text_convert.h"

#if defined(_WIN32)
#include <windows.h>

#include <cstring>

std::string CodePage932ToUtf8(const char* text) {
    if (text == nullptr || text[0] == '\0') return std::string();
    const int length = static_cast<int>(std::strlen(text));
    const int wideLength = MultiByteToWideChar(932, 0, text, length, nullptr, 0);
    if (wideLength <= 0) return text;
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(932, 0, text, length, &wide[0], wideLength);
    const int utf8Length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (utf8Length <= 0) return text;
    std::string utf8(static_cast<size_t>(utf8Length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, &utf8[0], utf8Length, nullptr, nullptr);
    return utf8;
}

#endif
