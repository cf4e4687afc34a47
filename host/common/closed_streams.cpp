// Standard streams closed at the start, over the platform's
// OpenClosedStandardStreams.
#include "host/common/closed_streams.h"

#include "platform/host_os.h"

namespace {

bool outputClosed = false;  // set once, before any other thread starts

}  // namespace

void OpenClosedStreams() {
    outputClosed = OpenClosedStandardStreams();
}

bool OutputWasClosed() {
    return outputClosed;
}
