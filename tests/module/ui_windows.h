// Playing the user against real windows: a helper thread finds the modal
// window that the test thread is blocked in, reads and edits it, and closes
// it. Every wait has a limit, and whatever happens the helper keeps closing
// the test thread's windows until its modal call has returned, so a test
// never hangs on a window that did not behave.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Runs MODAL on this thread while USER runs on a helper thread with this
// thread's id. Returns false when the modal call had to be forced closed.
bool RunWithUser(const std::function<void()>& modal, const std::function<void(DWORD modalThread)>& user);

// The visible top-level window of THREAD with this caption, waiting up to
// TIMEOUTMS milliseconds; null when none appears.
HWND WaitForWindow(const wchar_t* caption, DWORD thread, DWORD timeoutMs);

std::wstring ControlTextW(HWND window, int id);
std::string ControlTextA(HWND window, int id);
// Texts of the window's static controls, in child order.
std::vector<std::wstring> StaticTexts(HWND window);
// Presses a button the way a click does; returns when the window has seen it.
void ClickButton(HWND window, int id);
// Sends the command of button ID to the window from outside, as a click
// would, without waiting for the window (for buttons that end a modal loop).
void PressButton(HWND window, int id);

// Writes what WINDOW shows as a 24-bit BMP file.
bool SaveWindowBitmap(HWND window, const std::string& path);
