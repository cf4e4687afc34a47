// Ctrl-C and termination requests. The first SIGINT or SIGTERM only raises
// a flag that the job answers through isAborted, so the module closes a
// valid file; a second one ends the process the usual way.
#pragma once

void InstallStopHandlers();

// True once SIGINT or SIGTERM has arrived.
bool StopRequested();

// The signal that asked to stop (SIGINT or SIGTERM), 0 when none did.
int StopSignal();
