// The settings entries of the plug-in table: the 8-byte exchange with the
// host and the modal settings dialog.
#pragma once

#include <cstdint>

#include "platform/win32_api.h"
#include "plugin/host_contract.h"

extern "C" {
int32_t ROZOVE_CDECL OnConfigGet(void* buffer, int32_t size);
int32_t ROZOVE_CDECL OnConfigSet(void* data, int32_t size);
int32_t ROZOVE_CDECL OnConfig(void* ownerWindow, void* moduleInstance);
}

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
