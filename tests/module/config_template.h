// The settings dialog's template and the manifest as the module carries
// them: a reader of the plain dialog template form, and the checks that
// both the Windows test (through the resource loader) and the Linux file
// test (through the PE file) apply to the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct DialogItemData {
    uint32_t style;
    uint32_t exStyle;
    int16_t x, y, cx, cy;
    uint16_t id;
    uint16_t classAtom;         // 0 when the class is given by name
    std::u16string className;
    std::u16string text;
    uint16_t creationDataBytes;
};

struct DialogTemplateData {
    uint32_t style;
    uint32_t exStyle;
    uint16_t itemCount;
    int16_t x, y, cx, cy;
    bool hasMenu;
    bool defaultClass;
    std::u16string caption;
    uint16_t pointSize;
    std::u16string face;
    std::vector<DialogItemData> items;
};

// Reads a template of the plain (not extended) form; false with a reason
// for anything else or for bytes that run out.
bool ParseDialogTemplate(const uint8_t* bytes, size_t size, DialogTemplateData* out, std::string* error);

// GoogleTest checks of the "CONFIG" template and of the manifest.
void ExpectConfigTemplate(const uint8_t* bytes, size_t size);
void ExpectManifest(const uint8_t* bytes, size_t size);
