// rozove's own lines on standard error: errors and warnings, each one line
// starting "rozove: ", with control characters from input shown escaped.
#pragma once

#include <string>

void Fail(const std::string& message);
void Warn(const std::string& message);
