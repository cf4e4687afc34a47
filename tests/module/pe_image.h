// A reader of 32-bit PE files as they lie on disk, for checking the
// Windows module without running it: sections, exports, imports and
// resources.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PeImage {
    std::vector<uint8_t> file;
    uint16_t machine = 0;
    uint16_t characteristics = 0;
    uint16_t optionalMagic = 0;
    struct Section {
        std::string name;
        uint32_t address, virtualSize, fileOffset, fileSize, flags;
    };
    std::vector<Section> sections;
    uint32_t directoryAddress[16] = {0};
    uint32_t directorySize[16] = {0};
};

bool LoadPeImage(const std::string& path, PeImage* image, std::string* error);
// BYTES bytes at relative virtual address RVA, or null when they are not
// all in the file.
const uint8_t* AtAddress(const PeImage& image, uint32_t rva, size_t bytes);
const PeImage::Section* SectionOf(const PeImage& image, uint32_t rva);

struct PeExport {
    std::string name;  // empty for an export by ordinal only
    uint32_t ordinal;
    uint32_t address;
};
std::vector<PeExport> Exports(const PeImage& image);

struct PeImport {
    std::string dll;
    std::vector<std::string> functions;  // "#N" for an import by ordinal
};
std::vector<PeImport> Imports(const PeImage& image);

// The data of the resource of TYPE (an id) with NAME (a string, or an id
// when NAME is empty) in LANGUAGE; false when there is none.
bool FindPeResource(const PeImage& image, uint16_t type, const std::u16string& name, uint16_t id, uint16_t language,
                    std::vector<uint8_t>* data);
