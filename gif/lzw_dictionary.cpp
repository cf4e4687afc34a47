// Allocation and clearing of the direct LZW table.
#include "gif/lzw_dictionary.h"

#include <cstdlib>

uint32_t LzwCodeLimit(uint64_t pixels, uint32_t firstFreeCode) {
    const uint64_t codes = firstFreeCode + pixels;
    return codes < LzwDictionary::kMaxCodes ? static_cast<uint32_t>(codes) : LzwDictionary::kMaxCodes;
}

LzwDictionary* LzwCreate(uint32_t codeLimit) {
    if (codeLimit == 0 || codeLimit > LzwDictionary::kMaxCodes) return nullptr;
    // One block: the record, keyOf, then codeOf. calloc zeroes codeOf, so an
    // entry never written holds code 0, whose key is never confirmed.
    const size_t keyBytes = sizeof(uint32_t) * codeLimit;
    const size_t codeBytes = sizeof(uint16_t) * (static_cast<size_t>(codeLimit) << 8);
    void* block = std::calloc(1, sizeof(LzwDictionary) + keyBytes + codeBytes);
    if (block == nullptr) return nullptr;
    LzwDictionary* dictionary = static_cast<LzwDictionary*>(block);
    dictionary->codeLimit = codeLimit;
    dictionary->keyOf = reinterpret_cast<uint32_t*>(dictionary + 1);
    dictionary->codeOf = reinterpret_cast<uint16_t*>(dictionary->keyOf + codeLimit);
    LzwClear(dictionary);
    return dictionary;
}

void LzwDestroy(LzwDictionary* dictionary) {
    std::free(dictionary);
}
