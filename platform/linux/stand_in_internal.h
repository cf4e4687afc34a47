// What the stand-ins share among themselves and nobody else needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "platform/linux/stand_in_control.h"
#include "platform/linux/stand_ins.h"

// Prints the message to standard output, as the host shows it.
void StandInPrintMessage(const std::string& caption, const std::string& text);

// What the stand-ins ask of their control. The tests' build of the
// stand-ins answers as the tests set it (stand_in_control.cpp,
// stand_in_user.cpp); the module users install answers as the system does,
// inlined (stand_in_fixed.h): no call fails, nothing is kept for a test to
// read, no user plays the dialog.
#if defined(ROZOVE_STAND_INS_FIXED)
#include "platform/linux/stand_in_fixed.h"
#else
// Whether this call of CALL fails.
bool StandInShouldFail(StandInCall call);
// Whether the image library lists a GIF encoder, and before it one whose
// type differs from GIF's in case alone.
bool StandInOffersGif();
bool StandInOffersLookAlike();
// The GIF just encoded into BYTES (LENGTH bytes), laid out as the tests
// asked, for a picture of PIXELS; returns its new length.
size_t StandInShapeSavedGif(uint8_t* bytes, size_t length, int64_t pixels);
// What a block asked for zero-filled holds.
StandInZeroFill StandInZeroFillMode();
// Whether Sleep sleeps.
bool StandInSleeps();
// Whether a test took this debugger line (a null TEXT too).
bool StandInRoutesDebugLine(const char* text);
// Keeps a debugger line for a test to read.
void StandInKeepDebugLine(const char* text);
// Whether a test took this message box, with its ANSWER.
bool StandInRoutesMessageBox(HWND owner, const char* text, const char* caption, unsigned type, int* answer);
// Shows the message: printed, or to a test's handler.
void StandInShowMessage(const std::string& caption, const std::string& text);
// Notes the template a dialog was asked for; whether a user plays it.
bool StandInDialogHasUser(const std::string& templateName);
// The user's turn, once the dialog procedure has had WM_INITDIALOG.
void StandInPlayDialog(HWND dialog);
#endif

struct StandInWindow {
    DLGPROC procedure;
    std::map<int, std::string> texts;
    std::map<int, UINT> checks;
    bool ended;
    INT_PTR result;
};

bool StandInResizeBlock(HGLOBAL block, size_t bytes);
int StandInHeldBlocks();
int StandInHeldBitmaps();
int StandInHeldStreams();
int StandInLibrarySessions();
int StandInHeldStringTables();
// Writing into a stream in place, as an encoder that knows only a bound on
// its output does: room for count bytes at the stream's position (null when
// the block cannot grow), then the bytes actually written kept and passed
// (0 to keep none), the block's size set to what the stream holds.
uint8_t* StandInStreamReserve(IStream* stream, size_t count);
bool StandInStreamCommit(IStream* stream, size_t count);

// Frees the GIF encoder's string table.
void StandInDropStringTable();
// Back to no catchers, no script and nothing kept (stand_in_user.cpp).
void ResetStandInUser();
