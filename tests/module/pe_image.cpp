// PE reading: DOS header -> PE signature -> file header -> optional header
// (PE32) with its data directories -> section table. Every offset is
// checked against the file before it is read.
#include "tests/module/pe_image.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int kExportDirectory = 0;
constexpr int kImportDirectory = 1;
constexpr int kResourceDirectory = 2;

uint16_t Word(const uint8_t* at) {
    return static_cast<uint16_t>(at[0] | at[1] << 8);
}
uint32_t Dword(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
           static_cast<uint32_t>(at[3]) << 24;
}

std::string TextAt(const PeImage& image, uint32_t rva) {
    std::string text;
    for (;; ++rva) {
        const uint8_t* c = AtAddress(image, rva, 1);
        if (c == nullptr || *c == 0) return text;
        text += static_cast<char>(*c);
    }
}

// One resource directory level: the entry whose key matches, as the
// offset of its subdirectory or data entry (high bit: a subdirectory).
bool FindEntry(const PeImage& image, uint32_t directory, const std::u16string& name, uint16_t id, uint32_t* target) {
    const uint32_t base = image.directoryAddress[kResourceDirectory];
    const uint8_t* header = AtAddress(image, base + directory, 16);
    if (header == nullptr) return false;
    const unsigned named = Word(header + 12);
    const unsigned numbered = Word(header + 14);
    for (unsigned i = 0; i < named + numbered; ++i) {
        const uint8_t* entry = AtAddress(image, base + directory + 16 + 8 * i, 8);
        if (entry == nullptr) return false;
        const uint32_t key = Dword(entry);
        bool match;
        if (key & 0x80000000u) {
            const uint8_t* length = AtAddress(image, base + (key & 0x7FFFFFFFu), 2);
            if (length == nullptr) return false;
            const uint8_t* chars = AtAddress(image, base + (key & 0x7FFFFFFFu) + 2, 2u * Word(length));
            if (chars == nullptr) return false;
            std::u16string text;
            for (unsigned c = 0; c < Word(length); ++c) text.push_back(static_cast<char16_t>(Word(chars + 2 * c)));
            match = !name.empty() && text == name;
        } else {
            match = name.empty() && key == id;
        }
        if (match) {
            *target = Dword(entry + 4);
            return true;
        }
    }
    return false;
}

}  // namespace

bool LoadPeImage(const std::string& path, PeImage* image, std::string* error) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        *error = "cannot open " + path;
        return false;
    }
    uint8_t buffer[65536];
    size_t got;
    image->file.clear();
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) image->file.insert(image->file.end(), buffer, buffer + got);
    std::fclose(file);

    const std::vector<uint8_t>& bytes = image->file;
    if (bytes.size() < 64 || bytes[0] != 'M' || bytes[1] != 'Z') {
        *error = "no DOS header";
        return false;
    }
    const uint32_t pe = Dword(&bytes[60]);
    if (pe + 24 > bytes.size() || std::memcmp(&bytes[pe], "PE\0\0", 4) != 0) {
        *error = "no PE signature";
        return false;
    }
    image->machine = Word(&bytes[pe + 4]);
    const unsigned sectionCount = Word(&bytes[pe + 6]);
    const unsigned optionalSize = Word(&bytes[pe + 20]);
    image->characteristics = Word(&bytes[pe + 22]);
    const size_t optional = pe + 24;
    if (optional + optionalSize > bytes.size() || optionalSize < 96) {
        *error = "optional header cut short";
        return false;
    }
    image->optionalMagic = Word(&bytes[optional]);
    if (image->optionalMagic != 0x10B) {
        *error = "not a PE32 image";
        return false;
    }
    const unsigned directories = Dword(&bytes[optional + 92]);
    for (unsigned i = 0; i < directories && i < 16 && 96 + 8 * i + 8 <= optionalSize; ++i) {
        image->directoryAddress[i] = Dword(&bytes[optional + 96 + 8 * i]);
        image->directorySize[i] = Dword(&bytes[optional + 100 + 8 * i]);
    }
    const size_t table = optional + optionalSize;
    if (table + 40 * sectionCount > bytes.size()) {
        *error = "section table cut short";
        return false;
    }
    image->sections.clear();
    for (unsigned i = 0; i < sectionCount; ++i) {
        const uint8_t* s = &bytes[table + 40 * i];
        PeImage::Section section;
        section.name.assign(reinterpret_cast<const char*>(s), strnlen(reinterpret_cast<const char*>(s), 8));
        section.virtualSize = Dword(s + 8);
        section.address = Dword(s + 12);
        section.fileSize = Dword(s + 16);
        section.fileOffset = Dword(s + 20);
        section.flags = Dword(s + 36);
        image->sections.push_back(section);
    }
    return true;
}

const PeImage::Section* SectionOf(const PeImage& image, uint32_t rva) {
    for (const PeImage::Section& section : image.sections) {
        const uint32_t span = section.virtualSize > section.fileSize ? section.virtualSize : section.fileSize;
        if (rva >= section.address && rva - section.address < span) return &section;
    }
    return nullptr;
}

const uint8_t* AtAddress(const PeImage& image, uint32_t rva, size_t bytes) {
    const PeImage::Section* section = SectionOf(image, rva);
    if (section == nullptr) return nullptr;
    const uint64_t inSection = rva - section->address;
    if (inSection + bytes > section->fileSize) return nullptr;
    const uint64_t offset = section->fileOffset + inSection;
    if (offset + bytes > image.file.size()) return nullptr;
    return image.file.data() + offset;
}

std::vector<PeExport> Exports(const PeImage& image) {
    std::vector<PeExport> exports;
    const uint8_t* directory = AtAddress(image, image.directoryAddress[kExportDirectory], 40);
    if (image.directoryAddress[kExportDirectory] == 0 || directory == nullptr) return exports;
    const uint32_t base = Dword(directory + 16);
    const uint32_t functionCount = Dword(directory + 20);
    const uint32_t nameCount = Dword(directory + 24);
    const uint32_t functions = Dword(directory + 28);
    const uint32_t names = Dword(directory + 32);
    const uint32_t ordinals = Dword(directory + 36);
    for (uint32_t i = 0; i < functionCount; ++i) {
        const uint8_t* address = AtAddress(image, functions + 4 * i, 4);
        if (address == nullptr || Dword(address) == 0) continue;
        PeExport entry{std::string(), base + i, Dword(address)};
        for (uint32_t n = 0; n < nameCount; ++n) {
            const uint8_t* index = AtAddress(image, ordinals + 2 * n, 2);
            const uint8_t* name = AtAddress(image, names + 4 * n, 4);
            if (index != nullptr && name != nullptr && Word(index) == i) entry.name = TextAt(image, Dword(name));
        }
        exports.push_back(entry);
    }
    return exports;
}

std::vector<PeImport> Imports(const PeImage& image) {
    std::vector<PeImport> imports;
    if (image.directoryAddress[kImportDirectory] == 0) return imports;
    for (uint32_t at = image.directoryAddress[kImportDirectory];; at += 20) {
        const uint8_t* descriptor = AtAddress(image, at, 20);
        if (descriptor == nullptr || Dword(descriptor + 12) == 0) break;
        PeImport import;
        import.dll = TextAt(image, Dword(descriptor + 12));
        uint32_t thunk = Dword(descriptor) != 0 ? Dword(descriptor) : Dword(descriptor + 16);
        for (;; thunk += 4) {
            const uint8_t* entry = AtAddress(image, thunk, 4);
            if (entry == nullptr || Dword(entry) == 0) break;
            const uint32_t value = Dword(entry);
            if (value & 0x80000000u) {
                import.functions.push_back("#" + std::to_string(value & 0xFFFF));
            } else {
                import.functions.push_back(TextAt(image, value + 2));  // past the hint
            }
        }
        imports.push_back(import);
    }
    return imports;
}

bool FindPeResource(const PeImage& image, uint16_t type, const std::u16string& name, uint16_t id, uint16_t language,
                    std::vector<uint8_t>* data) {
    if (image.directoryAddress[kResourceDirectory] == 0) return false;
    uint32_t level;
    if (!FindEntry(image, 0, std::u16string(), type, &level) || !(level & 0x80000000u)) return false;
    if (!FindEntry(image, level & 0x7FFFFFFFu, name, id, &level) || !(level & 0x80000000u)) return false;
    if (!FindEntry(image, level & 0x7FFFFFFFu, std::u16string(), language, &level) || (level & 0x80000000u)) {
        return false;
    }
    const uint8_t* entry = AtAddress(image, image.directoryAddress[kResourceDirectory] + level, 16);
    if (entry == nullptr) return false;
    const uint8_t* bytes = AtAddress(image, Dword(entry), Dword(entry + 4));
    if (bytes == nullptr) return false;
    data->assign(bytes, bytes + Dword(entry + 4));
    return true;
}
