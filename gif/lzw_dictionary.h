// The LZW string table behind a small interface, so that its data structure
// can be swapped and measured: a string is known by its prefix code and the
// pixel that extends it, together its key (pixel x codeLimit + prefix, below
// 2^20).
#pragma once

#include <cstdint>

#include "gif/gif_limits.h"

// A direct table: codeOf[key] holds the code last given to that key, and
// keyOf[code] confirms it. A lookup is two loads and one comparison, with no
// hashing and no probing. Clearing the table only forgets the keys of the
// codes handed out (at most 16 KiB); stale entries in codeOf are harmless
// because keyOf no longer confirms them, so codeOf (up to 2 MiB) is zeroed
// once and never rewritten. (A 2^14-slot hash with linear probing cost 2 to
// 3 times the instructions per pixel.)
//
// The table is laid out by pixel, then prefix: a flat area or a smooth
// gradient extends the codes it has just made with the same few pixels, so
// consecutive lookups fall on the same cache lines; laid out by prefix, every
// step of a long string touched a new line and the encoder waited on the
// second-level cache. The pixel part of the key is known before the lookup
// that gives the prefix, so the chain from one lookup to the next is one
// load and one addition.
struct LzwDictionary {
    static constexpr uint32_t kMaxCodes = gif_limits::kMaxCodes;
    static constexpr uint32_t kNoKey = 0xFFFFFFFFu;
    uint32_t codeLimit;  // every code and every prefix is below it
    uint32_t* keyOf;     // per code; kNoKey for codes not in the table
    uint16_t* codeOf;    // per key; trusted only where keyOf agrees
};

// Codes a picture of this many pixels can use: the first free code plus
// one per pixel, at most 4096. Sizing the table by it keeps small pictures
// from paying for a 2 MiB table.
uint32_t LzwCodeLimit(uint64_t pixels, uint32_t firstFreeCode);

// A cleared table for codes below codeLimit (at most 4096), or null when
// memory is short; freed with LzwDestroy.
LzwDictionary* LzwCreate(uint32_t codeLimit);
void LzwDestroy(LzwDictionary* dictionary);

// Forgets every string. Codes 0..257 are never inserted and stay
// unconfirmed for good.
inline void LzwClear(LzwDictionary* dictionary) {
    for (uint32_t code = 0; code < dictionary->codeLimit; ++code) dictionary->keyOf[code] = LzwDictionary::kNoKey;
}

// The pixel part of a key; the key of prefix + pixel is it plus the prefix.
inline uint32_t LzwPixelKey(const LzwDictionary* dictionary, uint32_t pixel) {
    return pixel * dictionary->codeLimit;
}

// Where the entries of one pixel's strings start. The empty asm statement
// hides the address from the optimiser, which would otherwise fold it into
// the key and put an addition between one lookup and the next; as it is,
// each lookup is one load indexed by the code the previous one gave.
inline const uint16_t* LzwColumn(const LzwDictionary* dictionary, uint32_t pixelKey) {
    const uint16_t* column = dictionary->codeOf + pixelKey;
#if defined(__GNUC__)
    __asm__("" : "+r"(column));
#endif
    return column;
}

// Code of the string prefix + pixel, given the pixel's key part and
// column, or -1 when it is not in the table.
inline int32_t LzwFind(const LzwDictionary* dictionary, const uint16_t* column, uint32_t pixelKey,
                       uint32_t prefix) {
    const uint32_t code = column[prefix];
    return dictionary->keyOf[code] == pixelKey + prefix ? static_cast<int32_t>(code) : -1;
}

// Adds a string that LzwFind has just reported missing.
inline void LzwInsert(LzwDictionary* dictionary, uint32_t key, uint32_t code) {
    dictionary->codeOf[key] = static_cast<uint16_t>(code);
    dictionary->keyOf[code] = key;
}
