// The built-in clip of "rozove demo": three seconds of moving shapes and
// gradients, drawn on the fly so that the demo needs no input file.
#pragma once

#include <cstdint>

constexpr int32_t kDemoWidth = 320;
constexpr int32_t kDemoHeight = 180;
constexpr int32_t kDemoRate = 30000;  // NTSC rate, 29.97 frames per second
constexpr int32_t kDemoScale = 1001;
constexpr int32_t kDemoFrames = 90;

// Draws frame INDEX (0 .. kDemoFrames - 1) in the host frame layout: BGR,
// rows bottom-up, stride FrameStride(kDemoWidth).
void DrawDemoFrame(int32_t index, uint8_t* frame);
