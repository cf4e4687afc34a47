// What frame rates a GIF can carry. Its delays are whole hundredths of a
// second in 16 bits, so a frame lasts from 0.01 s to 655.35 s: a faster
// rate would write frames of no delay, which players stretch to a tenth,
// and a slower one would wrap around. Above 50 per second frames last under
// two hundredths, which many viewers and browsers also show for a tenth.
#pragma once

#include <cstdint>
#include <string>

// Why a GIF cannot hold frames at RATE / SCALE per second, or empty when it can.
std::string RateRefusal(int32_t rate, int32_t scale);

// Warns (one line on standard error) when frames at RATE / SCALE play slowly in many viewers.
void WarnAboutRate(int32_t rate, int32_t scale);

// RATE / SCALE in plain decimals, at most three of them: "25", "29.97", "0.001".
std::string PlainRate(int32_t rate, int32_t scale);
