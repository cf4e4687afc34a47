// Frame timing in exact integer arithmetic: the products of a timestamp and
// two rates need up to 126 bits, so they are formed as 128-bit pairs.
#include "host/input/frame_timing.h"

#include <algorithm>
#include <cmath>
#include <numeric>

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

// The smallest gap between distinct TIMES, 0 when there is none.
int64_t SmallestStep(const std::vector<int64_t>& times) {
    int64_t step = 0;
    for (size_t i = 1; i < times.size(); ++i) {
        const int64_t gap = times[i] - times[i - 1];
        if (gap > 0 && (step == 0 || gap < step)) step = gap;
    }
    return step;
}

// TIMES lie within a tick or 5 % of a frame of multiples of STEP ticks
// after the first; when REFINE, STEP is refined from each time it fits.
bool OnGrid(const std::vector<int64_t>& times, double* step, bool refine) {
    for (const int64_t time : times) {
        const double offset = static_cast<double>(time - times.front());
        const double k = std::round(offset / *step);
        if (std::fabs(offset - k * *step) > std::max(1.0, *step / 20)) return false;
        if (refine && k > 0) *step = offset / k;
    }
    return true;
}

struct Rate {
    int64_t num;
    int64_t den;
};

// PERSECOND as a fraction: a whole number or N*1000/1001 when it is within
// 0.2 % of one, else in thousandths. (This file is built without FFmpeg's
// libraries too, so their rational helpers are not at hand.)
Rate SnappedRate(double perSecond) {
    if (!(perSecond > 0) || perSecond > 1e6) return Rate{0, 1};
    const double whole = std::round(perSecond);
    const double ntsc = std::round(perSecond * 1.001);
    const double wholeOff = std::fabs(perSecond - whole);
    const double ntscOff = std::fabs(perSecond - ntsc / 1.001);
    // The nearer of the two: 29.97 is within 0.2 % of 30 as well.
    if (ntsc > 0 && ntscOff < wholeOff && ntscOff < perSecond / 500) return Rate{int64_t(ntsc) * 1000, 1001};
    if (whole > 0 && wholeOff < perSecond / 500) return Rate{int64_t(whole), 1};
    const int64_t thousandths = std::llround(perSecond * 1000);
    const int64_t common = std::gcd(thousandths, int64_t(1000));
    return common > 0 ? Rate{thousandths / common, 1000 / common} : Rate{0, 1};
}

}  // namespace

bool FindGrid(const std::vector<int64_t>& times, TimeBase base, int32_t* rate, int32_t* scale) {
    const int64_t smallest = SmallestStep(times);
    if (smallest <= 0 || base.num <= 0 || base.den <= 0) return false;
    double step = static_cast<double>(smallest);
    if (!OnGrid(times, &step, true)) return false;
    const Rate snapped = SnappedRate(double(base.den) / (step * base.num));
    if (snapped.num <= 0 || snapped.den <= 0) return false;
    // The snapped rate must hold over the whole span, not just near its start.
    double exact = double(snapped.den) * base.den / (double(snapped.num) * base.num);
    if (!OnGrid(times, &exact, false)) return false;
    *rate = static_cast<int32_t>(snapped.num);
    *scale = static_cast<int32_t>(snapped.den);
    return true;
}

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
