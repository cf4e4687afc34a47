// The completion message for users who do not read Japanese. The module's
// text is fixed (its message box shows it as it is); only rozove's copy of
// it is translated, so a text in another shape is passed on untouched.
#include "host/cli/completion_text.h"

#include <cctype>

#include "platform/host_language.h"

namespace {

const char kDone[] = "\n出力しました\n";
const char kFrames[] = " コマ";

// "\nExported\nN frames" for the module's text, or "" when it has another shape.
std::string InEnglish(const std::string& text) {
    const std::string done = kDone;
    const std::string frames = kFrames;
    if (text.compare(0, done.size(), done) != 0) return std::string();
    size_t end = done.size();
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
    const std::string count = text.substr(done.size(), end - done.size());
    if (count.empty() || text.compare(end, frames.size(), frames) != 0) return std::string();
    return "\nExported\n" + count + (count == "1" ? " frame" : " frames") + text.substr(end + frames.size());
}

}  // namespace

std::string ModuleCompletionText(int64_t frames) {
    return kDone + std::to_string(frames) + kFrames + "\n";
}

std::string CompletionText(const std::string& moduleText) {
    const std::string english = UserReadsJapanese() ? std::string() : InEnglish(moduleText);
    return InUserCharset(english.empty() ? moduleText : english);
}
