// Code page 932 (the host application's ANSI code page, in which the module's
// own texts are written) to UTF-8. One conversion for every program that
// shows those texts: the Linux message box stand-in, rozove's `info` and
// message box on Windows, and the unit tests' message box catcher. On
// Windows it uses the system's code page tables, on Linux iconv.
#pragma once

#include <string>

// A byte that is not valid code page 932 becomes '?' (Linux) or the
// system's replacement character (Windows).
std::string CodePage932ToUtf8(const char* text);

#if !defined(_WIN32)
// TEXT from the charset FROM to the charset TO (iconv's names); a byte
// that cannot be converted becomes '?', TEXT itself where iconv knows no
// such conversion.
std::string ConvertText(const std::string& text, const char* from, const char* to);
#endif

#if defined(_WIN32)
// The steps of that conversion, for text that goes to a console as UTF-16
// (WriteConsoleW) or comes in another code page (CP_ACP for paths).
std::wstring CodePageToWide(unsigned codePage, const char* text);
std::string WideToUtf8(const std::wstring& wide);
#endif
