// What the stand-ins share among themselves and nobody else needs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/linux/stand_in_control.h"
#include "platform/linux/stand_ins.h"

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

void SetMessageBoxSink(StandInMessageBoxSink sink);

void ResetFaults();
void ResetDebugOutput();
void ResetMessageBox();
void ResetDialog();
void ResetImageLibrary();
