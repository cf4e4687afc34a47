// The control of the stand-ins as a whole: call counting and one-shot
// failures for every stand-in call that can fail, what is still held, and
// the reset to the initial state.
#include <array>

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

void ResetFaults() {
    callCounts.fill(0);
    failAt.fill(-1);
}

StandInHeld StandInHeldNow() {
    return StandInHeld{StandInHeldBlocks(), StandInHeldBitmaps(), StandInHeldStreams(), StandInLibrarySessions(),
                       StandInHeldStringTables()};
}

void ResetStandIns() {
    ResetFaults();
    ResetDebugOutput();
    ResetMessageBox();
    ResetDialog();
    ResetImageLibrary();
    SetStandInZeroFill(StandInZeroFill::Skipped);
}
