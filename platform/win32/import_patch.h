// Redirecting one imported function of a loaded module through its import
// address table (Windows only). rozove uses it to print the module's
// completion message instead of showing a message box; the tests use it to
// watch or replace what the module asks of the platform (debugger lines,
// message boxes, GDI+) without touching the platform itself. The module
// itself never links it.
#pragma once

#include <windows.h>

enum class ImportPatch {
    Patched,
    NotImported,  // the module does not import that function
    Failed,       // not a loaded image, or a table entry could not be written
};

// Points every import of FUNCTION from DLL (compared without regard to
// case, e.g. "user32.dll") in MODULE at REPLACEMENT. When ORIGINAL is given
// it receives what the first such entry held before (null when none was
// patched), so that a caller can forward to it or put it back.
ImportPatch PatchImport(HMODULE module, const char* dll, const char* function, void* replacement,
                        void** original = nullptr);

// The name of every DLL that MODULE's import directory lists, in order:
// pointers into the loaded image, at most CAPACITY of them.
int ImportedDllNames(HMODULE module, const char** names, int capacity);
