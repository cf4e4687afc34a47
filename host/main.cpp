// rozove: the command-line host of the Rozove output module. It loads the
// module, finds its table and drives jobs through it as the host
// application does. main parses the command line, hands it to the command
// (demo and export in export_command, info in info_command) and turns how
// the command ended into the exit status.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/cli/command_line.h"
#include "host/cli/export_command.h"
#include "host/input/sources.h"
#include "host/cli/info_command.h"
#include "host/cli/module_origin.h"
#include "host/cli/report.h"
#include "host/cli/run_outcome.h"
#include "host/common/closed_streams.h"
#include "host/common/stop_signal.h"

#ifndef ROZOVE_VERSION
#define ROZOVE_VERSION "unknown"
#endif

namespace {

constexpr int kExitSignalBase = 128;  // the shell's way: 130 for SIGINT

int ExitStatus(RunOutcome outcome) {
    switch (outcome) {
        case RunOutcome::Done: return 0;
        case RunOutcome::Failed: return 1;
        case RunOutcome::Usage: return 2;
        case RunOutcome::Interrupted: {
            const int signal = StopSignal();
            return kExitSignalBase + (signal != 0 ? signal : 2);
        }
    }
    return 1;
}

// The version, the terms, what the build reads (with the versions of the
// libraries it reads video through, as loaded) and the module it loads.
void PrintVersion(const CommandLine& commandLine) {
    std::printf("rozove %s\n%s\nvideo input: %s\n", ROZOVE_VERSION, kLicenceLine,
                VideoInputBuilt() ? "any video FFmpeg's libraries read, Y4M, raw bgr24"
                                  : "Y4M and raw bgr24 (no FFmpeg in this build)");
    if (VideoInputBuilt()) {
        std::string versions;
        const bool loaded = VideoLibraryVersions(&versions);
        std::printf("video libraries: %s%s\n", loaded ? "" : "none loaded: ", versions.c_str());
    }
    std::printf("%s\n", ModuleOrigin(commandLine.modulePath).c_str());
}

RunOutcome Run(const CommandLine& commandLine) {
    switch (commandLine.command) {
        case Command::Help: std::fputs(kUsage, stdout); return RunOutcome::Done;
        case Command::Version: PrintVersion(commandLine); return RunOutcome::Done;
        case Command::Info: return RunInfo(commandLine);
        case Command::Demo: return RunDemo(commandLine);
        case Command::Export: return RunExport(commandLine);
    }
    return RunOutcome::Usage;
}

}  // namespace

int main(int argc, char** argv) {
    OpenClosedStreams();
    CommandLine commandLine;
    std::string error;
    if (!ParseCommandLine(argc, argv, &commandLine, &error)) {
        Fail(error + " (see rozove --help)");
        return ExitStatus(RunOutcome::Usage);
    }
    InstallStopHandlers();
    RunOutcome outcome = Run(commandLine);
    // What went to standard output must have arrived: a closed or full one fails the run.
    if ((std::fflush(stdout) != 0 || std::ferror(stdout)) && outcome == RunOutcome::Done) {
        Fail(std::string("cannot write standard output: ") +
             (errno == EPIPE ? "the program reading it has closed it" : std::strerror(errno)));
        outcome = RunOutcome::Failed;
    }
    return ExitStatus(outcome);
}
