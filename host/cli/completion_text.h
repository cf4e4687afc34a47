// The module's completion message in the user's language.
#pragma once

#include <cstdint>
#include <string>

// The module's own text (UTF-8, from after its caption: "\n出力しました\nN
// コマ" and its line end) as the user reads it: as it is where the user's
// locale is Japanese, else the same facts in English ("\nExported\nN
// frames"); either way in the charset of the user's locale.
std::string CompletionText(const std::string& moduleText);

// The module's own text, as above, for a job of FRAMES frames: what one
// job would have said, for a job shared among processes.
std::string ModuleCompletionText(int64_t frames);
