// The parts' processes on Windows: none.
#include "platform/child_process.h"

#include <cerrno>

int UsableCores() {
    return 1;
}

// rozove.exe has no output stage to put parts together, so it starts no
// child: --jobs runs one job there.
bool StartChild(const std::vector<std::string>&, ChildProcess* child) {
    *child = ChildProcess{-1, -1, -1, -1};
    errno = ENOSYS;
    return false;
}

void StopChild(const ChildProcess&) {}

int WaitForChild(ChildProcess*) {
    return -1;
}
