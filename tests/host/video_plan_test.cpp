// The video plan from plain numbers, no clip: the size kept, one side given
// with anamorphic pixels, both given, too large; the stream's rate, a rate
// given, a variable stream on its grid, a variable stream's average (the container's or its packets'), a
// pipe's unknown count and the grid it is timed by, and the refusals. Expected values are worked out by
// hand from the rules in video_plan.h.
#include "host/input/video/video_plan.h"
#include "host/input/video/video_decoder_state.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/display.h>
}

namespace {

// A walked 640x480 clip of 50 frames at 25 fps, 2 s in ticks of 1/12800.
StreamFacts Clip() {
    StreamFacts facts;
    facts.width = 640;
    facts.height = 480;
    facts.sampleAspect = Fraction{1, 1};
    facts.nominalRate = Fraction{25, 1};
    facts.averageRate = Fraction{25, 1};
    facts.timeBase = TimeBase{1, 12800};
    facts.walked = true;
    facts.packets = 50;
    facts.endTicks = 25600;
    return facts;
}

// PAL 16:9: stored 720x576, pixels 64/45 as wide as tall, shown as 1024x576.
StreamFacts Anamorphic() {
    StreamFacts facts = Clip();
    facts.width = 720;
    facts.height = 576;
    facts.sampleAspect = Fraction{64, 45};
    return facts;
}

// A walked clip whose timestamps are not evenly spaced.
StreamFacts Variable(Fraction average, int64_t packets, int64_t endTicks, TimeBase base) {
    StreamFacts facts = Clip();
    facts.variable = true;
    facts.averageRate = average;
    facts.packets = packets;
    facts.endTicks = endTicks;
    facts.timeBase = base;
    return facts;
}

// 20 frames with a gap, 1 s in ms; the container averages 20 fps.
StreamFacts Paused(int64_t lastTicks) {
    StreamFacts facts = Variable(Fraction{20, 1}, 20, 1000, TimeBase{1, 1000});
    facts.lastTicks = lastTicks;
    return facts;
}

// An image sequence: a rate its demuxer makes up (90000, as for a cover).
StreamFacts Stills() {
    StreamFacts facts = Clip();
    facts.stills = true;
    facts.nominalRate = Fraction{90000, 1};
    return facts;
}

// Ten images as image2 stamps them: a tick of 1/25 s each.
StreamFacts Sequence() {
    StreamFacts facts = Clip();
    facts.stills = true;
    facts.timeBase = TimeBase{1, 25};
    facts.packets = 10;
    facts.endTicks = 10;
    return facts;
}

// Standard input: not walked, and a time base the container leaves out.
StreamFacts Pipe() {
    StreamFacts facts = Clip();
    facts.walked = false;
    facts.packets = -1;
    facts.endTicks = -1;
    facts.timeBase = TimeBase{0, 0};
    return facts;
}

// A pipe whose header gives NOMINAL in ticks of BASE.
StreamFacts PipeOn(Fraction nominal, TimeBase base) {
    StreamFacts facts = Pipe();
    facts.nominalRate = nominal;
    facts.timeBase = base;
    return facts;
}

StreamFacts With(StreamFacts facts, int32_t width, Fraction nominalRate) {
    facts.width = width;
    facts.nominalRate = nominalRate;
    return facts;
}

VideoOptions Asked(int32_t width, int32_t height, int32_t fpsRate = 0, int32_t fpsScale = 0) {
    VideoOptions options;
    options.width = width;
    options.height = height;
    options.fpsRate = fpsRate;
    options.fpsScale = fpsScale;
    return options;
}

VideoOptions From(VideoOptions options, int64_t startMicroseconds) {
    options.startMicroseconds = startMicroseconds;
    return options;
}

enum How { kOneForOne, kResampled, kTimed };

struct Want {
    int32_t width, height;
    How how;
    int32_t rate, scale;
    int64_t frameCount;
    TimeBase timeBase;
};

struct Case {
    const char* name;
    StreamFacts facts;
    VideoOptions options;
    Want want;               // when REASON is empty
    const char* reason;
};

TEST(VideoPlan, SizeRateAndCountFromTheFactsAndTheOptions) {
    const TimeBase clipBase = {1, 12800};
    const Case cases[] = {
        {"size kept", Clip(), Asked(0, 0), {640, 480, kOneForOne, 25, 1, 50, clipBase}, ""},
        {"anamorphic: square pixels, height kept", Anamorphic(), Asked(0, 0), {1024, 576, kOneForOne, 25, 1, 50, clipBase},
         ""},
        {"width given, anamorphic", Anamorphic(), Asked(512, 0), {512, 288, kOneForOne, 25, 1, 50, clipBase}, ""},
        {"height given, anamorphic", Anamorphic(), Asked(0, 288), {512, 288, kOneForOne, 25, 1, 50, clipBase}, ""},
        {"both given, aspect ignored", Anamorphic(), Asked(100, 50), {100, 50, kOneForOne, 25, 1, 50, clipBase}, ""},
        {"one side of 1 pixel", Clip(), Asked(1, 0), {1, 1, kOneForOne, 25, 1, 50, clipBase}, ""},
        // 2 s at 10 fps.
        {"rate given", Clip(), Asked(0, 0, 10, 1), {640, 480, kResampled, 10, 1, 20, clipBase}, ""},
        {"rate given, no rate of its own", With(Clip(), 640, Fraction{0, 1}), Asked(0, 0, 10, 1),
         {640, 480, kResampled, 10, 1, 20, clipBase}, ""},
        // 10 frames of 3003 ticks at 29.97 fps.
        // Uneven: every packet once, at its own time; the rate (the average)
        // is only what a frame lasts when nothing says.
        {"variable, container's average", Variable(Fraction{30000, 1001}, 10, 30030, TimeBase{1, 90000}), Asked(0, 0),
         {640, 480, kTimed, 30000, 1001, 10, TimeBase{1, 90000}}, ""},
        // No average: 10 intervals over 1100 ms, 100/11 fps.
        {"variable, packets' average", Variable(Fraction{0, 0}, 11, 1100, TimeBase{1, 1000}), Asked(0, 0),
         {640, 480, kTimed, 100, 11, 11, TimeBase{1, 1000}}, ""},
        {"variable, paused", Paused(920), Asked(0, 0),
         {640, 480, kTimed, 20, 1, 20, TimeBase{1, 1000}}, ""},
        {"variable, rate given", Paused(920), Asked(0, 0, 10, 1),
         {640, 480, kResampled, 10, 1, 10, TimeBase{1, 1000}}, ""},
        {"stills at 25", Stills(), Asked(0, 0), {640, 480, kOneForOne, 25, 1, 50, clipBase}, ""},
        // A rate given times the images by it: their ticks last 90000 / 12800 / 10 s.
        {"stills, rate given", Stills(), Asked(0, 0, 10, 1), {640, 480, kOneForOne, 10, 1, 50, TimeBase{45, 64}}, ""},
        // At 10 a second, 0.2 s in is the third image: 8 of the 10 are left.
        {"sequence, rate given, trimmed", Sequence(), From(Asked(0, 0, 10, 1), 200000),
         {640, 480, kResampled, 10, 1, 8, TimeBase{1, 10}}, ""},
        {"pipe", Pipe(), Asked(0, 0), {640, 480, kTimed, 25, 1, -1, TimeBase{1, 90000}}, ""},
        {"pipe, rate given", Pipe(), Asked(0, 0, 10, 1), {640, 480, kResampled, 10, 1, -1, TimeBase{1, 90000}}, ""},
        // A pipe is timed as its frames come, whatever its header says.
        {"pipe, 60 fps header", PipeOn(Fraction{60, 1}, TimeBase{1, 1000}), Asked(0, 0),
         {640, 480, kTimed, 60, 1, -1, TimeBase{1, 1000}}, ""},
        {"pipe without a rate", With(Pipe(), 640, Fraction{0, 1}), Asked(0, 0),
         {640, 480, kTimed, 25, 1, -1, TimeBase{1, 90000}}, ""},
        {"no rate", With(Clip(), 640, Fraction{0, 1}), Asked(0, 0), {}, "the video stream gives no frame rate"},
        {"no size", With(Clip(), 0, Fraction{25, 1}), Asked(0, 0), {}, "the video stream gives no frame size"},
        {"a side too large", Clip(), Asked(70000, 0), {},
         "frames of 70000x52500 are too large (at most 65535 a side and 1 GiB each)"},
        // 60000 bytes a row x 20000 rows is past the 1 GiB frame cap.
        {"frame past the cap", Clip(), Asked(20000, 20000), {},
         "frames of 20000x20000 are too large (at most 65535 a side and 1 GiB each)"},
    };
    for (const Case& c : cases) {
        VideoPlan plan;
        std::string reason;
        const bool planned = PlanVideo(c.facts, c.options, &plan, &reason);
        EXPECT_EQ(reason, c.reason) << c.name;
        EXPECT_EQ(planned, reason.empty()) << c.name;
        if (!planned) continue;
        EXPECT_EQ(plan.width, c.want.width) << c.name;
        EXPECT_EQ(plan.height, c.want.height) << c.name;
        EXPECT_EQ(plan.resample, c.want.how == kResampled) << c.name;
        EXPECT_EQ(plan.timed, c.want.how == kTimed) << c.name;
        EXPECT_EQ(plan.rate, c.want.rate) << c.name;
        EXPECT_EQ(plan.scale, c.want.scale) << c.name;
        EXPECT_EQ(plan.frameCount, c.want.frameCount) << c.name;
        EXPECT_EQ(plan.timeBase.num, c.want.timeBase.num) << c.name;
        EXPECT_EQ(plan.timeBase.den, c.want.timeBase.den) << c.name;
    }
}

TEST(VideoPlan, OrientationFromTheDisplayMatrixAsFfmpegReadsIt) {
    // A matrix made by av_display_rotation_set(90) is one ffmpeg turns
    // clockwise (transpose=clock); the flip comes after the turn, so a
    // quarter turn and a mirror make a plain transpose or its opposite.
    struct Case {
        double angle;
        bool hflip;
        Orientation want;
    };
    const Case cases[] = {
        {0, false, {false, false, false}}, {90, false, {true, false, true}}, {180, false, {false, true, true}},
        {-90, false, {true, true, false}}, {0, true, {false, true, false}},  {90, true, {true, false, false}},
        {-90, true, {true, true, true}},   {88, false, {true, false, true}},
    };
    for (const Case& c : cases) {
        int32_t matrix[9];
        av_display_rotation_set(matrix, c.angle);
        if (c.hflip) av_display_matrix_flip(matrix, 1, 0);
        const Orientation got = OrientationOf(matrix);
        EXPECT_EQ(got.transpose, c.want.transpose) << c.angle << (c.hflip ? " flipped" : "");
        EXPECT_EQ(got.flipX, c.want.flipX) << c.angle << (c.hflip ? " flipped" : "");
        EXPECT_EQ(got.flipY, c.want.flipY) << c.angle << (c.hflip ? " flipped" : "");
    }
    const Orientation none = OrientationOf(nullptr);
    EXPECT_FALSE(none.transpose || none.flipX || none.flipY);
    // Turned a quarter, the size is the displayed picture's, and a width
    // given applies to it.
    StreamFacts turned = Anamorphic();
    turned.orientation = Orientation{true, false, true};
    VideoPlan plan;
    std::string reason;
    ASSERT_TRUE(PlanVideo(turned, Asked(0, 0), &plan, &reason)) << reason;
    EXPECT_EQ(plan.width, 576);
    EXPECT_EQ(plan.height, 1024);
    ASSERT_TRUE(PlanVideo(turned, Asked(288, 0), &plan, &reason)) << reason;
    EXPECT_EQ(plan.height, 512);
}

// Timed frames, in ms at 25 a second: a pause stays a pause, a jump in a
// format whose times restart and a time that runs back are closed up to
// the frame before (and the frames after move with it), a trim passes over
// what lies before its start and stops at its end.
TEST(VideoTimed, PausesStayJumpsAreClosedUp) {
    struct Case {
        const char* name;
        bool restarts;
        int64_t startMs, stopMs;       // the trim, -1: none
        std::vector<int64_t> ticks;    // the frames' times after the first, in ms
        std::vector<int64_t> times;    // when each is shown, in ms; -1: passed over; -2: the stop
        int64_t mended;
    };
    const Case cases[] = {
        {"a 60 s pause", false, 0, -1, {0, 40, 60040, 60080}, {0, 40, 60040, 60080}, 0},
        {"a restart's jump", true, 0, -1, {0, 40, 5594000, 5594040}, {0, 40, 80, 120}, 1},
        {"a time that runs back", false, 0, -1, {60000, 40, 80}, {60000, 60040, 60080}, 1},
        {"trimmed", false, 100, 200, {0, 40, 120, 160, 200, 240}, {-1, -1, 20, 60, -2}, 0},
    };
    for (const Case& c : cases) {
        VideoPlan plan;
        plan.timed = true;
        plan.rate = 25;
        plan.scale = 1;
        plan.timeBase = TimeBase{1, 1000};
        plan.startTicks = c.startMs;
        plan.stopTicks = c.stopMs;
        TimedFrames timed;
        std::vector<int64_t> times;
        for (const int64_t ticks : c.ticks) {
            const TimedPlace place = TimeFrame(&timed, plan, c.restarts, ticks, 40);
            times.push_back(place == TimedPlace::Shown ? timed.time / 1000 : place == TimedPlace::Early ? -1 : -2);
            if (place == TimedPlace::PastStop) break;
        }
        EXPECT_EQ(times, c.times) << c.name;
        EXPECT_EQ(timed.mended, c.mended) << c.name;
    }
}

}  // namespace
