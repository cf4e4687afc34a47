// The one import-table patcher (Windows only), on a small image laid out in
// memory as the loader would map it: one DLL with two imports, with and
// without the name table that some linkers leave out. rozove and the module
// tests depend on both cases finding the same entry.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

#include "platform/win32/import_patch.h"

namespace {

// Offsets (RVAs) of the pieces inside the image.
constexpr DWORD kNtHeaders = 0x40;
constexpr DWORD kDescriptors = 0x200;
constexpr DWORD kAddressTable = 0x280;
constexpr DWORD kNameTable = 0x300;
constexpr DWORD kFirstName = 0x340;
constexpr DWORD kSecondName = 0x360;
constexpr DWORD kDllName = 0x400;
constexpr size_t kImageBytes = 0x1000;

void WINAPI StandInSleep(DWORD) {}

class ImportPatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        image = static_cast<BYTE*>(VirtualAlloc(nullptr, kImageBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        ASSERT_NE(image, nullptr);
        HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
        tickCount = reinterpret_cast<void*>(GetProcAddress(kernel32, "GetTickCount"));
        sleep = reinterpret_cast<void*>(GetProcAddress(kernel32, "Sleep"));
        ASSERT_NE(tickCount, nullptr);
        ASSERT_NE(sleep, nullptr);
    }
    void TearDown() override { VirtualFree(image, 0, MEM_RELEASE); }

    // Lays out the image; the name table only when WITHNAMES.
    HMODULE Build(bool withNames) {
        std::memset(image, 0, kImageBytes);
        auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(image);
        dos->e_magic = IMAGE_DOS_SIGNATURE;
        dos->e_lfanew = kNtHeaders;
        auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(image + kNtHeaders);
        nt->Signature = IMAGE_NT_SIGNATURE;
        nt->OptionalHeader.NumberOfRvaAndSizes = IMAGE_NUMBEROF_DIRECTORY_ENTRIES;
        IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        directory.VirtualAddress = kDescriptors;
        directory.Size = 2 * sizeof(IMAGE_IMPORT_DESCRIPTOR);
        auto* descriptor = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(image + kDescriptors);
        descriptor->OriginalFirstThunk = withNames ? kNameTable : 0;
        descriptor->Name = kDllName;
        descriptor->FirstThunk = kAddressTable;
        std::strcpy(reinterpret_cast<char*>(image + kDllName), "KERNEL32.dll");
        Entries()[0] = reinterpret_cast<ULONG_PTR>(tickCount);
        Entries()[1] = reinterpret_cast<ULONG_PTR>(sleep);
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(image + kNameTable);
        names[0].u1.AddressOfData = kFirstName;
        names[1].u1.AddressOfData = kSecondName;
        std::strcpy(reinterpret_cast<char*>(image + kFirstName + 2), "GetTickCount");
        std::strcpy(reinterpret_cast<char*>(image + kSecondName + 2), "Sleep");
        return reinterpret_cast<HMODULE>(image);
    }
    ULONG_PTR* Entries() { return reinterpret_cast<ULONG_PTR*>(image + kAddressTable); }

    BYTE* image = nullptr;
    void* tickCount = nullptr;
    void* sleep = nullptr;
};

TEST_F(ImportPatchTest, FindsTheEntryByTheNameTable) {
    HMODULE module = Build(true);
    void* original = nullptr;
    EXPECT_EQ(PatchImport(module, "kernel32.dll", "Sleep", reinterpret_cast<void*>(StandInSleep), &original),
              ImportPatch::Patched);
    EXPECT_EQ(original, sleep);
    EXPECT_EQ(Entries()[0], reinterpret_cast<ULONG_PTR>(tickCount));
    EXPECT_EQ(Entries()[1], reinterpret_cast<ULONG_PTR>(StandInSleep));
    // And back, as the tests put back what they redirected.
    EXPECT_EQ(PatchImport(module, "kernel32.dll", "Sleep", original), ImportPatch::Patched);
    EXPECT_EQ(Entries()[1], reinterpret_cast<ULONG_PTR>(sleep));
}

TEST_F(ImportPatchTest, WithoutANameTableFindsTheEntryByTheLoadersAddress) {
    HMODULE module = Build(false);
    void* original = nullptr;
    EXPECT_EQ(PatchImport(module, "kernel32.dll", "Sleep", reinterpret_cast<void*>(StandInSleep), &original),
              ImportPatch::Patched);
    EXPECT_EQ(original, sleep);
    EXPECT_EQ(Entries()[0], reinterpret_cast<ULONG_PTR>(tickCount));
    EXPECT_EQ(Entries()[1], reinterpret_cast<ULONG_PTR>(StandInSleep));
}

TEST_F(ImportPatchTest, AFunctionOrDllNotImportedIsSaidSoAndNothingChanges) {
    for (bool withNames : {true, false}) {
        HMODULE module = Build(withNames);
        void* original = reinterpret_cast<void*>(1);
        EXPECT_EQ(PatchImport(module, "kernel32.dll", "Beep", reinterpret_cast<void*>(StandInSleep), &original),
                  ImportPatch::NotImported);
        EXPECT_EQ(original, nullptr);
        EXPECT_EQ(PatchImport(module, "user32.dll", "Sleep", reinterpret_cast<void*>(StandInSleep)),
                  ImportPatch::NotImported);
        EXPECT_EQ(Entries()[0], reinterpret_cast<ULONG_PTR>(tickCount));
        EXPECT_EQ(Entries()[1], reinterpret_cast<ULONG_PTR>(sleep));
    }
}

TEST_F(ImportPatchTest, NotAnImageFails) {
    std::memset(image, 0, kImageBytes);
    EXPECT_EQ(PatchImport(reinterpret_cast<HMODULE>(image), "kernel32.dll", "Sleep", nullptr), ImportPatch::Failed);
    EXPECT_EQ(PatchImport(nullptr, "kernel32.dll", "Sleep", nullptr), ImportPatch::Failed);
}

TEST_F(ImportPatchTest, ListsTheImportedDlls) {
    HMODULE module = Build(true);
    const char* names[4] = {};
    ASSERT_EQ(ImportedDllNames(module, names, 4), 1);
    EXPECT_STREQ(names[0], "KERNEL32.dll");
}

}  // namespace
