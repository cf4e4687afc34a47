// The output file of a job: a standard binary stream opened without sharing.
// The first failure of any write, the flush or the close is kept, so that a
// full disk is reported as a failure and never as success.
#pragma once

#include <cstddef>
#include <cstdio>

struct OutputFile {
    std::FILE* stream;
    bool failed;
};

// False when the file cannot be opened (a null path included).
bool OpenOutputFile(OutputFile* file, const char* path);
void WriteOutput(OutputFile* file, const void* bytes, size_t count);
// Flushes and closes; false when anything written to the file failed.
bool CloseOutputFile(OutputFile* file);
// Removes a closed output that holds no valid GIF. Only a regular file is
// removed: a path may name a device.
void DiscardOutputFile(const char* path);
