// The one whole-number parser of the host: strtoll alone would take blanks,
// signs and trailing junk, which a header or an option must not carry.
#include "host/common/numbers.h"

#include <cstdlib>

bool ParseWhole(const std::string& text, int64_t low, int64_t high, int64_t* value) {
    if (text.empty() || text.size() > 10) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (v < low || v > high) return false;
    *value = v;
    return true;
}
