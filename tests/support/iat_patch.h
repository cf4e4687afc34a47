// Redirecting one imported function of a loaded module, through the
// module's import address table, so that a test can watch or replace what
// the module asks of the platform without touching the platform itself.
#pragma once

#include <windows.h>

// Points the import of FUNCTIONNAME from DLLNAME (compared without regard to
// case, e.g. "kernel32.dll") in MODULE at REPLACEMENT. Returns the address
// that was there before, or null when the module does not import that
// function by name or the entry could not be written.
void* PatchImport(HMODULE module, const char* dllName, const char* functionName, void* replacement);

// The name of every DLL that MODULE's import directory lists, in order.
// Null-terminated pointers into the loaded image; at most CAPACITY names.
int ImportedDllNames(HMODULE module, const char** names, int capacity);
