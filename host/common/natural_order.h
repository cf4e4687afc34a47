// Names in natural order, as gifski sorts its frames and `ls -v` lists
// files: runs of digits compare as numbers (frame2 before frame10).
#pragma once

#include <string>

// True when A comes before B: byte by byte, except that where both have a
// run of digits the runs compare by their value; the same value with more
// leading zeros comes later (frame01 after frame1), so no two different
// names are equal.
bool NaturalLess(const std::string& a, const std::string& b);
