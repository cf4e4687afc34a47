// The loaded Windows module's image: its exports by name and by ordinal,
// the DLLs its import directory names, and the dialog template and
// manifest as the resource loader hands them out.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/module/config_template.h"
#include "tests/module/module_under_test.h"
#include "platform/win32/import_patch.h"

namespace {

HMODULE Module() {
    return static_cast<HMODULE>(TheModule().handle);
}

// The bytes of one resource of the module in US English.
std::vector<uint8_t> Resource(LPCSTR type, LPCSTR name) {
    HRSRC found = FindResourceExA(Module(), type, name, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (found == nullptr) return {};
    HGLOBAL loaded = LoadResource(Module(), found);
    const uint8_t* bytes = static_cast<const uint8_t*>(LockResource(loaded));
    if (bytes == nullptr) return {};
    return std::vector<uint8_t>(bytes, bytes + SizeofResource(Module(), found));
}

}  // namespace

TEST(ModuleImage, OrdinalsOneAndTwoAreTheNamedExports) {
    ASSERT_NE(Module(), nullptr);
    FARPROC table = GetProcAddress(Module(), "GetOutputPluginTable");
    FARPROC dllMain = GetProcAddress(Module(), "DllMain");
    ASSERT_NE(table, nullptr);
    ASSERT_NE(dllMain, nullptr);
    EXPECT_NE(table, dllMain);
    EXPECT_EQ(GetProcAddress(Module(), MAKEINTRESOURCEA(1)), table);
    EXPECT_EQ(GetProcAddress(Module(), MAKEINTRESOURCEA(2)), dllMain);
    EXPECT_EQ(GetProcAddress(Module(), MAKEINTRESOURCEA(3)), nullptr);
    // The stdcall decoration does not leak into the export names.
    EXPECT_EQ(GetProcAddress(Module(), "DllMain@12"), nullptr);
    EXPECT_EQ(GetProcAddress(Module(), "_DllMain@12"), nullptr);
}

TEST(ModuleImage, ImportsOnlyDllsEveryWindowsHas) {
    ASSERT_NE(Module(), nullptr);
    const char* names[64];
    const int count = ImportedDllNames(Module(), names, 64);
    ASSERT_GT(count, 0);
    static const char* const kSystem[] = {"kernel32.dll", "user32.dll", "gdiplus.dll", "ole32.dll", "msvcrt.dll"};
    for (int i = 0; i < count; ++i) {
        bool known = false;
        for (const char* system : kSystem) known = known || lstrcmpiA(names[i], system) == 0;
        EXPECT_TRUE(known) << names[i] << " is not a system DLL";
    }
}

TEST(ModuleImage, ConfigTemplateFieldByField) {
    const std::vector<uint8_t> bytes = Resource(MAKEINTRESOURCEA(5), "CONFIG");  // RT_DIALOG
    ASSERT_FALSE(bytes.empty()) << "no CONFIG dialog in language 1033";
    ExpectConfigTemplate(bytes.data(), bytes.size());
}

TEST(ModuleImage, ManifestAsksForTheInvokersRights) {
    const std::vector<uint8_t> bytes = Resource(MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(2));  // RT_MANIFEST
    ASSERT_FALSE(bytes.empty()) << "no manifest with id 2";
    ExpectManifest(bytes.data(), bytes.size());
}
