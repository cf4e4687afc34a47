// The helper thread, window lookups and a window snapshot.
#include "tests/module/ui_windows.h"

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kForceAfterMs = 20000;

BOOL CALLBACK CloseOne(HWND window, LPARAM) {
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

struct Search {
    const wchar_t* caption;
    DWORD thread;
    HWND found;
};

BOOL CALLBACK MatchOne(HWND window, LPARAM parameter) {
    Search* search = reinterpret_cast<Search*>(parameter);
    wchar_t text[512];
    if (!IsWindowVisible(window) || GetWindowThreadProcessId(window, nullptr) != search->thread) return TRUE;
    if (GetWindowTextW(window, text, 512) > 0 && lstrcmpW(text, search->caption) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CollectStatic(HWND window, LPARAM parameter) {
    wchar_t className[64];
    if (GetClassNameW(window, className, 64) > 0 && lstrcmpiW(className, L"Static") == 0) {
        wchar_t text[1024];
        const int length = GetWindowTextW(window, text, 1024);
        if (length > 0) reinterpret_cast<std::vector<std::wstring>*>(parameter)->push_back(std::wstring(text, length));
    }
    return TRUE;
}

}  // namespace

bool RunWithUser(const std::function<void()>& modal, const std::function<void(DWORD modalThread)>& user) {
    const DWORD modalThread = GetCurrentThreadId();
    std::atomic<bool> modalReturned(false);
    std::atomic<bool> forced(false);
    std::thread helper([&] {
        user(modalThread);
        // The user is done. Anything still open after a grace period is
        // closed by force, again and again, until the modal call returns.
        const DWORD start = GetTickCount();
        while (!modalReturned.load()) {
            if (GetTickCount() - start > kForceAfterMs) {
                forced = true;
                EnumThreadWindows(modalThread, CloseOne, 0);
            }
            Sleep(50);
        }
    });
    modal();
    modalReturned = true;
    helper.join();
    return !forced.load();
}

HWND WaitForWindow(const wchar_t* caption, DWORD thread, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        Search search{caption, thread, nullptr};
        EnumThreadWindows(thread, MatchOne, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) return search.found;
        if (GetTickCount() - start > timeoutMs) return nullptr;
        Sleep(50);
    }
}

std::wstring ControlTextW(HWND window, int id) {
    wchar_t text[1024];
    const UINT length = GetDlgItemTextW(window, id, text, 1024);
    return std::wstring(text, length);
}

std::string ControlTextA(HWND window, int id) {
    char text[1024];
    const UINT length = GetDlgItemTextA(window, id, text, sizeof text);
    return std::string(text, length);
}

std::vector<std::wstring> StaticTexts(HWND window) {
    std::vector<std::wstring> texts;
    EnumChildWindows(window, CollectStatic, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

void ClickButton(HWND window, int id) {
    HWND button = GetDlgItem(window, id);
    if (button != nullptr) SendMessageW(button, BM_CLICK, 0, 0);
}

void PressButton(HWND window, int id) {
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

bool SaveWindowBitmap(HWND window, const std::string& path) {
    RECT frame;
    if (!GetWindowRect(window, &frame)) return false;
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    // What the screen shows where the window is (the window is on top).
    const bool copied = BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY) != 0;
    SelectObject(memory, previous);

    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const DWORD stride = ((3 * static_cast<DWORD>(width) + 3) / 4) * 4;
    std::vector<BYTE> pixels(stride * static_cast<DWORD>(height));
    const bool read = copied && GetDIBits(memory, bitmap, 0, height, pixels.data(),
                                          reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS) == height;
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!read) return false;

    BITMAPFILEHEADER fileHeader = {};
    fileHeader.bfType = 0x4D42;  // "BM"
    fileHeader.bfOffBits = sizeof fileHeader + sizeof header;
    fileHeader.bfSize = fileHeader.bfOffBits + static_cast<DWORD>(pixels.size());
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    std::fwrite(&fileHeader, sizeof fileHeader, 1, file);
    std::fwrite(&header, sizeof header, 1, file);
    std::fwrite(pixels.data(), 1, pixels.size(), file);
    return std::fclose(file) == 0;
}
