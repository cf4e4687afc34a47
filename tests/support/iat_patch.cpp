// Import table walking over a module as the loader mapped it: every RVA is
// an offset from the module's base address.
#include "tests/support/iat_patch.h"

#include <cstring>

namespace {

const IMAGE_IMPORT_DESCRIPTOR* FirstImport(HMODULE module) {
    if (module == nullptr) return nullptr;
    const BYTE* base = reinterpret_cast<const BYTE*>(module);
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE) return nullptr;
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0 || directory.Size == 0) return nullptr;
    return reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
}

bool WriteEntry(void** entry, void* value) {
    DWORD oldProtection = 0;
    if (!VirtualProtect(entry, sizeof *entry, PAGE_READWRITE, &oldProtection)) return false;
    *entry = value;
    DWORD ignored = 0;
    VirtualProtect(entry, sizeof *entry, oldProtection, &ignored);
    FlushInstructionCache(GetCurrentProcess(), entry, sizeof *entry);
    return true;
}

}  // namespace

void* PatchImport(HMODULE module, const char* dllName, const char* functionName, void* replacement) {
    const BYTE* base = reinterpret_cast<const BYTE*>(module);
    const IMAGE_IMPORT_DESCRIPTOR* import = FirstImport(module);
    if (import == nullptr) return nullptr;
    for (; import->Name != 0; ++import) {
        const char* name = reinterpret_cast<const char*>(base + import->Name);
        if (lstrcmpiA(name, dllName) != 0) continue;
        // The name table says which slot is which; without one (a bound
        // image) the slots cannot be told apart by name.
        if (import->OriginalFirstThunk == 0) continue;
        const IMAGE_THUNK_DATA* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
        IMAGE_THUNK_DATA* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(const_cast<BYTE*>(base) + import->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const IMAGE_IMPORT_BY_NAME* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), functionName) != 0) continue;
            void** entry = reinterpret_cast<void**>(&slots->u1.Function);
            void* original = *entry;
            return WriteEntry(entry, replacement) ? original : nullptr;
        }
    }
    return nullptr;
}

int ImportedDllNames(HMODULE module, const char** names, int capacity) {
    const BYTE* base = reinterpret_cast<const BYTE*>(module);
    const IMAGE_IMPORT_DESCRIPTOR* import = FirstImport(module);
    int count = 0;
    for (; import != nullptr && import->Name != 0 && count < capacity; ++import) {
        names[count++] = reinterpret_cast<const char*>(base + import->Name);
    }
    return count;
}
