// Probe on Windows: the test program's import table entries for
// OutputDebugStringA and MessageBoxA are pointed at catchers.
#include <windows.h>

#include "platform/code_page_932.h"
#include "platform/win32/import_patch.h"
#include "tests/unit/platform_probe.h"

namespace {

std::string debugOutput;
std::vector<ShownMessage> shown;

void WINAPI CatchDebugOutput(LPCSTR text) {
    if (text != nullptr) debugOutput += text;
}

int WINAPI CatchMessageBox(HWND, LPCSTR text, LPCSTR caption, UINT) {
    // The module's text is code page 932 whatever the machine's code page is.
    shown.push_back(ShownMessage{caption != nullptr ? caption : "", CodePage932ToUtf8(text)});
    return IDOK;
}

}  // namespace

void ProbeReset() {
    static bool patched = false;
    if (!patched) {
        HMODULE self = GetModuleHandleA(nullptr);
        PatchImport(self, "kernel32.dll", "OutputDebugStringA", reinterpret_cast<void*>(CatchDebugOutput));
        PatchImport(self, "user32.dll", "MessageBoxA", reinterpret_cast<void*>(CatchMessageBox));
        patched = true;
    }
    debugOutput.clear();
    shown.clear();
}

std::string ProbeDebugOutput() {
    std::string taken;
    taken.swap(debugOutput);
    return taken;
}

std::vector<ShownMessage> ProbeMessages() {
    std::vector<ShownMessage> taken;
    taken.swap(shown);
    return taken;
}
