// The module's completion message in the user's language.
#pragma once

#include <string>

// The module's own text (UTF-8, from after its caption: "\n出力しました\nN
// コマ" and its line end) as the user reads it: as it is where the user's
// locale is Japanese, else the same facts in English ("\nExported\nN
// frames"); either way in the charset of the user's locale.
std::string CompletionText(const std::string& moduleText);
