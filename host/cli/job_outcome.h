// What one export came to, as the user reads it (job_outcome.cpp).
#pragma once

#include <string>

#include "host/cli/run_outcome.h"
#include "host/input/frame_source.h"
#include "host/job/job.h"
#include "host/output/output_target.h"

// What the output holds after a job that did not finish. OPENED: the
// module opened the file, which loses an earlier one written in place.
std::string Kept(const OutputTarget& target, bool opened = false);

// Says in one line what the job came to and gives how the command ends.
RunOutcome Report(const JobReport& report, const FrameSource& source, const OutputTarget& target);

// Shows the module's completion MESSAGE (captioned CAPTION, the file it
// wrote) with the output as the user named it, in the user's language.
void PassMessageOn(const std::string& message, const std::string& caption, const OutputTarget& target,
                   bool progressOnOutput);

// What became of a timed source's times, one line each, when anything did.
void SayHowTimed(const JobReport& report);

// Whether the file the module wrote replaces the output: only a GIF with
// frames in it, from a job that ended as documented (done, cut, stopped).
bool Keeps(const JobReport& report);
