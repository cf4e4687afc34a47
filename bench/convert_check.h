// Checks the optimised conversion against GrayLevel, the reference, before
// any figure about it is reported: every one of the 2^24 colours, masks of
// black and near-black, and every row length from 1 to 80 (vector bodies
// and scalar tails).
#pragma once

#include <string>

// Empty when everything matches, else what differed first.
std::string CheckConversion();
