// The command line of rozove: one command and its options, checked before
// anything is loaded or opened.
#pragma once

#include <cstdint>
#include <string>

#include "host/input/input_request.h"

enum class Command {
    Help,
    Version,
    Demo,
    Export,
    Info,
};

struct CommandLine {
    Command command = Command::Help;
    std::string modulePath;   // empty: the module beside the executable
    int32_t loopCount = 0;    // 0 loops for ever
    bool mask = false;
    bool quiet = false;       // no progress bar, warnings or completion message; errors still
    int64_t frameLimit = -1;  // -1: every frame
    int32_t jobs = 0;         // processes the job is shared by; 0: one a usable core
    bool noClobber = false;   // -n: an existing output is left alone (-y, the default, replaces it)
    std::string progressPath; // --progress: key=value blocks to this file, "-" standard output; empty none
    InputRequest input;       // the input and what to make of it (export)
    std::string output;       // "-" for standard output
};

// False with a one-line reason on a usage error.
bool ParseCommandLine(int argc, char** argv, CommandLine* commandLine, std::string* error);

// A whole number from LOW to HIGH as a user types it: digits, optionally
// after a plus sign.
bool ParseOptionNumber(const std::string& text, int64_t low, int64_t high, int64_t* value);
// "WxH", both 1..65535.
bool ParseSize(const std::string& text, int32_t* width, int32_t* height);
// "R", "R/S" or "R:S", both positive 32-bit; or a decimal "R.D", "R." or
// ".D" (a plus sign may lead any of them): the NTSC
// rate N*1000/1001 when that is what the digits written round it to (29.97,
// 23.976, 59.94), otherwise the decimal as an exact fraction (12.5 = 25/2).
bool ParseRate(const std::string& text, int32_t* rate, int32_t* scale);
// A time as ffmpeg takes it: [-]S[.frac][s|ms|us] ("12", "2.5", "65s",
// "1500ms", "+3") or [-][HH:]MM:SS[.frac] ("1:02.5", "00:01:02"), into
// whole MICROSECONDS, negative after a minus sign (the fraction cut past
// the microsecond). False for anything else.
bool ParseTime(const std::string& text, int64_t* microseconds);

extern const char kUsage[];
// The terms in one line, as --version shows them.
extern const char kLicenceLine[];
