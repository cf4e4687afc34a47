// What the system showed the world during a test: debugger lines and
// message boxes. On Linux read from the stand-ins; on Windows caught by
// patching the test program's own imports, so no test ever blocks on a
// message box.
#pragma once

#include <string>
#include <vector>

struct ShownMessage {
    std::string caption;
    std::string text;  // UTF-8
};

// Starts catching from a clean state, with the image library's layout not
// yet known (Linux: stand-ins reset too).
void ProbeReset();
// Debugger output since the last call, lines run together.
std::string ProbeDebugOutput();
// Message boxes since the last call.
std::vector<ShownMessage> ProbeMessages();
