// Where the GIF goes: a file the module writes itself, or a destination it
// cannot be trusted with (standard output, a device, a pipe by name), which
// it writes through a spool file that rozove then copies, so that every
// write error there is seen with its reason. Also the checks made on the
// output before anything is opened, and the reason a failed write had.
#pragma once

#include <cstdio>
#include <string>

struct OutputTarget {
    std::string path;      // as given; "-" for standard output
    std::string name;      // for messages: the path, or "standard output"
    std::string savePath;  // the file the module writes
    bool spooled;          // savePath is a spool, copied to the destination by FinishOutput
};

// Refuses, before anything is opened, an output that is the input: the
// same path, a link to it, or the file behind standard input or output.
// INPUT is a path, "-" for standard input, or empty (no input).
bool OutputIsInput(const std::string& output, const std::string& input, std::string* error);

// "-" names standard output, and that is a terminal: a GIF would only
// scramble it.
bool OutputIsTerminal(const std::string& output);

// Checks that OUTPUT can be written (not a folder, in a folder that exists
// and lets us write) and sets up TARGET; the spool file is created here.
bool StartOutput(const std::string& output, OutputTarget* target, std::string* error);
// Copies a spool to its destination and removes it (KEEP false: only
// removes it). False with the reason when the destination took no copy.
bool FinishOutput(OutputTarget* target, bool keep, std::string* error);

// Why the module could not open or write the output, as far as the host
// can find out without touching it.
std::string WriteFailureReason(const OutputTarget& target, bool opened);

// The module's completion message, caught from standard output while a job
// runs (when the GIF goes there, or the run is quiet).
struct MessageCapture {
    std::FILE* file;
    std::string path;
    int savedOutput;  // standard output's descriptor, kept while it points at the capture
};
bool StartCapture(MessageCapture* capture);
std::string EndCapture(MessageCapture* capture);
