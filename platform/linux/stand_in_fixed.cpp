// The stand-ins' control in the module users install: every answer as the
// system gives it. No call fails, the image library lists its GIF encoder
// and saves GIFs as they are encoded, blocks and sleeps are what they say,
// debugger lines are not kept, the message box is printed, and no user
// plays the dialog. The tests' build answers from stand_in_control.cpp and
// stand_in_user.cpp instead.
#include "platform/linux/stand_in_internal.h"

bool StandInShouldFail(StandInCall) {
    return false;
}

bool StandInOffersGif() {
    return true;
}

bool StandInOffersLookAlike() {
    return false;
}

size_t StandInShapeSavedGif(uint8_t*, size_t length, int64_t) {
    return length;
}

StandInZeroFill StandInZeroFillMode() {
    return StandInZeroFill::Skipped;
}

bool StandInSleeps() {
    return true;
}

bool StandInRoutesDebugLine(const char*) {
    return false;
}

void StandInKeepDebugLine(const char*) {}

bool StandInRoutesMessageBox(HWND, const char*, const char*, unsigned, int*) {
    return false;
}

void StandInShowMessage(const std::string& caption, const std::string& text) {
    StandInPrintMessage(caption, text);
}

bool StandInDialogHasUser(const std::string&) {
    return false;
}

void StandInPlayDialog(HWND) {}
