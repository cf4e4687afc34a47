// Errors and warnings on standard error.
#include "host/cli/report.h"

#include <cstdio>

#include "host/common/printable.h"

void Fail(const std::string& message) {
    std::fprintf(stderr, "rozove: %s\n", Printable(message).c_str());
}

void Warn(const std::string& message) {
    std::fprintf(stderr, "rozove: warning: %s\n", Printable(message).c_str());
}
