// The user's language on Windows: their interface language. rozove.exe
// prints UTF-8 (and Unicode on a console) itself, so the text stays as it is.
#include "platform/host_language.h"

#include <windows.h>

bool UserReadsJapanese() {
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE;
}

std::string InUserCharset(const std::string& text) {
    return text;
}
