// The control of the stand-ins, in the tests' build only: call counting and
// one-shot failures for every stand-in call that can fail, what is still
// held, how the image library and the memory blocks behave, and the reset
// to the initial state. The module users install answers the same
// questions from stand_in_fixed.h.
#include <array>
#include <cstring>
#include <vector>

#include "gif/gif_layout.h"
#include "platform/linux/stand_in_control.h"
#include "platform/linux/stand_in_internal.h"

namespace {

constexpr size_t kCalls = static_cast<size_t>(StandInCall::kCount);
std::array<int, kCalls> callCounts{};
std::array<int, kCalls> failAt = [] {
    std::array<int, kCalls> none{};
    none.fill(-1);
    return none;
}();

StandInEncoders encoderList = StandInEncoders::WithGif;
StandInGifLayout gifLayout = StandInGifLayout::Conforming;
std::vector<int64_t> savedPictures;
StandInZeroFill zeroFill = StandInZeroFill::Skipped;
bool sleeping = true;

// Rewrites our encoder's output in place into Wine's layout: the global
// table moves behind the image descriptor as a local one and the graphic
// control extension goes. Returns the new length.
size_t ToWineLayout(uint8_t* bytes, size_t length) {
    using namespace gif_layout;
    constexpr size_t kTable = kSignatureBytes + kScreenDescriptorBytes;  // 13
    constexpr size_t kDescriptor = kExtension + kExtensionBytes;         // 789
    constexpr size_t kDescriptorBytes = 10;
    std::vector<uint8_t> table(bytes + kTable, bytes + kHeadBytes);
    bytes[kScreenFlags] = 0x77;  // no global table; colour resolution and size fields set
    std::memmove(bytes + kTable, bytes + kDescriptor, kDescriptorBytes);
    bytes[kTable + kDescriptorBytes - 1] = 0x87;  // local table of 256 entries
    std::memmove(bytes + kTable + kDescriptorBytes + table.size(), bytes + kDescriptor + kDescriptorBytes,
                 length - kDescriptor - kDescriptorBytes);
    std::memcpy(bytes + kTable + kDescriptorBytes, table.data(), table.size());
    return length - kExtensionBytes;
}

}  // namespace

void FailStandInCall(StandInCall call, int index) {
    const size_t i = static_cast<size_t>(call);
    failAt[i] = callCounts[i] + index;
}

bool StandInShouldFail(StandInCall call) {
    const size_t i = static_cast<size_t>(call);
    return callCounts[i]++ == failAt[i];
}

int StandInCallCount(StandInCall call) {
    return callCounts[static_cast<size_t>(call)];
}

StandInHeld StandInHeldNow() {
    return StandInHeld{StandInHeldBlocks(), StandInHeldBitmaps(), StandInHeldStreams(), StandInLibrarySessions(),
                       StandInHeldStringTables()};
}

void SetStandInEncoders(StandInEncoders encoders) {
    encoderList = encoders;
}

void SetStandInGifLayout(StandInGifLayout layout) {
    gifLayout = layout;
}

std::vector<int64_t> StandInSavedPictures() {
    return savedPictures;
}

bool StandInOffersGif() {
    return encoderList == StandInEncoders::WithGif;
}

bool StandInOffersLookAlike() {
    return true;
}

size_t StandInShapeSavedGif(uint8_t* bytes, size_t length, int64_t pixels) {
    savedPictures.push_back(pixels);
    if (gifLayout == StandInGifLayout::WithoutExtension) {
        // Drop the graphic control extension, as an encoder without one would write.
        const size_t from = gif_layout::kExtension + gif_layout::kExtensionBytes;
        std::memmove(&bytes[gif_layout::kExtension], &bytes[from], length - from);
        return length - gif_layout::kExtensionBytes;
    }
    return gifLayout == StandInGifLayout::LikeWine ? ToWineLayout(bytes, length) : length;
}

void SetStandInZeroFill(StandInZeroFill fill) {
    zeroFill = fill;
}

StandInZeroFill StandInZeroFillMode() {
    return zeroFill;
}

void SetStandInSleep(bool enabled) {
    sleeping = enabled;
}

bool StandInSleeps() {
    return sleeping;
}

void ResetStandIns() {
    callCounts.fill(0);
    failAt.fill(-1);
    encoderList = StandInEncoders::WithGif;
    gifLayout = StandInGifLayout::Conforming;
    savedPictures.clear();
    zeroFill = StandInZeroFill::Skipped;
    StandInDropStringTable();
    ResetStandInUser();
}
