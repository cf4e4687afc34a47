// Standard streams closed when rozove starts (as with >&-). Each is pointed
// at the null device before anything else is opened, so that neither the
// GIF nor a scratch file takes its number and gets the text meant for it,
// and a job's outcome does not depend on whether its message could be
// shown; a GIF for standard output is then refused rather than lost.
#pragma once

// Called first in main.
void OpenClosedStreams();

// Standard output was closed at the start.
bool OutputWasClosed();
