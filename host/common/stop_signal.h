// Stop requests. The first one (Ctrl-C, termination, the terminal closed,
// and the others the platform takes as they are: platform/host_os.h) only
// raises a flag that the job answers through isAborted, so the module
// closes a valid file; a second one ends the process at once, and the
// hidden file beside the output goes with it. A closed standard output is
// an error with its reason rather than a silent end.
#pragma once

void InstallStopHandlers();

// True once a stop request has arrived.
bool StopRequested();

// The signal that asked to stop (SIGINT, SIGTERM, SIGHUP...), 0 when none did.
int StopSignal();
