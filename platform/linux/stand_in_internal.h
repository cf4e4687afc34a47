// What the stand-ins share among themselves and nobody else needs.
#pragma once

#include <cstddef>

#include "platform/linux/stand_in_control.h"
#include "platform/linux/stand_ins.h"

bool StandInResizeBlock(HGLOBAL block, size_t bytes);
int StandInHeldBlocks();
int StandInHeldBitmaps();
int StandInHeldStreams();
int StandInLibrarySessions();
// Appends bytes at the stream's position, growing its block.
bool StandInStreamWrite(IStream* stream, const void* bytes, size_t count);

void SetMessageBoxSink(StandInMessageBoxSink sink);

void ResetFaults();
void ResetDebugOutput();
void ResetMessageBox();
void ResetDialog();
void ResetImageLibrary();
