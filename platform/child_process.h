// The processes rozove starts to share one export (host/job/job_parts.h):
// how many cores it may use, and children that talk through pipes.
// child_process_posix.cpp and child_process_win32.cpp each answer it.
#pragma once

#include <string>
#include <vector>

// A process of rozove's own making, talking through pipes: INPUT is the
// write end of its standard input (written without blocking: see
// WriteDescriptor), OUTPUT and ERRORS the read ends of its standard output
// and error. It is in a process group of its own, so a
// terminal's Ctrl-C reaches rozove alone, which passes the stop on.
struct ChildProcess {
    int id;
    int input;
    int output;
    int errors;
};
// The processors this process may run on (1 where it cannot tell).
int UsableCores();
// Starts the program at ARGS[0] with ARGS; false (errno set) where it
// cannot, and on Windows, which starts none.
bool StartChild(const std::vector<std::string>& args, ChildProcess* child);
// Asks the child to stop, as a first Ctrl-C would.
void StopChild(const ChildProcess& child);
// Waits for the child to end (its descriptors left to the caller): its
// exit status, 128 plus the signal that ended it, or -1.
int WaitForChild(ChildProcess* child);
