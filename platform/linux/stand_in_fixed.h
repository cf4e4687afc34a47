// The stand-ins' control in the module users install, inlined into the
// stand-ins there (built with ROZOVE_STAND_INS_FIXED): every answer as the
// system gives it. No call fails, the image library lists its GIF encoder
// and saves GIFs as they are encoded, blocks and sleeps are what they say,
// debugger lines are not kept, the message box is printed, and no user
// plays the dialog. The tests' build answers from stand_in_control.cpp and
// stand_in_user.cpp instead.
#pragma once

#include <cstdint>
#include <string>

#include "platform/linux/stand_in_control.h"

inline bool StandInShouldFail(StandInCall) {
    return false;
}

inline bool StandInOffersGif() {
    return true;
}

inline bool StandInOffersLookAlike() {
    return false;
}

inline size_t StandInShapeSavedGif(uint8_t*, size_t length, int64_t) {
    return length;
}

inline StandInZeroFill StandInZeroFillMode() {
    return StandInZeroFill::Skipped;
}

inline bool StandInSleeps() {
    return true;
}

inline bool StandInRoutesDebugLine(const char*) {
    return false;
}

inline void StandInKeepDebugLine(const char*) {}

inline bool StandInRoutesMessageBox(HWND, const char*, const char*, unsigned, int*) {
    return false;
}

inline void StandInShowMessage(const std::string& caption, const std::string& text) {
    StandInPrintMessage(caption, text);
}

inline bool StandInDialogHasUser(const std::string&) {
    return false;
}

inline void StandInPlayDialog(HWND) {}
