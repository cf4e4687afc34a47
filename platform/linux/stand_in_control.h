// How tests steer and observe the stand-ins: make any one platform call
// fail at a chosen call index, count what is still held, read the debugger
// output, catch the message box, and script the dialog. Only the tests'
// build of the stand-ins (rozove_system) has these; the module users
// install is built without them (rozove_system_shipped).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/linux/stand_ins.h"

// Every platform call that can fail.
enum class StandInCall {
    GlobalAlloc,
    GdiplusStartup,
    CreateBitmap,
    SetPalette,
    EncodersSize,
    Encoders,
    CreateStream,
    SaveImage,
    StreamSeek,
    StreamRead,
    FileOpen,
    FileWrite,
    FileFlush,
    FileClose,
    kCount
};

// The call of this kind with the given index (0 = the next one) fails.
void FailStandInCall(StandInCall call, int index);
// Calls of this kind since the last reset.
int StandInCallCount(StandInCall call);

// What is still held: blocks, bitmaps, streams, started image libraries
// and their encoder's string table.
struct StandInHeld {
    int blocks;
    int bitmaps;
    int streams;
    int librarySessions;
    int stringTables;
};
StandInHeld StandInHeldNow();

// How the GDI+ stand-in behaves. WithoutExtension drops the graphic control
// extension; LikeWine writes what Wine's GDI+ does: no global colour table
// (screen flags 0x77), a local table after the image descriptor, and no
// graphic control extension.
enum class StandInEncoders { WithGif, WithoutGif };
enum class StandInGifLayout { Conforming, WithoutExtension, LikeWine };
void SetStandInEncoders(StandInEncoders encoders);
void SetStandInGifLayout(StandInGifLayout layout);
// The pixel count of every picture saved as GIF since the last reset.
std::vector<int64_t> StandInSavedPictures();

// Debugger output: everything written since the last take, lines run
// together as the real debugger sees them. Echoed to standard error when
// ROZOVE_DEBUG_OUTPUT is set in the environment.
std::string TakeDebugOutput();

// The message box: caption as given (paths are already UTF-8 here), text
// converted from code page 932. The default handler prints both to standard
// output; it never blocks.
using MessageBoxHandler = std::function<void(const std::string& caption, const std::string& text)>;
void SetMessageBoxHandler(MessageBoxHandler handler);

// The dialog: a script runs once the dialog procedure has had WM_INITDIALOG
// and plays the user. With no script the dialog cannot be created.
using DialogScript = std::function<void(HWND dialog)>;
void SetDialogScript(DialogScript script);
void SetDialogItemText(HWND dialog, int id, const std::string& text);
std::string DialogItemText(HWND dialog, int id);
void PressDialogButton(HWND dialog, int id);  // sends WM_COMMAND with the id
void ClickCheckBox(HWND dialog, int id);      // toggles an auto check box
std::string LastDialogTemplate();

// Sleep really sleeps unless a fuzzer or benchmark that runs jobs by the
// thousand turns it off.
void SetStandInSleep(bool enabled);

// What a block asked for zero-filled (GMEM_ZEROINIT) holds: by default
// whatever the memory held (the module writes every byte of it that it
// reads), zeroes as Windows gives, or a pattern, so that a test can show
// the output does not depend on what the block held.
enum class StandInZeroFill { Skipped, Zeroed, Patterned };
void SetStandInZeroFill(StandInZeroFill fill);

// Back to the initial state: no faults, counters zero, default behaviour.
void ResetStandIns();

// For tests that load the Linux module and see only its exports: every
// debugger line and message box of the module goes, as given, to these
// sinks instead (the Windows tests get the same by redirecting the module's
// imports). The Linux module's test build (tests/module/) exports this one
// function beside its table lookup; the module itself does not. A null sink
// puts back the default behaviour.
typedef void (*StandInDebugSink)(const char* text);
typedef int (*StandInMessageBoxSink)(void* owner, const char* text, const char* caption, unsigned type);
extern "C" void RouteStandInOutput(StandInDebugSink debugSink, StandInMessageBoxSink messageBoxSink);
