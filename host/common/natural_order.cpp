// Natural order of names: digit runs by value, everything else by byte.
#include "host/common/natural_order.h"

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The digit run of TEXT from AT: where it ends, and where its value's
// digits start (past its leading zeros).
struct DigitRun {
    size_t significant;
    size_t end;
};

DigitRun RunAt(const std::string& text, size_t at) {
    size_t end = at;
    while (end < text.size() && IsDigit(text[end])) ++end;
    size_t significant = at;
    while (significant + 1 < end && text[significant] == '0') ++significant;
    return {significant, end};
}

// <0, 0 or >0 as the value of A's run is below, equal to or above B's.
int CompareValues(const std::string& a, DigitRun ra, const std::string& b, DigitRun rb) {
    const size_t lengthA = ra.end - ra.significant;
    const size_t lengthB = rb.end - rb.significant;
    if (lengthA != lengthB) return lengthA < lengthB ? -1 : 1;
    return a.compare(ra.significant, lengthA, b, rb.significant, lengthB);
}

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b) {
    size_t i = 0;
    size_t j = 0;
    int zeros = 0;  // the first difference in leading zeros, for names equal in value
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            const DigitRun ra = RunAt(a, i);
            const DigitRun rb = RunAt(b, j);
            const int order = CompareValues(a, ra, b, rb);
            if (order != 0) return order < 0;
            const size_t zerosA = ra.significant - i;
            const size_t zerosB = rb.significant - j;
            if (zeros == 0 && zerosA != zerosB) zeros = zerosA < zerosB ? -1 : 1;
            i = ra.end;
            j = rb.end;
            continue;
        }
        if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size()) return j < b.size();
    return zeros < 0;
}
