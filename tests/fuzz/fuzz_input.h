// Reads fuzzer bytes as numbers, in order, with zeros once they run out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

struct FuzzInput {
    const uint8_t* data;
    size_t size;
    size_t at;

    uint32_t Take32() {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(Take8()) << (8 * i);
        return value;
    }
    uint16_t Take16() { return static_cast<uint16_t>(Take8() | Take8() << 8); }
    uint8_t Take8() { return at < size ? data[at++] : 0; }
    size_t Left() const { return size - at; }
    void TakeBytes(uint8_t* out, size_t count) {
        const size_t n = count < Left() ? count : Left();
        if (n > 0) std::memcpy(out, data + at, n);
        std::memset(out + n, 0, count - n);
        at += n;
    }
};
