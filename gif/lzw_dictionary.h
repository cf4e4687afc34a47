// The LZW string table behind a small interface, so that its data structure
// can be swapped and measured: a string is known by its prefix code and the
// pixel that extends it.
#pragma once

#include <cstdint>

// Open addressing over 2^14 slots; the table never holds more than 4096
// strings, so it stays at most a quarter full and probe chains stay short.
struct LzwDictionary {
    static constexpr uint32_t kSlots = 1u << 14;
    // Each slot: key (prefix << 8 | pixel, 20 bits) << 12 | code, or kEmpty.
    static constexpr uint32_t kEmpty = 0xFFFFFFFFu;
    uint32_t slots[kSlots];
};

void LzwClear(LzwDictionary* dictionary);
// Code of the string prefix + pixel, or -1 when it is not in the table.
int32_t LzwFind(const LzwDictionary* dictionary, uint32_t prefix, uint32_t pixel);
// Adds a string that LzwFind has just reported missing.
void LzwInsert(LzwDictionary* dictionary, uint32_t prefix, uint32_t pixel, uint32_t code);
