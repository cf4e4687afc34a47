// The LZW string table's own allocation failing. The table is the one block
// the encoder takes with calloc rather than through the platform's calls,
// so the stand-ins' fault hooks cannot reach it; this program is linked
// with -Wl,--wrap=calloc instead, and its __wrap_calloc refuses the large
// blocks a table needs while a test asks it to. A frame whose table cannot
// be had must fail cleanly: no picture, nothing held, and a job that ends
// as a failure with no file, afterClose once and no message.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "gif/animation_writer.h"
#include "gif/gif_encoder.h"
#include "gif/gray_convert.h"
#include "gif/lzw_dictionary.h"
#include "gif/status.h"
#include "platform/linux/stand_in_control.h"
#include "tests/unit/clean_state.h"
#include "tests/unit/fake_host.h"
#include "tests/unit/test_frames.h"

namespace {

// A table for 4096 codes takes about 2 MiB; nothing else in a job callocs
// a block of 1 MiB or more.
constexpr size_t kTableSized = 1 << 20;
bool refuseTables = false;
int refused = 0;

}  // namespace

extern "C" void* __real_calloc(size_t count, size_t size);
extern "C" void* __wrap_calloc(size_t count, size_t size) {
    if (refuseTables && size != 0 && count >= kTableSized / size) {
        ++refused;
        return nullptr;
    }
    return __real_calloc(count, size);
}

namespace {

class TableAllocation : public CleanState {
protected:
    void SetUp() override {
        CleanState::SetUp();
        refuseTables = true;
        refused = 0;
    }
    void TearDown() override {
        refuseTables = false;
        const StandInHeld held = StandInHeldNow();
        EXPECT_EQ(held.blocks + held.bitmaps + held.streams + held.librarySessions, 0);
        CleanState::TearDown();
    }
};

TEST_F(TableAllocation, APictureWithoutItsTableIsNotEncoded) {
    std::vector<uint8_t> pixels(static_cast<size_t>(IndexStride(80)) * 60, 7);
    const IndexImage image{pixels.data(), 80, 60, IndexStride(80)};
    std::vector<uint8_t> out(GifEncodedBound(80, 60));
    LzwDictionary* table = nullptr;
    EXPECT_EQ(EncodeGifImage(image, BuildGrayPalette(), out.data(), &table), 0u);
    EXPECT_EQ(table, nullptr);
    EXPECT_EQ(EncodeGifImage(image, BuildGrayPalette(), out.data(), nullptr), 0u);
    EXPECT_EQ(refused, 2);
}

TEST_F(TableAllocation, AJobWhoseFirstFrameHasNoTableFailsAndLeavesNoFile) {
    const std::string path = FreshPath("no_table.gif");
    SetStandInGifLayout(StandInGifLayout::LikeWine);  // every frame through our own encoder
    FakeHost& host = StartFakeHost(path, 80, 60, 30, 1, 3);
    EXPECT_EQ(WriteAnimation(&host.request), kStatusFrameNotEncoded);
    EXPECT_GE(refused, 1);
    EXPECT_EQ(host.afterCloseCalls, 1);
    EXPECT_EQ(host.framesAsked, 1);
    EXPECT_FALSE(FileExists(path.c_str()));
    EXPECT_TRUE(ProbeMessages().empty());
}

}  // namespace
