// The module's start-up notification. Nothing but the debugger line: no
// allocation, no loading, nothing that could fail under the loader lock.
#include "platform/win32_api.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    OutputDebugStringA("DllMain zezodav_odevad");
    return TRUE;
}
