// Debugger output: quiet unless ROZOVE_DEBUG_OUTPUT is set, as on Windows
// nothing shows without a debugger attached. The tests' build keeps the
// lines for the tests to read, or routes them to the catchers of the
// tests that load the module (stand_in_user.cpp).
#include <cstdio>
#include <cstdlib>

#include "platform/linux/stand_in_internal.h"

void OutputDebugStringA(LPCSTR text) {
    if (StandInRoutesDebugLine(text) || text == nullptr) return;
    StandInKeepDebugLine(text);
    if (std::getenv("ROZOVE_DEBUG_OUTPUT") != nullptr) std::fprintf(stderr, "%s\n", text);
}
