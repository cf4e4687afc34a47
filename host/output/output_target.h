// Where the GIF goes. A file is never written in place: the module writes a
// new file beside it (same folder, so the move is one rename), which
// replaces it only when the job ends with frames in it; a failed job leaves
// the earlier file as it was. A destination the module cannot be trusted
// with (standard output, a device, a pipe by name) is written by the
// output stage as the GIF is made (host/output/output_stage.h), so that
// every write error there is seen with its reason; where there is no
// stage (Windows), through a spool file that rozove copies at the end. Also the checks made on the output before anything
// is opened, and the reason a failed write had.
#pragma once

#include <cstdio>
#include <string>

struct OutputTarget {
    std::string path;      // as given; "-" for standard output (or the file behind it)
    std::string name;      // for messages: the path, or "standard output"
    std::string savePath;  // the file the module writes: a spool or the new file beside the output
    std::string finalPath; // where the new file is moved: PATH with its links followed
    bool spooled;          // savePath is a spool, copied to the destination by FinishOutput
    bool streamed;         // the output stage writes PATH itself, as the GIF is made
    bool existed;          // an earlier file was at PATH
    bool inPlace;          // no file could be made beside it: the module writes finalPath itself
    std::string warning;   // what the user should know before the job: in place, another owner
};

// Refuses, before anything is opened, an output that is the input: the
// same path, a link to it, or the file behind standard input or output.
// INPUT is a path, "-" for standard input, or empty (no input).
bool OutputIsInput(const std::string& output, const std::string& input, std::string* error);

// Refuses the module rozove loads, or rozove itself, as the output (by
// path, link or hard link): writing there would destroy the program.
bool OutputIsProgram(const std::string& output, const std::string& module, std::string* error);

// A folder as the output, named with or without a trailing slash.
bool OutputIsFolder(const std::string& output, std::string* error);

// An existing still picture (PNG, JPEG, BMP, WebP, TIFF, told by its
// first bytes) as the output: most likely the last of several images given
// without OUT.gif, which the GIF would replace.
bool OutputIsPicture(const std::string& output, std::string* error);

// "-", or the path of the file behind standard output (/dev/stdout, say),
// which is then written as "-" is: the GIF alone there, messages elsewhere.
std::string OutputName(const std::string& output);

// "-" names standard output, and that is a terminal: a GIF would only
// scramble it.
bool OutputIsTerminal(const std::string& output);

// Checks that OUTPUT can be written (in a folder that exists and lets us
// write) and sets up TARGET; the spool or the new file is created here. A
// link is written through: its target is made or replaced. A writable file
// in a folder where no file can be made is written in place, with a warning.
// STAGED: the output stage can take the module's GIF (StagesOutput).
bool StartOutput(const std::string& output, bool staged, OutputTarget* target, std::string* error);
// Where the output stage writes TARGET: standard output, the device, or
// the new file beside the output, opened here; null with the reason.
std::FILE* OpenStageSink(const OutputTarget& target, std::string* error);
// Moves the new file into place, or copies a spool to its destination,
// and removes what is left (KEEP false: only removes it, so an earlier
// file stays as it was). False with the reason when that failed.
bool FinishOutput(OutputTarget* target, bool keep, std::string* error);

// The reason a write failed, ENOSPC and EDQUOT by name.
std::string WriteErrorReason(int error);

// Why the module could not open or write the output, as far as the host
// can find out without touching it. WRITTEN: the file's size at the last
// frame (-1 unknown); FRAME_BYTES: the most one frame can add.
std::string WriteFailureReason(const OutputTarget& target, bool opened, int64_t written, int64_t frameBytes);

// The module's completion message, caught from standard output while a job
// runs, into a scratch file that has no name to leave behind.
struct MessageCapture {
    std::FILE* file;
    int savedOutput;  // standard output's descriptor, kept while it points at the capture
};
bool StartCapture(MessageCapture* capture);
std::string EndCapture(MessageCapture* capture);
