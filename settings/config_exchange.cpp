// Reading and restoring the settings as the host's 8-byte block.
#include "settings/gif_settings.h"
#include "settings/settings_entries.h"

namespace {

void PutInt32(uint8_t* out, int32_t value) {
    const uint32_t bits = static_cast<uint32_t>(value);
    out[0] = static_cast<uint8_t>(bits);
    out[1] = static_cast<uint8_t>(bits >> 8);
    out[2] = static_cast<uint8_t>(bits >> 16);
    out[3] = static_cast<uint8_t>(bits >> 24);
}

int32_t GetInt32(const uint8_t* in) {
    return static_cast<int32_t>(static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
                                static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24);
}

}  // namespace

int32_t ROZOVE_CDECL OnConfigGet(void* buffer, int32_t size) {
    if (buffer != nullptr) {
        // A buffer said to be smaller than the block is refused rather than
        // written past its end.
        if (size < kSettingsBlockBytes) return 0;
        uint8_t* out = static_cast<uint8_t*>(buffer);
        PutInt32(out, gifSettings.useRightHalfAsMask);
        PutInt32(out + 4, gifSettings.loopCount);
    }
    OutputDebugStringA("_get");
    return kSettingsBlockBytes;
}

int32_t ROZOVE_CDECL OnConfigSet(void* data, int32_t size) {
    if (size != kSettingsBlockBytes || data == nullptr) return 0;
    // Taken verbatim: any flag value and any repeat count are the host's to keep.
    const uint8_t* in = static_cast<const uint8_t*>(data);
    gifSettings.useRightHalfAsMask = GetInt32(in);
    gifSettings.loopCount = GetInt32(in + 4);
    OutputDebugStringA("_set");
    return kSettingsBlockBytes;
}
