// rozove: the command-line host of the Rozove output module. It loads the
// module, finds its table and drives jobs through it as the host
// application does: settings through the settings write entry, output
// through the output entry with frames from a Y4M stream, raw bgr24 frames
// or the built-in demo clip.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/command_line.h"
#include "host/frame_source.h"
#include "host/job.h"
#include "host/module_loader.h"
#include "host/progress.h"
#include "host/stop_signal.h"
#include "platform/code_page_932.h"
#include "settings/settings_block.h"

#ifndef ROZOVE_VERSION
#define ROZOVE_VERSION "unknown"
#endif

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitSignalBase = 128;  // the shell's way: 130 for SIGINT

// Above this many frames per second, frames last under 2 hundredths of a second.
constexpr int64_t kMaxSmoothRate = 50;

void Fail(const std::string& message) {
    std::fprintf(stderr, "rozove: %s\n", message.c_str());
}

bool OpenModule(const CommandLine& commandLine, LoadedModule* module) {
    const std::string path = commandLine.modulePath.empty() ? DefaultModulePath() : commandLine.modulePath;
    std::string error;
    if (!LoadModule(path, module, &error)) {
        Fail(error);
        return false;
    }
    return true;
}

// Why the module could not create PATH, found out without clobbering it.
std::string DescribeWriteFailure(const std::string& path) {
    struct stat status;
    const bool existed = stat(path.c_str(), &status) == 0;
    if (existed && (status.st_mode & S_IFMT) == S_IFDIR) return "it is a folder";
    std::FILE* probe = std::fopen(path.c_str(), "ab");
    if (probe == nullptr) return std::strerror(errno);
    std::fclose(probe);
    if (!existed) std::remove(path.c_str());
    return "the module could not open it";
}

int RunInfo(const LoadedModule& module) {
    const OutputPluginTable* table = module.table;
    std::printf("module       %s\n", module.path.c_str());
    std::printf("name         %s\n", CodePage932ToUtf8(table->name).c_str());
    // The filter: pairs of description and pattern, closed by an empty string.
    const char* filter = table->filter;
    const char* label = "file types   ";
    for (int pair = 0; filter != nullptr && *filter != '\0' && pair < 64; ++pair) {
        const char* pattern = filter + std::strlen(filter) + 1;
        std::printf("%s%s  %s\n", label, CodePage932ToUtf8(filter).c_str(), CodePage932ToUtf8(pattern).c_str());
        label = "             ";
        if (*pattern == '\0') break;
        filter = pattern + std::strlen(pattern) + 1;
    }
    std::printf("information  %s\n", CodePage932ToUtf8(table->information).c_str());
    std::printf("entries      output %s, settings dialog %s, settings read %s, settings write %s\n",
                table->output ? "yes" : "no", table->config ? "yes" : "no", table->configGet ? "yes" : "no",
                table->configSet ? "yes" : "no");
    if (table->configGet == nullptr) return kExitOk;

    const int32_t size = table->configGet(nullptr, 0);
    if (size <= 0 || size > 4096) {
        std::printf("settings     none (the module reports %d bytes)\n", size);
        return kExitOk;
    }
    std::string block(static_cast<size_t>(size), '\0');
    table->configGet(&block[0], size);
    std::printf("settings     %d bytes:", size);
    for (char byte : block) std::printf(" %02x", static_cast<unsigned>(static_cast<uint8_t>(byte)));
    std::printf("\n");
    if (size == settings_block::kBytes) {
        const settings_block::Values values = settings_block::Read(reinterpret_cast<const uint8_t*>(block.data()));
        const int32_t mask = values.useRightHalfAsMask;
        const int32_t loop = values.loopCount;
        std::printf("             mask mode (useRightHalfAsMask) %d: %s\n", mask, mask != 0 ? "on" : "off");
        std::printf("             repeat count (loopCount) %d%s\n", loop, loop == 0 ? ": loops for ever" : "");
    }
    return kExitOk;
}

int ReportJob(const JobOutcome& outcome, const FrameSource& source, const std::string& output) {
    const std::string input = source.input.name;
    const std::string frames = std::to_string(outcome.framesDelivered) +
                               (outcome.framesDelivered == 1 ? " frame" : " frames");
    if (outcome.interrupted) {
        if (outcome.started && outcome.result != 0) {
            Fail("interrupted; " + output + " holds the " + frames + " written before, as a complete GIF");
        } else {
            Fail("interrupted");
        }
        const int signal = StopSignal();
        return kExitSignalBase + (signal != 0 ? signal : 2);
    }
    if (!outcome.started) {
        Fail(input + ": " + (outcome.problem.empty() ? "holds no frame" : outcome.problem) + "; " + output +
             " was not touched");
        return kExitFailed;
    }
    if (outcome.result == 0) {
        if (!outcome.callbacksMade) {
            Fail("cannot write " + output + ": " + DescribeWriteFailure(output));
        } else {
            Fail("the module failed on " + output + " after receiving " + frames);
        }
        return kExitFailed;
    }
    if (!outcome.problem.empty()) {
        Fail(input + ": " + outcome.problem + "; " + output + " holds the " + frames + " before it");
        return kExitFailed;
    }
    return kExitOk;
}

int RunOutput(const CommandLine& commandLine, const LoadedModule& module, FrameSource* source) {
    const OutputPluginTable* table = module.table;
    if (table->output == nullptr || table->configSet == nullptr) {
        Fail(module.path + ": the table lacks the output or the settings write entry");
        return kExitFailed;
    }
    // In mask mode each half is a picture; a frame 1 pixel wide has none.
    if (commandLine.mask && source->width < 2) {
        Fail("mask mode needs frames at least 2 pixels wide; " + commandLine.output + " was not touched");
        return kExitFailed;
    }
    // The settings reach the module as the host's stored block would.
    uint8_t block[settings_block::kBytes];
    settings_block::Write({commandLine.mask ? 1 : 0, commandLine.loopCount}, block);
    if (table->configSet(block, settings_block::kBytes) != settings_block::kBytes) {
        Fail(module.path + ": the module refused the settings block");
        return kExitFailed;
    }
    if (static_cast<int64_t>(source->rate) > kMaxSmoothRate * source->scale) {
        std::fprintf(stderr,
                     "rozove: warning: %.3g frames per second: many viewers and browsers show a frame shorter than "
                     "2 hundredths of a second for a tenth, so this GIF plays slowly there; lower the rate, e.g. "
                     "with ffmpeg -r 25\n",
                     static_cast<double>(source->rate) / source->scale);
    }
    const JobOutcome outcome =
        RunJob(table, source, commandLine.output, commandLine.frameLimit, ErrorIsTerminal());
    return ReportJob(outcome, *source, commandLine.output);
}

int RunCommand(const CommandLine& commandLine) {
    LoadedModule module;
    if (!OpenModule(commandLine, &module)) return kExitFailed;
    int status = kExitOk;
    if (commandLine.command == Command::Info) {
        status = RunInfo(module);
    } else if (commandLine.command == Command::Demo) {
        FrameSource source;
        OpenDemoSource(&source);
        status = RunOutput(commandLine, module, &source);
        CloseSource(&source);
    } else {
        FrameSource source;
        std::string error;
        bool opened = false;
        if (commandLine.input != "-" && SameFile(commandLine.input, commandLine.output)) {
            Fail(commandLine.output + " is the input itself; choose another output file");
            status = kExitUsage;
        } else if (commandLine.raw) {
            opened = OpenRawSource(commandLine.input, commandLine.rawWidth, commandLine.rawHeight,
                                   commandLine.rawRate, commandLine.rawScale, &source, &error);
        } else {
            opened = OpenY4mSource(commandLine.input, &source, &error);
        }
        if (opened) {
            status = RunOutput(commandLine, module, &source);
            CloseSource(&source);
        } else if (status == kExitOk) {
            Fail(StopRequested() ? std::string("interrupted") : error);
            status = StopRequested() ? kExitSignalBase + StopSignal() : kExitFailed;
        }
    }
    UnloadModule(&module);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine commandLine;
    std::string error;
    if (!ParseCommandLine(argc, argv, &commandLine, &error)) {
        Fail(error + " (see rozove --help)");
        return kExitUsage;
    }
    if (commandLine.command == Command::Help) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (commandLine.command == Command::Version) {
        std::printf("rozove %s\n", ROZOVE_VERSION);
        return kExitOk;
    }
    InstallStopHandlers();
    return RunCommand(commandLine);
}
