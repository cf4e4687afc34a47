// The completion message on Windows. The module shows it with MessageBoxA,
// which would wait for a click; rozove points the module's import of it at
// a function that prints caption and text as UTF-8 on standard output,
// as the Linux module's stand-in does.
#pragma once

#include <windows.h>

#include <string>

// False, with a reason, only when the import could not be replaced.
bool RedirectMessageBox(HMODULE module, std::string* error);
