// The PE import walk over a module as the loader mapped it (every RVA an
// offset from the base address): the optional header's import directory
// lists one descriptor per DLL; each has a name table (OriginalFirstThunk)
// and the address table (FirstThunk) the loader filled in, entry for entry.
// When a linker left no name table, the entry is found by the address the
// loader put there instead.
#include "platform/win32/import_patch.h"

#include <cstring>

namespace {

const BYTE* At(HMODULE module, DWORD rva) {
    return reinterpret_cast<const BYTE*>(module) + rva;
}

// The first import descriptor, or null when MODULE is not an image or
// imports nothing; *VALID says which.
const IMAGE_IMPORT_DESCRIPTOR* FirstImport(HMODULE module, bool* valid) {
    *valid = false;
    if (module == nullptr) return nullptr;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(At(module, static_cast<DWORD>(dos->e_lfanew)));
    if (nt->Signature != IMAGE_NT_SIGNATURE) return nullptr;
    *valid = true;
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0 || directory.Size == 0) return nullptr;
    return reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(At(module, directory.VirtualAddress));
}

bool WriteEntry(IMAGE_THUNK_DATA* entry, void* replacement) {
    DWORD oldProtection = 0;
    if (!VirtualProtect(&entry->u1.Function, sizeof entry->u1.Function, PAGE_READWRITE, &oldProtection)) {
        return false;
    }
    entry->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
    DWORD ignored = 0;
    VirtualProtect(&entry->u1.Function, sizeof entry->u1.Function, oldProtection, &ignored);
    FlushInstructionCache(GetCurrentProcess(), &entry->u1.Function, sizeof entry->u1.Function);
    return true;
}

bool NamesFunction(HMODULE module, const IMAGE_THUNK_DATA* name, const char* function) {
    if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) return false;
    const auto* byName =
        reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(At(module, static_cast<DWORD>(name->u1.AddressOfData)));
    return std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0;
}

}  // namespace

ImportPatch PatchImport(HMODULE module, const char* dll, const char* function, void* replacement,
                        void** original) {
    if (original != nullptr) *original = nullptr;
    bool valid = false;
    const IMAGE_IMPORT_DESCRIPTOR* descriptor = FirstImport(module, &valid);
    if (!valid) return ImportPatch::Failed;
    if (descriptor == nullptr) return ImportPatch::NotImported;

    HMODULE loadedDll = GetModuleHandleA(dll);
    const FARPROC current = loadedDll != nullptr ? GetProcAddress(loadedDll, function) : nullptr;
    ImportPatch outcome = ImportPatch::NotImported;
    for (; descriptor->Name != 0; ++descriptor) {
        if (lstrcmpiA(reinterpret_cast<const char*>(At(module, descriptor->Name)), dll) != 0) continue;
        auto* entry = reinterpret_cast<IMAGE_THUNK_DATA*>(const_cast<BYTE*>(At(module, descriptor->FirstThunk)));
        const auto* name = descriptor->OriginalFirstThunk != 0
                               ? reinterpret_cast<const IMAGE_THUNK_DATA*>(At(module, descriptor->OriginalFirstThunk))
                               : nullptr;
        for (; entry->u1.Function != 0; ++entry) {
            const bool match = name != nullptr
                                   ? NamesFunction(module, name, function)
                                   : (current != nullptr && entry->u1.Function == reinterpret_cast<ULONG_PTR>(current));
            if (name != nullptr) ++name;
            if (!match) continue;
            void* before = reinterpret_cast<void*>(entry->u1.Function);
            if (!WriteEntry(entry, replacement)) return ImportPatch::Failed;
            if (original != nullptr && outcome != ImportPatch::Patched) *original = before;
            outcome = ImportPatch::Patched;
        }
    }
    return outcome;
}

int ImportedDllNames(HMODULE module, const char** names, int capacity) {
    bool valid = false;
    const IMAGE_IMPORT_DESCRIPTOR* descriptor = FirstImport(module, &valid);
    int count = 0;
    for (; descriptor != nullptr && descriptor->Name != 0 && count < capacity; ++descriptor) {
        names[count++] = reinterpret_cast<const char*>(At(module, descriptor->Name));
    }
    return count;
}
