// Byte layout of a single-image GIF that the animation writer cuts up:
// the head describing the whole picture is always the first 781 bytes
// (6 signature + 7 screen descriptor + 256 x 3 colour table), and the
// graphic control extension, when present, follows right after it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gif_layout {

constexpr size_t kSignatureBytes = 6;
constexpr size_t kScreenDescriptorBytes = 7;
constexpr size_t kColourTableBytes = 256 * 3;
constexpr size_t kHeadBytes = kSignatureBytes + kScreenDescriptorBytes + kColourTableBytes;  // 781

// Graphic control extension (GIF89a section 23): introducer, label, size,
// packed flags, delay (2 bytes), transparent index, terminator.
constexpr size_t kExtension = kHeadBytes;           // 781
constexpr size_t kExtensionLabel = kExtension + 1;  // 782
constexpr size_t kExtensionSize = kExtension + 2;   // 783
constexpr size_t kExtensionFlags = kExtension + 3;  // 784
constexpr size_t kExtensionDelay = kExtension + 4;  // 785, 786
constexpr size_t kExtensionTransparent = kExtension + 6;  // 787
constexpr size_t kExtensionBytes = 8;

constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kGraphicControlLabel = 0xF9;
constexpr uint8_t kTrailer = 0x3B;

// Screen descriptor flags: global table present (bit 7), size 2^(1+7) = 256
// (bits 0-2), which the check reads through kGlobalTableBits; colour
// resolution 8 bits (bits 4-6) as well in what our encoder writes.
constexpr size_t kScreenFlags = 10;
constexpr uint8_t kGlobalTableBits = 0x87;
constexpr uint8_t kGlobalTableOf256 = 0x87;
constexpr uint8_t kOurScreenFlags = kGlobalTableOf256 | 0x70;

// True when a platform encoder's output is laid out the way the writer cuts
// it: GIF89a, a 256-entry global colour table, a graphic control extension
// at byte 781 and room for the image after it.
bool HasWriterLayout(const uint8_t* bytes, size_t length);

}  // namespace gif_layout
