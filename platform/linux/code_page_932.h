// Code page 932 (the host's ANSI code page, in which the module's own texts
// are written) to UTF-8 for a Linux terminal. Shared by the message box
// stand-in and the command-line host.
#pragma once

#include <string>

// A byte that is not valid code page 932 becomes '?'.
std::string CodePage932ToUtf8(const char* text);
