// The user's language and charset on POSIX, from the locale's environment
// variables as setlocale reads them, without changing rozove's own locale
// (its numbers stay in the C locale's form).
#include "platform/host_language.h"

#include <langinfo.h>
#include <locale.h>

#include <strings.h>

#include <cstdlib>
#include <string>

#include "platform/code_page_932.h"

namespace {

// The locale that CATEGORY's variable names, as setlocale(CATEGORY, "") would take it.
std::string LocaleOf(const char* category) {
    for (const char* variable : {"LC_ALL", category, "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && value[0] != '\0') return value;
    }
    return "C";
}

// The charset of locale NAME; for a locale this system lacks, the one its
// name gives ("ja_JP.eucJP"), else UTF-8, which the message already is.
std::string CharsetOf(const std::string& name) {
    locale_t locale = newlocale(LC_CTYPE_MASK, name.c_str(), static_cast<locale_t>(0));
    if (locale != static_cast<locale_t>(0)) {
        const std::string charset = nl_langinfo_l(CODESET, locale);
        freelocale(locale);
        return charset;
    }
    const size_t dot = name.find('.');
    if (dot == std::string::npos) return "UTF-8";
    return name.substr(dot + 1, name.find('@', dot) - dot - 1);
}

bool IsUtf8(const std::string& charset) {
    return strcasecmp(charset.c_str(), "UTF-8") == 0 || strcasecmp(charset.c_str(), "utf8") == 0;
}

}  // namespace

bool UserReadsJapanese() {
    const std::string name = LocaleOf("LC_MESSAGES");
    return name.compare(0, 2, "ja") == 0 && (name.size() == 2 || name[2] == '_' || name[2] == '.');
}

std::string InUserCharset(const std::string& text) {
    const std::string charset = CharsetOf(LocaleOf("LC_CTYPE"));
    return IsUtf8(charset) ? text : ConvertText(text, "UTF-8", charset.c_str());
}
