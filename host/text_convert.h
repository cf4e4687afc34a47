// The module's own texts are code page 932 (the host's ANSI code page);
// rozove prints UTF-8.
#pragma once

#include <string>

// Converts code page 932 text to UTF-8; a byte that is not valid there
// becomes '?'.
std::string CodePage932ToUtf8(const char* text);
