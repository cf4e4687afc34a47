// Allocation of the direct LZW table.
#include "gif/lzw_dictionary.h"

#include <cstdlib>

uint32_t LzwCodeLimit(uint64_t pixels, uint32_t firstFreeCode) {
    const uint64_t codes = firstFreeCode + pixels;
    return codes < LzwDictionary::kMaxCodes ? static_cast<uint32_t>(codes) : LzwDictionary::kMaxCodes;
}

LzwDictionary* LzwCreate(uint32_t codeLimit) {
    if (codeLimit == 0 || codeLimit > LzwDictionary::kMaxCodes) return nullptr;
    // One block: the record, entryOf, then codeOf with its spare entry.
    // calloc zeroes codeOf, so the table is empty and not stale.
    const size_t entries = (static_cast<size_t>(codeLimit) << 8) + 1;
    const size_t entryOfBytes = sizeof(uint32_t) * codeLimit;
    void* block = std::calloc(1, sizeof(LzwDictionary) + entryOfBytes + sizeof(uint16_t) * entries);
    if (block == nullptr) return nullptr;
    LzwDictionary* dictionary = static_cast<LzwDictionary*>(block);
    dictionary->codeLimit = codeLimit;
    dictionary->noEntry = static_cast<uint32_t>(entries - 1);
    dictionary->stale = false;
    dictionary->entryOf = reinterpret_cast<uint32_t*>(dictionary + 1);
    dictionary->codeOf = reinterpret_cast<uint16_t*>(dictionary->entryOf + codeLimit);
    for (uint32_t code = 0; code < codeLimit; ++code) dictionary->entryOf[code] = dictionary->noEntry;
    return dictionary;
}

void LzwDestroy(LzwDictionary* dictionary) {
    std::free(dictionary);
}
