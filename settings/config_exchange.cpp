// Reading and restoring the settings as the host's 8-byte block
// (settings/settings_block.h).
//
// The debugger lines "_get", "_set" (and "_config" from the dialog) say
// which settings entry the host called, for someone watching a host with a
// debugger or DebugView; their text is fixed (no prefix, no line end), since
// such a watcher matches it, and the module tests check them on both targets.
#include "settings/gif_settings.h"
#include "settings/settings_block.h"
#include "settings/settings_entries.h"

int32_t ROZOVE_CDECL OnConfigGet(void* buffer, int32_t size) {
    if (buffer != nullptr) {
        // A buffer said to be smaller than the block is refused rather than
        // written past its end.
        if (size < settings_block::kBytes) return 0;
        settings_block::Write({gifSettings.useRightHalfAsMask, gifSettings.loopCount}, static_cast<uint8_t*>(buffer));
    }
    OutputDebugStringA("_get");
    return settings_block::kBytes;
}

int32_t ROZOVE_CDECL OnConfigSet(void* data, int32_t size) {
    if (size != settings_block::kBytes || data == nullptr) return 0;
    // Taken verbatim: any flag value and any repeat count are the host's to keep.
    const settings_block::Values values = settings_block::Read(static_cast<const uint8_t*>(data));
    gifSettings.useRightHalfAsMask = values.useRightHalfAsMask;
    gifSettings.loopCount = values.loopCount;
    OutputDebugStringA("_set");
    return settings_block::kBytes;
}
