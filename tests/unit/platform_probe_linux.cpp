// Probe over the Linux stand-ins.
#include "gif/frame_encoder.h"
#include "platform/linux/stand_in_control.h"
#include "tests/unit/platform_probe.h"

namespace {

std::vector<ShownMessage> shown;

}  // namespace

void ProbeReset() {
    // As a freshly loaded module: the library's layout not yet known.
    libraryGifLayout = LibraryGifLayout::Unknown;
    ResetStandIns();
    shown.clear();
    SetMessageBoxHandler([](const std::string& caption, const std::string& text) {
        shown.push_back(ShownMessage{caption, text});
    });
}

std::string ProbeDebugOutput() {
    return TakeDebugOutput();
}

std::vector<ShownMessage> ProbeMessages() {
    std::vector<ShownMessage> taken;
    taken.swap(shown);
    return taken;
}
