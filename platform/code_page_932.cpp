// The code page 932 conversion: the system's tables on Windows, iconv on Linux.
#include "platform/code_page_932.h"

#include <cstring>

#if defined(_WIN32)
#include <windows.h>

std::wstring CodePageToWide(unsigned codePage, const char* text) {
    if (text == nullptr || text[0] == '\0') return std::wstring();
    const int length = static_cast<int>(std::strlen(text));
    const int wideLength = MultiByteToWideChar(codePage, 0, text, length, nullptr, 0);
    if (wideLength <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(codePage, 0, text, length, &wide[0], wideLength);
    return wide;
}

std::string WideToUtf8(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    const int wideLength = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, &utf8[0], length, nullptr, nullptr);
    return utf8;
}

std::string CodePage932ToUtf8(const char* text) {
    if (text == nullptr) return std::string();
    const std::string utf8 = WideToUtf8(CodePageToWide(932, text));
    // Only when the system has no table for code page 932 at all.
    return utf8.empty() ? std::string(text) : utf8;
}

#else
#include <iconv.h>

#include <cerrno>

std::string ConvertText(const std::string& text, const char* from, const char* to) {
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) return text;
    std::string out;
    char buffer[256];
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t result = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (result == static_cast<size_t>(-1) && errno != E2BIG) {
            out += '?';  // not in FROM, or nothing in TO for it: skip the byte
            ++in;
            --inLeft;
        }
    }
    iconv_close(converter);
    return out;
}

std::string CodePage932ToUtf8(const char* text) {
    if (text == nullptr) return std::string();
    return ConvertText(text, "CP932", "UTF-8");
}

#endif
