// The LZW string table behind a small interface, so that its data structure
// can be swapped and measured: a string is known by its prefix code and the
// pixel that extends it, and stands at one entry of a direct table.
#pragma once

#include <cstdint>
#include <cstring>

#include "gif/gif_limits.h"

// A direct table with one entry for every prefix code and pixel (up to 2^20
// entries of 2 bytes, and one spare). An entry holds the slot of the code
// given to its string (the code times the layout's group size, see
// LzwLayout); no string ever gets code 0, as codes below the first free one
// are never handed out, so 0 means none. A lookup is one load, and the next
// lookup's address is the slot it gave plus a column known from the pixel:
// the chain from one pixel to the next is a single load.
//
// entryOf[code] is where each code was put. The table is used between two
// clear codes (a generation) in one of two ways:
// - zeroed: every entry not given in this generation is 0, so a lookup that
//   finds a slot has found its string. Ending the generation zeroes the
//   entries its codes were put at (at most 4096 stores) instead of the whole
//   table.
// - confirmed: entries of earlier generations may remain (the table is
//   stale), so a slot found is a hit only if its code was put at that very
//   entry. Ending the generation just forgets where the codes were put.
// A zeroed generation saves a load and a comparison per pixel; a confirmed
// one saves the zeroing, which costs more where a generation lasts only a
// few thousand pixels. A zeroed generation after a confirmed one starts by
// zeroing the whole table.
struct LzwDictionary {
    static constexpr uint32_t kMaxCodes = gif_limits::kMaxCodes;
    uint32_t codeLimit;  // every code and every prefix is below it
    uint32_t noEntry;    // the spare entry: where codes not given are put
    bool stale;          // entries of earlier generations may remain
    uint32_t* entryOf;   // per code: its entry if given in this generation; else
                         // noEntry, or an older entry no longer holding its slot
    uint16_t* codeOf;    // per entry: the slot of its string's code, or 0
};

// Where the entry of (prefix code, pixel) stands. The pixel values are taken
// in groups of kGroup; the table holds, for each group, every code in turn,
// and for each code the kGroup pixels of the group side by side:
//
//   entry = (pixel / kGroup) x codeLimit x kGroup + code x kGroup + pixel % kGroup
//
// The slot (code x kGroup) is what an entry stores, so the next entry is that
// slot plus the pixel's column, with no arithmetic on the chain.
//
// kGroup 1 (by pixel, then code) suits long strings: a flat area or a smooth
// gradient extends the codes it has just made, which sit side by side in one
// pixel's column, so a run stays on a few cache lines. kGroup 8 suits short
// strings in busy pictures, where a lookup's prefix is mostly a code made a
// moment ago and the pixel after it is close in value to the one before: a
// 64-byte line then holds 4 codes for 8 neighbouring levels, so a zooming
// picture misses the caches far less often (docs/performance.md).
template <uint32_t kGroup>
struct LzwLayout {
    static uint32_t Slot(uint32_t code) { return code * kGroup; }
    static uint32_t CodeOf(uint32_t slot) { return slot / kGroup; }
    // Entry of (code 0, pixel): add a slot to reach the pixel's entry for that code.
    static uint32_t Column(uint32_t codeLimit, uint32_t pixel) {
        return pixel / kGroup * (codeLimit * kGroup) + pixel % kGroup;
    }
};
using LzwByPixel = LzwLayout<1>;
using LzwByPixelGroup = LzwLayout<8>;

// The address of a pixel's column. The empty asm statement hides it from
// the optimiser, which would otherwise fold it into the entry's index and put
// additions between one lookup and the next; as it is, each lookup is one
// load indexed by the slot the previous one gave.
inline const uint16_t* LzwColumnAddress(const uint16_t* codeOf, uint32_t column) {
    const uint16_t* address = codeOf + column;
#if defined(__GNUC__)
    __asm__("" : "+r"(address));
#endif
    return address;
}

// Codes a picture of this many pixels can use: the first free code plus
// one per pixel, at most 4096. Sizing the table by it keeps small pictures
// from paying for a 2 MiB table.
uint32_t LzwCodeLimit(uint64_t pixels, uint32_t firstFreeCode);

// An empty table for codes below codeLimit (at most 4096), or null when
// memory is short; freed with LzwDestroy.
LzwDictionary* LzwCreate(uint32_t codeLimit);
void LzwDestroy(LzwDictionary* dictionary);

template <bool kConfirmed>
inline void LzwBeginGeneration(LzwDictionary* dictionary) {
    if (kConfirmed || !dictionary->stale) return;
    std::memset(dictionary->codeOf, 0, sizeof(uint16_t) * dictionary->noEntry);
    dictionary->stale = false;
}

// Whether the slot found at an entry is the code of that entry's string.
template <class Layout, bool kConfirmed>
inline bool LzwIsHit(const LzwDictionary* dictionary, uint32_t found, uint32_t entry) {
    return kConfirmed ? dictionary->entryOf[Layout::CodeOf(found)] == entry : found != 0;
}

// Puts a code at an entry where its string was not found.
template <class Layout>
inline void LzwInsert(LzwDictionary* dictionary, uint32_t entry, uint32_t code) {
    dictionary->codeOf[entry] = static_cast<uint16_t>(Layout::Slot(code));
    dictionary->entryOf[code] = entry;
}

// Forgets every string of the generation, leaving an empty table that the
// next generation may use in either layout and either way.
template <bool kConfirmed>
inline void LzwEndGeneration(LzwDictionary* dictionary) {
    const uint32_t codeLimit = dictionary->codeLimit;
    uint32_t* const entryOf = dictionary->entryOf;
    if (kConfirmed) {
        const uint32_t noEntry = dictionary->noEntry;
        for (uint32_t code = 0; code < codeLimit; ++code) entryOf[code] = noEntry;
        dictionary->stale = true;
        return;
    }
    // Codes not given in this generation point at the spare entry or at
    // one zeroed already: zeroing those again is harmless and saves
    // tracking which codes were given.
    uint16_t* const codeOf = dictionary->codeOf;
    for (uint32_t code = 0; code < codeLimit; ++code) codeOf[entryOf[code]] = 0;
}
