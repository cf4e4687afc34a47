// rozove info: what the module's table holds and its current settings.
#pragma once

#include "host/command_line.h"
#include "host/run_outcome.h"

RunOutcome RunInfo(const CommandLine& commandLine);
