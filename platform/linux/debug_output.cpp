// Debugger output kept for tests to read, quiet unless ROZOVE_DEBUG_OUTPUT
// is set, as on Windows nothing shows without a debugger attached; or, for
// tests of the loaded module, routed to their catchers line by line.
#include <cstdio>
#include <cstdlib>

#include "platform/linux/stand_in_control.h"
#include "platform/linux/stand_in_internal.h"

namespace {

constexpr size_t kKeep = 1 << 20;  // a host may call for ever; keep the last MiB
std::string collected;
StandInDebugSink sink = nullptr;

}  // namespace

void OutputDebugStringA(LPCSTR text) {
    if (sink != nullptr) {
        sink(text);
        return;
    }
    if (text == nullptr) return;
    collected += text;
    if (collected.size() > kKeep) collected.erase(0, collected.size() - kKeep);
    if (std::getenv("ROZOVE_DEBUG_OUTPUT") != nullptr) std::fprintf(stderr, "%s\n", text);
}

std::string TakeDebugOutput() {
    std::string taken;
    taken.swap(collected);
    return taken;
}

void ResetDebugOutput() {
    collected.clear();
}

void RouteStandInOutput(StandInDebugSink debugSink, StandInMessageBoxSink messageBoxSink) {
    sink = debugSink;
    SetMessageBoxSink(messageBoxSink);
}

