// The command line of rozove: one command and its options, checked before
// anything is loaded or opened.
#pragma once

#include <cstdint>
#include <string>

enum class Command {
    Help,
    Version,
    Demo,
    Export,
    Info,
};

struct CommandLine {
    Command command;
    std::string modulePath;  // empty: the module beside the executable
    int32_t loopCount;       // 0 loops for ever
    bool mask;
    int64_t frameLimit;      // -1: every frame
    bool raw;                // raw bgr24 input, with the size and rate below
    int32_t rawWidth;
    int32_t rawHeight;
    int32_t rawRate;
    int32_t rawScale;
    std::string input;       // "-" for standard input
    std::string output;
};

// False with a one-line reason on a usage error.
bool ParseCommandLine(int argc, char** argv, CommandLine* commandLine, std::string* error);

// "WxH", both 1..65535.
bool ParseSize(const std::string& text, int32_t* width, int32_t* height);
// "R", "R/S" or "R:S", both positive 32-bit.
bool ParseRate(const std::string& text, int32_t* rate, int32_t* scale);

extern const char kUsage[];
