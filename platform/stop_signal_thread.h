// Which thread of rozove the stop signals (SIGINT, SIGTERM and those taken
// as they are) go to. A read blocked on a silent pipe returns only when a
// signal lands on the thread that reads, so while a second thread reads the
// input, the thread that started it holds the stop signals back and the
// reading thread takes them. Windows has no such signals (Ctrl-C runs a handler on a thread of
// its own), so there both calls do nothing.
#pragma once

// Holds the stop signals back from the calling thread (HOLD true), or
// lets them in again; a held signal waits until it is let in. Threads a
// thread starts inherit its hold. True when they were held before.
bool HoldStopSignals(bool hold);
