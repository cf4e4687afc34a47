// The layout check applied to a platform encoder's output.
#include "gif/gif_layout.h"

#include <cstring>

namespace gif_layout {

bool HasWriterLayout(const uint8_t* bytes, size_t length) {
    // Head, the whole extension, then at least an image descriptor.
    if (bytes == nullptr || length < kHeadBytes + kExtensionBytes + 10) return false;
    if (std::memcmp(bytes, "GIF89a", kSignatureBytes) != 0) return false;
    if ((bytes[kScreenFlags] & kGlobalTableBits) != kGlobalTableOf256) return false;
    return bytes[kExtension] == kExtensionIntroducer && bytes[kExtensionLabel] == kGraphicControlLabel &&
           bytes[kExtensionSize] == 4;
}

}  // namespace gif_layout
