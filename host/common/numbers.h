// Whole numbers as people type them on a command line or as a Y4M header
// writes them: plain decimal digits, nothing else, within a range.
#pragma once

#include <cstdint>
#include <string>

// TEXT is 1 to 10 digits whose value lies in LOW..HIGH.
bool ParseWhole(const std::string& text, int64_t low, int64_t high, int64_t* value);
