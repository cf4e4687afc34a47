// Reading ahead on a second thread, over a counting stand-in source: the
// frames arrive in order with their own pixels, the outcome that ends them
// arrives in its place with its message and stays, no frame past the limit
// is read, no more than two frames are read ahead of the job, and closing
// while the reader is ahead, blocked in a read, or was never asked for a
// frame returns only once the source is closed. Run under ThreadSanitizer
// once in a while.
#include "host/input/prefetch_source.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace {

using std::chrono::milliseconds;

// Frames 0..frames-1, each filled with its index; then END with "broken".
// A read of frame `blockAt` or later waits (at most ten seconds) until the
// test opens the gate.
struct Counting {
    Counting(int frameCount, FrameRead ending) : frames(frameCount), end(ending) {}
    int frames;
    FrameRead end;
    int blockAt = -1;
    std::atomic<int> reads{0};
    std::atomic<bool> closed{false};
    std::mutex lock;
    std::condition_variable opened;
    bool open = false;
};

void OpenGate(Counting* counting) {
    std::lock_guard<std::mutex> hold(counting->lock);
    counting->open = true;
    counting->opened.notify_all();
}

// Waits up to TIMEOUT for COUNTING to have been read more than READS times;
// its reads then.
int ReadsAfterWaiting(const Counting& counting, int reads, milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (counting.reads <= reads && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(milliseconds(5));
    }
    return counting.reads;
}

FrameRead ReadCounting(FrameSource* source, std::string* problem) {
    Counting* counting = StateOf<Counting>(source);
    const int index = counting->reads++;
    if (counting->blockAt >= 0 && index >= counting->blockAt) {
        std::unique_lock<std::mutex> hold(counting->lock);
        counting->opened.wait_for(hold, std::chrono::seconds(10), [counting] { return counting->open; });
    }
    if (index >= counting->frames) {
        if (counting->end != FrameRead::End) *problem = "broken";
        return counting->end;
    }
    for (uint8_t& byte : source->pixels) byte = static_cast<uint8_t>(index);
    return FrameRead::Frame;
}

const SourceReader kCounting = {ReadCounting};

// COUNTING stays the test's; closing the source marks it closed.
void Open(FrameSource* source, Counting* counting) {
    const std::shared_ptr<void> state(counting, [](void* closed) { static_cast<Counting*>(closed)->closed = true; });
    StartSource(source, &kCounting, state, "counting");
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
    // A limit below what the buffers allow: only the limit stops the reader.
    Counting counting{100, FrameRead::End};
    FrameSource source;
    Open(&source, &counting);
    ASSERT_TRUE(StartPrefetch(&source, 1));
    EXPECT_EQ(ReadsAfterWaiting(counting, 1, milliseconds(300)), 1);
    std::string problem;
    ASSERT_EQ(ReadNextFrame(&source, &problem), FrameRead::Frame);
    EXPECT_EQ(ReadsAfterWaiting(counting, 1, milliseconds(300)), 1);
    CloseSource(&source);
    EXPECT_TRUE(counting.closed);

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

TEST(Prefetch, AtMostTwoFramesAheadOfTheJob) {
    Counting counting{100, FrameRead::End};
    FrameSource source;
    Open(&source, &counting);
    ASSERT_TRUE(StartPrefetch(&source, -1));
    EXPECT_EQ(ReadsAfterWaiting(counting, 2, milliseconds(300)), 2);
    std::string problem;
    ASSERT_EQ(ReadNextFrame(&source, &problem), FrameRead::Frame);
    // The job holds frame 0; frames 1 and 2 are read ahead, and no more.
    EXPECT_EQ(ReadsAfterWaiting(counting, 3, milliseconds(300)), 3);
    CloseSource(&source);
}

TEST(Prefetch, ClosingWaitsForAReaderBlockedInARead) {
    Counting counting{100, FrameRead::End};
    counting.blockAt = 1;
    FrameSource source;
    Open(&source, &counting);
    ASSERT_TRUE(StartPrefetch(&source, -1));
    std::string problem;
    ASSERT_EQ(ReadNextFrame(&source, &problem), FrameRead::Frame);
    ASSERT_EQ(ReadsAfterWaiting(counting, 1, milliseconds(1000)), 2);  // frame 1's read is blocked
    // The read returns well after any fixed wait a close might give it.
    std::thread gate([&counting] {
        std::this_thread::sleep_for(milliseconds(2500));
        OpenGate(&counting);
    });
    CloseSource(&source);
    EXPECT_TRUE(counting.closed);
    gate.join();
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
