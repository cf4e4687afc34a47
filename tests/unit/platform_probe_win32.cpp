// Probe on Windows: the test program's import table entries for
// OutputDebugStringA and MessageBoxA are pointed at catchers.
#include <windows.h>

#include <cstring>

#include "gif/frame_encoder.h"
#include "tests/unit/platform_probe.h"

namespace {

std::string debugOutput;
std::vector<ShownMessage> shown;

std::string AnsiToUtf8(const char* text, UINT codePage) {
    if (text == nullptr) return std::string();
    const int wide = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    std::wstring buffer(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(codePage, 0, text, -1, &buffer[0], wide);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, buffer.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, buffer.c_str(), -1, &out[0], bytes, nullptr, nullptr);
    if (!out.empty()) out.pop_back();  // the terminating NUL
    return out;
}

void WINAPI CatchDebugOutput(LPCSTR text) {
    if (text != nullptr) debugOutput += text;
}

int WINAPI CatchMessageBox(HWND, LPCSTR text, LPCSTR caption, UINT) {
    // The module's text is code page 932 whatever the machine's code page is.
    shown.push_back(ShownMessage{caption != nullptr ? caption : "", AnsiToUtf8(text, 932)});
    return IDOK;
}

// Points every import of dll!function in this program at replacement.
void PatchOwnImport(const char* dll, const char* function, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
    for (; import->Name != 0; ++import) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + import->Name), dll) != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
            DWORD old = 0;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
        }
    }
}

}  // namespace

void ProbeReset() {
    // As a freshly loaded module: the library's layout not yet known.
    libraryGifLayout = LibraryGifLayout::Unknown;
    static bool patched = false;
    if (!patched) {
        PatchOwnImport("kernel32.dll", "OutputDebugStringA", reinterpret_cast<void*>(CatchDebugOutput));
        PatchOwnImport("user32.dll", "MessageBoxA", reinterpret_cast<void*>(CatchMessageBox));
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
