// Replacing one imported function of a loaded module by our own, through
// the module's import address table (Windows only).
#pragma once

#include <windows.h>

enum class ImportPatch {
    Patched,
    NotImported,  // the module does not import that function
    Failed,       // the table entry could not be written
};

// Points every import of FUNCTION from DLL (case-insensitive, e.g.
// "user32.dll") in MODULE at REPLACEMENT.
ImportPatch PatchImport(HMODULE module, const char* dll, const char* function, void* replacement);
