// The user's language and the charset their terminal reads, for rozove's
// one message with a Japanese original: the module's completion message.
// One file for POSIX (the locale's environment) and one for Windows (the
// user's interface language).
#pragma once

#include <string>

// Whether the user asked for Japanese messages: on POSIX the first of
// LC_ALL, LC_MESSAGES and LANG that is set names a Japanese locale ("ja",
// "ja_JP.UTF-8", "ja_JP.eucJP").
bool UserReadsJapanese();

// UTF-8 TEXT in the charset of the user's locale (LC_ALL, LC_CTYPE, LANG
// on POSIX), as their terminal shows it; a character that charset lacks
// becomes '?'. Unchanged on Windows, where rozove prints UTF-8 itself.
std::string InUserCharset(const std::string& text);
