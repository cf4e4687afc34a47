// Ctrl-C and termination requests. The first SIGINT or SIGTERM only raises
// a flag that the job answers through isAborted, so the module closes a
// valid file; a second one ends the process the usual way. On Linux
// SIGPIPE is ignored, so that a closed standard output is an error with its
// reason rather than a silent end.
#pragma once

void InstallStopHandlers();

// True once SIGINT or SIGTERM has arrived.
bool StopRequested();

// The signal that asked to stop (SIGINT or SIGTERM), 0 when none did.
int StopSignal();
