// rozove info: what the module's table holds and its current settings.
#pragma once

#include "host/cli/command_line.h"
#include "host/cli/run_outcome.h"

RunOutcome RunInfo(const CommandLine& commandLine);
