// The Windows module's file checked on Linux without running it: a 32-bit
// DLL whose exports are the two entries by name and ordinal, which imports
// only DLLs every Windows has, and which carries the "CONFIG" template and
// the manifest. The file's path comes in ROZOVE_MODULE_FILE.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "tests/module/config_template.h"
#include "tests/module/pe_image.h"

namespace {

class ModuleFile : public ::testing::Test {
protected:
    void SetUp() override {
        const char* path = std::getenv("ROZOVE_MODULE_FILE");
        ASSERT_NE(path, nullptr) << "set ROZOVE_MODULE_FILE to the .auo to check";
        std::string error;
        ASSERT_TRUE(LoadPeImage(path, &image, &error)) << error;
    }
    PeImage image;
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

const PeImport* ImportOf(const std::vector<PeImport>& imports, const char* dll) {
    for (const PeImport& import : imports) {
        if (Lower(import.dll) == dll) return &import;
    }
    return nullptr;
}

}  // namespace

TEST_F(ModuleFile, IsA32BitDll) {
    EXPECT_EQ(image.machine, 0x014C);                // i386
    EXPECT_NE(image.characteristics & 0x2000, 0);    // a DLL
    EXPECT_EQ(image.optionalMagic, 0x10B);           // PE32
}

TEST_F(ModuleFile, ExportsTheTwoEntriesByNameAndOrdinal) {
    const std::vector<PeExport> exports = Exports(image);
    ASSERT_EQ(exports.size(), 2u);
    EXPECT_EQ(exports[0].ordinal, 1u);
    EXPECT_EQ(exports[0].name, "GetOutputPluginTable");
    EXPECT_EQ(exports[1].ordinal, 2u);
    EXPECT_EQ(exports[1].name, "DllMain");
    for (const PeExport& entry : exports) {
        const PeImage::Section* section = SectionOf(image, entry.address);
        ASSERT_NE(section, nullptr) << entry.name;
        EXPECT_NE(section->flags & 0x20000000u, 0u) << entry.name << " is not code";  // executable
    }
    EXPECT_NE(exports[0].address, exports[1].address);
}

TEST_F(ModuleFile, ImportsOnlySystemDlls) {
    const std::vector<PeImport> imports = Imports(image);
    ASSERT_FALSE(imports.empty());
    static const char* const kSystem[] = {"kernel32.dll", "user32.dll", "gdiplus.dll", "ole32.dll", "msvcrt.dll"};
    for (const PeImport& import : imports) {
        const std::string dll = Lower(import.dll);
        EXPECT_TRUE(std::find(std::begin(kSystem), std::end(kSystem), dll) != std::end(kSystem))
            << import.dll << " is not a system DLL";
    }
}

TEST_F(ModuleFile, ImportsThePlatformFunctionsItUses) {
    const std::vector<PeImport> imports = Imports(image);
    const struct {
        const char* dll;
        std::vector<std::string> functions;
    } needed[] = {
        {"kernel32.dll", {"GlobalAlloc", "GlobalFree", "Sleep", "OutputDebugStringA"}},
        {"user32.dll",
         {"DialogBoxParamA", "EndDialog", "SetDlgItemInt", "GetDlgItemInt", "CheckDlgButton", "IsDlgButtonChecked",
          "MessageBoxA"}},
        {"ole32.dll", {"CreateStreamOnHGlobal"}},
        {"gdiplus.dll",
         {"GdiplusStartup", "GdiplusShutdown", "GdipCreateBitmapFromScan0", "GdipSetImagePalette",
          "GdipGetImageEncodersSize", "GdipGetImageEncoders", "GdipSaveImageToStream", "GdipDisposeImage"}},
    };
    for (const auto& want : needed) {
        const PeImport* import = ImportOf(imports, want.dll);
        ASSERT_NE(import, nullptr) << want.dll;
        for (const std::string& function : want.functions) {
            EXPECT_TRUE(std::find(import->functions.begin(), import->functions.end(), function) != import->functions.end())
                << want.dll << " " << function;
        }
    }
}

TEST_F(ModuleFile, CarriesTheConfigTemplateInUsEnglish) {
    std::vector<uint8_t> data;
    ASSERT_TRUE(FindPeResource(image, 5, u"CONFIG", 0, 1033, &data));  // RT_DIALOG
    ExpectConfigTemplate(data.data(), data.size());
}

TEST_F(ModuleFile, CarriesTheManifestAsResource24Id2) {
    std::vector<uint8_t> data;
    ASSERT_TRUE(FindPeResource(image, 24, std::u16string(), 2, 1033, &data));  // RT_MANIFEST
    ExpectManifest(data.data(), data.size());
}
