// The demo clip. Everything is a function of the frame index, so the last
// frame leads back into the first and the looping GIF runs without a jump:
// a diagonal colour gradient drifting by one period, a gray ramp whose
// steps show the 256 levels, a ball bouncing once across the picture, a bar
// turning half a revolution and a ring that pulses.
#include "host/input/demo_clip.h"

#include <cmath>

#include "plugin/host_contract.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Colour {
    double b;
    double g;
    double r;
};

uint8_t ToByte(double v) {
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v + 0.5));
}

Colour Background(int32_t x, int32_t y, double phase) {
    const double u = (x + 0.6 * y) / 160.0 * 2 * kPi + 2 * kPi * phase;
    return Colour{128 + 100 * std::sin(u), 128 + 100 * std::sin(u + 2.1), 128 + 100 * std::sin(u + 4.2)};
}

// Coverage 0..1 of the pixel centre (x, y) by a shape whose signed distance
// there is D: one pixel of soft edge keeps the outlines smooth.
double Cover(double d) {
    return d <= -0.5 ? 1.0 : (d >= 0.5 ? 0.0 : 0.5 - d);
}

Colour Mix(Colour under, Colour over, double amount) {
    return Colour{under.b + (over.b - under.b) * amount, under.g + (over.g - under.g) * amount,
                  under.r + (over.r - under.r) * amount};
}

}  // namespace

void DrawDemoFrame(int32_t index, uint8_t* frame) {
    const double phase = static_cast<double>(index) / kDemoFrames;
    // Ball: a parabola across the picture and back over the whole clip.
    const double ballX = 40 + 240 * (0.5 - 0.5 * std::cos(2 * kPi * phase));
    const double bounce = std::fabs(std::sin(3 * kPi * phase));
    const double ballY = 150 - 100 * bounce;
    const double ballRadius = 18;
    // Bar: half a turn about its centre, which maps it onto itself.
    const double angle = kPi * phase;
    const double barX = 250, barY = 80, barHalfLength = 45, barHalfWidth = 6;
    const double dirX = std::cos(angle), dirY = std::sin(angle);
    // Ring: radius swelling and shrinking twice.
    const double ringX = 80, ringY = 70;
    const double ringRadius = 26 + 10 * std::sin(4 * kPi * phase);

    for (int32_t y = 0; y < kDemoHeight; ++y) {
        uint8_t* row = frame + FrameRowOffset(kDemoWidth, kDemoHeight, y);
        for (int32_t x = 0; x < kDemoWidth; ++x) {
            Colour c = Background(x, y, phase);
            if (y < 16) {
                // Gray ramp: 32 steps of 8 levels, sliding with the clip.
                const int32_t step = ((x * 32 / kDemoWidth) + index * 32 / kDemoFrames) % 32;
                const double level = step * 255.0 / 31;
                c = Colour{level, level, level};
            }
            const double px = x + 0.5, py = y + 0.5;
            const double ringDistance = std::fabs(std::hypot(px - ringX, py - ringY) - ringRadius) - 4;
            c = Mix(c, Colour{30, 30, 30}, Cover(ringDistance));

            const double along = (px - barX) * dirX + (py - barY) * dirY;
            const double across = -(px - barX) * dirY + (py - barY) * dirX;
            const double barDistance = std::fmax(std::fabs(along) - barHalfLength, std::fabs(across) - barHalfWidth);
            c = Mix(c, Colour{240, 240, 250}, Cover(barDistance));

            const double ballDistance = std::hypot(px - ballX, py - ballY) - ballRadius;
            // Lit from the upper left: brighter towards that side of the ball.
            const double shade = 200 + 55 * ((ballX - px) + (ballY - py)) / (2 * ballRadius);
            c = Mix(c, Colour{shade * 0.3, shade * 0.6, shade}, Cover(ballDistance));

            row[3 * x] = ToByte(c.b);
            row[3 * x + 1] = ToByte(c.g);
            row[3 * x + 2] = ToByte(c.r);
        }
    }
}
