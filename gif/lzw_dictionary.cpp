// Hash table of LZW strings with linear probing.
#include "gif/lzw_dictionary.h"

#include <cstring>

namespace {

inline uint32_t Slot(uint32_t key) {
    // Multiplicative hash; the top bits of the product are the best mixed.
    return (key * 2654435761u) >> (32 - 14);
}

}  // namespace

void LzwClear(LzwDictionary* dictionary) {
    std::memset(dictionary->slots, 0xFF, sizeof dictionary->slots);
}

int32_t LzwFind(const LzwDictionary* dictionary, uint32_t prefix, uint32_t pixel) {
    const uint32_t key = (prefix << 8) | pixel;
    for (uint32_t slot = Slot(key);; slot = (slot + 1) & (LzwDictionary::kSlots - 1)) {
        const uint32_t entry = dictionary->slots[slot];
        if (entry == LzwDictionary::kEmpty) return -1;
        if ((entry >> 12) == key) return static_cast<int32_t>(entry & 0xFFFu);
    }
}

void LzwInsert(LzwDictionary* dictionary, uint32_t prefix, uint32_t pixel, uint32_t code) {
    const uint32_t key = (prefix << 8) | pixel;
    uint32_t slot = Slot(key);
    while (dictionary->slots[slot] != LzwDictionary::kEmpty) {
        slot = (slot + 1) & (LzwDictionary::kSlots - 1);
    }
    dictionary->slots[slot] = (key << 12) | code;
}
