// Frame timing in exact integer arithmetic: the products of a timestamp and
// two rates need up to 126 bits, so they are formed as 128-bit pairs.
#include "host/input/frame_timing.h"

namespace {

struct Quotient {
    uint64_t value;
    bool exact;
    bool overflow;
};

// A * B / C for C > 0, rounded down, with whether it divides evenly.
Quotient MultiplyDivide(uint64_t a, uint64_t b, uint64_t c) {
    const uint64_t mask = 0xffffffffu;
    const uint64_t low = (a & mask) * (b & mask);
    const uint64_t middle1 = (a >> 32) * (b & mask);
    const uint64_t middle2 = (a & mask) * (b >> 32);
    const uint64_t carry = ((low >> 32) + (middle1 & mask) + (middle2 & mask)) >> 32;
    uint64_t high = (a >> 32) * (b >> 32) + (middle1 >> 32) + (middle2 >> 32) + carry;
    const uint64_t lowWord = a * b;
    if (high >= c) return Quotient{UINT64_MAX, false, true};
    // Long division of high:lowWord by c, one bit at a time; high < c holds
    // throughout, so the quotient fits in 64 bits.
    uint64_t quotient = 0;
    for (int bit = 63; bit >= 0; --bit) {
        const bool top = (high >> 63) != 0;
        high = (high << 1) | ((lowWord >> bit) & 1);
        if (top || high >= c) {
            high -= c;
            quotient |= uint64_t(1) << bit;
        }
    }
    return Quotient{quotient, high == 0, false};
}

}  // namespace

int64_t OutputFramesBefore(int64_t ticks, TimeBase base, int32_t rate, int32_t scale) {
    if (ticks <= 0) return 0;  // even time 0 less half a tick precedes frame 0
    // The count is ceil((ticks - 1/2) * num * rate / (den * scale)), taken
    // in halves of a tick to stay in integers.
    const uint64_t halves = 2 * static_cast<uint64_t>(ticks) - 1;
    const uint64_t perHalf = static_cast<uint64_t>(base.num) * static_cast<uint64_t>(rate);
    const uint64_t divisor = 2 * static_cast<uint64_t>(base.den) * static_cast<uint64_t>(scale);
    const Quotient q = MultiplyDivide(halves, perHalf, divisor);
    if (q.overflow || q.value >= static_cast<uint64_t>(INT64_MAX)) return INT64_MAX;
    return static_cast<int64_t>(q.value + (q.exact ? 0 : 1));
}
