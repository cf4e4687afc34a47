// Text from an input, echoed in a message: control characters shown as
// escapes, so that a carriage return or an escape sequence in a damaged
// header cannot scramble the terminal. Other bytes (UTF-8 names) stay.
#pragma once

#include <string>

// "\r" for CR, "\n", "\t", "\e" for ESC, "\xNN" for the other control
// bytes (0x00-0x1f and 0x7f). Backslashes stay, for Windows paths.
std::string Printable(const std::string& text);
