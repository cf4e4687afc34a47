// rozove demo and rozove export: one output job from the built-in clip or
// from an input, through the module, with its outcome told in one line.
#pragma once

#include "host/cli/command_line.h"
#include "host/cli/run_outcome.h"

RunOutcome RunDemo(const CommandLine& commandLine);
RunOutcome RunExport(const CommandLine& commandLine);
