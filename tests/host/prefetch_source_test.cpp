// Reading ahead on a second thread, over a counting stand-in source: the
// frames arrive in order with their own pixels, the outcome that ends them
// arrives in its place with its message and stays, no frame past the limit
// is read, and closing while the reader is ahead (or was never asked for a
// frame) leaves nothing behind. Run under ThreadSanitizer once in a while.
#include "host/input/prefetch_source.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace {

// Frames 0..frames-1, each filled with its index; then END with "broken".
struct Counting {
    int frames;
    FrameRead end;
    std::atomic<int> reads{0};
    std::atomic<bool> closed{false};
};

FrameRead ReadCounting(FrameSource* source, std::string* problem) {
    Counting* counting = static_cast<Counting*>(source->state);
    const int index = counting->reads++;
    if (index >= counting->frames) {
        if (counting->end != FrameRead::End) *problem = "broken";
        return counting->end;
    }
    for (uint8_t& byte : source->pixels) byte = static_cast<uint8_t>(index);
    return FrameRead::Frame;
}

void CloseCounting(FrameSource* source) {
    static_cast<Counting*>(source->state)->closed = true;
}

const SourceReader kCounting = {ReadCounting, CloseCounting};

void Open(FrameSource* source, Counting* counting) {
    StartSource(source, &kCounting, counting, "counting");
    source->width = 4;
    source->height = 2;
    source->knownFrames = counting->frames;
    source->pixels.assign(64, 0xEE);
}

TEST(Prefetch, FramesInOrderThenTheEndWithItsMessage) {
    for (const FrameRead end : {FrameRead::End, FrameRead::Damaged, FrameRead::Failed}) {
        Counting counting{7, end};
        FrameSource source;
        Open(&source, &counting);
        ASSERT_TRUE(StartPrefetch(&source, -1));
        EXPECT_EQ(source.knownFrames, 7);
        EXPECT_EQ(source.width, 4);
        std::string problem;
        for (int i = 0; i < 7; ++i) {
            ASSERT_EQ(ReadNextFrame(&source, &problem), FrameRead::Frame) << i;
            EXPECT_EQ(source.loaded, i);
            ASSERT_EQ(source.pixels.size(), 64u);
            EXPECT_EQ(source.pixels.front(), i);
            EXPECT_EQ(source.pixels.back(), i);
        }
        for (int again = 0; again < 2; ++again) {
            EXPECT_EQ(ReadNextFrame(&source, &problem), end);
            EXPECT_EQ(problem, end == FrameRead::End ? "" : "broken");
        }
        CloseSource(&source);
        EXPECT_TRUE(counting.closed);
        EXPECT_EQ(counting.reads, 8);
    }
}

TEST(Prefetch, NoReadPastTheFrameLimitAndCloseWhileAhead) {
    Counting counting{100, FrameRead::End};
    FrameSource source;
    Open(&source, &counting);
    ASSERT_TRUE(StartPrefetch(&source, 5));
    std::string problem;
    ASSERT_EQ(ReadNextFrame(&source, &problem), FrameRead::Frame);
    CloseSource(&source);
    EXPECT_TRUE(counting.closed);
    EXPECT_LE(counting.reads, 5);

    Counting limited{100, FrameRead::End};
    Open(&source, &limited);
    ASSERT_TRUE(StartPrefetch(&source, 3));
    for (int i = 0; i < 3; ++i) ASSERT_EQ(ReadNextFrame(&source, &problem), FrameRead::Frame);
    // Past the limit the frames are still there, read directly.
    ASSERT_EQ(ReadNextFrame(&source, &problem), FrameRead::Frame);
    EXPECT_EQ(source.pixels.front(), 3);
    EXPECT_EQ(limited.reads, 4);
    CloseSource(&source);

    Counting unread{3, FrameRead::End};
    Open(&source, &unread);
    ASSERT_TRUE(StartPrefetch(&source, -1));
    CloseSource(&source);
    EXPECT_TRUE(unread.closed);
}

TEST(Prefetch, OnlyAFreshOpenSourceIsWrapped) {
    Counting counting{3, FrameRead::End};
    FrameSource source;
    Open(&source, &counting);
    std::string problem;
    ASSERT_EQ(ReadNextFrame(&source, &problem), FrameRead::Frame);
    EXPECT_FALSE(StartPrefetch(&source, -1));
    EXPECT_EQ(source.reader, &kCounting);
    CloseSource(&source);
    FrameSource closed;
    EXPECT_FALSE(StartPrefetch(&closed, -1));
}

}  // namespace
