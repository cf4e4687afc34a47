// The signals that ask rozove to stop on POSIX, one list for the handlers
// and for the threads that hold them back: Ctrl-C, termination, the
// terminal closed (SIGHUP), Ctrl-\ (SIGQUIT), and a closed pipe or the file
// size limit (SIGPIPE, SIGXFSZ) when another process sends them.
#pragma once

#include <csignal>

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ};
