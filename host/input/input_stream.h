// The input of an export: a file or standard input, read in order, with
// reads that tell a clean end from a cut-off one and give way to Ctrl-C.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "host/common/frame_read.h"
#include "platform/host_os.h"

struct InputStream {
    std::FILE* file;
    bool ownsFile;      // false for standard input
    bool regular;       // a regular file: its size is known and it can seek
    int64_t size;       // bytes, when regular
    std::string name;   // for messages: the path, or "standard input"
};


// Opens PATH, or standard input for "-", in binary mode.
bool OpenInput(const std::string& path, InputStream* input, std::string* error);
void CloseInput(InputStream* input);

// Frame: every byte asked for; End: none, the stream ended before this
// read; Damaged: some, then the end; Failed: a read error; Interrupted: a
// stop was requested while waiting for data.
FrameRead ReadExact(InputStream* input, void* buffer, size_t bytes);

// ReadExact into PIECES in order, straight from the system (the stream was
// set up with PrepareScatteredReads and read by nothing else). PIECES is
// used up as it is filled.
FrameRead ReadPieces(InputStream* input, ReadPiece* pieces, size_t count);

// Reads one line up to its '\n' (not kept). Frame when the line end was
// found; Damaged when the stream or the limit ran out before it.
FrameRead ReadLine(InputStream* input, std::string* line, size_t limit);

// What a Damaged or Failed read of frame INDEX means, for messages.
std::string ShortRead(int64_t index, FrameRead read);

bool SeekInput(InputStream* input, int64_t offset);

// Whether PATH ("-": standard input) starts as a Y4M stream does, found
// without taking a byte from it (a pipe is peeked at). True too when that
// cannot be told: the Y4M reader then says what is wrong.
bool StartsLikeY4m(const std::string& path);

// True when standard input is a terminal: nobody is piping a video into it.
bool StandardInputIsTerminal();
