// Option values that are more than a whole number: a frame size, a frame
// rate and a time, as ffmpeg's users write them.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "gif/gif_limits.h"
#include "host/cli/command_line.h"
#include "host/common/numbers.h"

namespace {

int64_t CommonDivisor(int64_t a, int64_t b) {
    while (b != 0) {
        const int64_t r = a % b;
        a = b;
        b = r;
    }
    return a;
}

bool ParseDecimalRate(const std::string& text, int32_t* rate, int32_t* scale) {
    const size_t point = text.find('.');
    const std::string whole = text.substr(0, point);
    const std::string digits = text.substr(point + 1);
    int64_t w = 0;
    int64_t d = 0;
    // "5." is 5 and ".5" a half, as a calculator reads them; "." is nothing.
    if ((whole.empty() && digits.empty()) || digits.size() > 9 ||
        !ParseWhole(whole.empty() ? "0" : whole, 0, INT32_MAX, &w) ||
        !ParseWhole(digits.empty() ? "0" : digits, 0, 999999999, &d)) {
        return false;
    }
    int64_t unit = 1;
    for (size_t i = 0; i < digits.size(); ++i) unit *= 10;
    const double value = static_cast<double>(w) + static_cast<double>(d) / static_cast<double>(unit);
    // The NTSC rates are written rounded (29.97 for 30000/1001); take the
    // exact one when the digits written are what it rounds to.
    const int64_t ntsc = std::llround(value * 1.001);
    if (d != 0 && digits.size() >= 2 && ntsc >= 1 && ntsc <= INT32_MAX / 1000 &&
        std::fabs(static_cast<double>(ntsc) * 1000.0 / 1001.0 - value) < 0.5 / static_cast<double>(unit)) {
        *rate = static_cast<int32_t>(ntsc * 1000);
        *scale = 1001;
        return true;
    }
    const int64_t numerator = w * unit + d;
    const int64_t divisor = CommonDivisor(numerator, unit);
    if (numerator == 0 || numerator / divisor > INT32_MAX) return false;
    *rate = static_cast<int32_t>(numerator / divisor);
    *scale = static_cast<int32_t>(unit / divisor);
    return true;
}

// A leading plus sign, as people write a number they mean to be positive.
std::string WithoutPlus(const std::string& text) {
    return text.compare(0, 1, "+") == 0 ? text.substr(1) : text;
}

// The most a time may count of its unit: ten digits, over three centuries
// in seconds, and still far from overflowing in microseconds.
constexpr int64_t kMaxCount = 9999999999;

// [HH:]MM:SS as ffmpeg's clock form: minutes and seconds of one or two
// digits below 60, hours any number; into whole seconds.
bool ParseClock(const std::string& text, int64_t* seconds) {
    int64_t total = 0;
    size_t begin = 0;
    int fields = 0;
    for (;;) {
        const size_t colon = text.find(':', begin);
        const std::string field = text.substr(begin, colon == std::string::npos ? std::string::npos : colon - begin);
        const bool hours = fields == 0 && std::count(text.begin(), text.end(), ':') == 2;
        int64_t value = 0;
        if ((!hours && field.size() > 2) || !ParseWhole(field, 0, hours ? 100000000 : 59, &value)) return false;
        total = total * 60 + value;
        ++fields;
        if (colon == std::string::npos) break;
        begin = colon + 1;
    }
    if (fields > 3) return false;
    *seconds = total;
    return true;
}

}  // namespace

bool ParseSize(const std::string& text, int32_t* width, int32_t* height) {
    const size_t x = text.find_first_of("xX");
    int64_t w = 0;
    int64_t h = 0;
    if (x == std::string::npos || !ParseOptionNumber(text.substr(0, x), 1, gif_limits::kMaxSide, &w) ||
        !ParseOptionNumber(text.substr(x + 1), 1, gif_limits::kMaxSide, &h)) {
        return false;
    }
    *width = static_cast<int32_t>(w);
    *height = static_cast<int32_t>(h);
    return true;
}

bool ParseOptionNumber(const std::string& text, int64_t low, int64_t high, int64_t* value) {
    return ParseWhole(WithoutPlus(text), low, high, value);
}

bool ParseRate(const std::string& given, int32_t* rate, int32_t* scale) {
    const std::string text = WithoutPlus(given);
    if (text.find('.') != std::string::npos) return ParseDecimalRate(text, rate, scale);
    const size_t slash = text.find_first_of("/:");
    int64_t r = 0;
    int64_t s = 1;
    if (!ParseWhole(text.substr(0, slash), 1, INT32_MAX, &r)) return false;
    if (slash != std::string::npos && !ParseWhole(text.substr(slash + 1), 1, INT32_MAX, &s)) return false;
    *rate = static_cast<int32_t>(r);
    *scale = static_cast<int32_t>(s);
    return true;
}

bool ParseTime(const std::string& given, int64_t* microseconds) {
    const bool negative = !given.empty() && given[0] == '-';
    std::string text = WithoutPlus(negative ? given.substr(1) : given);
    // The unit counts the whole number: ffmpeg reads "1:30ms" as 90 ms.
    int64_t unit = 1000000;
    const auto cut = [&text](const char* suffix) {
        const size_t n = std::strlen(suffix);
        if (text.size() < n || text.compare(text.size() - n, n, suffix) != 0) return false;
        text.resize(text.size() - n);
        return true;
    };
    if (cut("ms")) {
        unit = 1000;
    } else if (cut("us")) {
        unit = 1;
    } else {
        cut("s");
    }
    const size_t point = text.find('.');
    const std::string whole = text.substr(0, point);
    const std::string fraction = point == std::string::npos ? std::string() : text.substr(point + 1);
    int64_t count = 0;
    if (whole.find(':') != std::string::npos ? !ParseClock(whole, &count) : !ParseWhole(whole, 0, kMaxCount, &count)) {
        return false;
    }
    // Digits past the microsecond are dropped, as ffmpeg drops them.
    int64_t micro = 0;
    for (size_t i = 0; i < fraction.size(); ++i) {
        if (fraction[i] < '0' || fraction[i] > '9') return false;
    }
    for (size_t i = 0; i < 6; ++i) micro = micro * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
    const int64_t value = count * unit + micro * unit / 1000000;
    *microseconds = negative ? -value : value;
    return true;
}
