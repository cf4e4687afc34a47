// Command-line parsing over one table of options: each knows whether it
// takes a value, which commands it belongs to and how it is stored.
// Options may stand before or after the command; "--" ends them, so that a
// file named like an option can still be given.
#include "host/cli/command_line.h"

#include <algorithm>
#include <type_traits>
#include <vector>

#include "gif/gif_limits.h"
#include "host/cli/frame_rate.h"
#include "host/common/natural_order.h"

namespace {

enum : unsigned { kDemo = 1, kExport = 2, kInfo = 4, kJobs = kDemo | kExport, kAll = kDemo | kExport | kInfo };

struct OptionSpec;

// A time not given: any value a time may have is a valid one, a minus sign
// included, so "none" is one no parse gives.
constexpr int64_t kNoTime = INT64_MIN;

struct Parsed {
    CommandLine line;
    bool help = false;
    bool version = false;
    bool haveSize = false;
    bool haveRate = false;
    bool keepOrder = false;  // --no-sort
    int64_t duration = kNoTime;  // --duration, microseconds
    int64_t to = kNoTime;        // --to, microseconds from the video's start
    std::vector<const OptionSpec*> given;  // checked against the command once it is known
    std::vector<std::string> words;        // the command and its files
};

// Stores VALUE in PARSED; false when it is no valid value.
using Store = bool (*)(const std::string& value, Parsed* parsed);

struct OptionSpec {
    const char* name;
    const char* shortName;  // nullptr: none
    bool takesValue;
    unsigned commands;      // where it belongs; help and version go anywhere
    Store store;
    const char* expected;   // what a bad value is told it should be
};

// Stores a whole number from low to high in the field kAt finds.
template <auto kAt, int64_t kLow, int64_t kHigh>
bool StoreCount(const std::string& value, Parsed* parsed) {
    int64_t number = 0;
    if (!ParseOptionNumber(value, kLow, kHigh, &number)) return false;
    auto& field = kAt(parsed);
    field = static_cast<std::remove_reference_t<decltype(field)>>(number);
    return true;
}

int32_t& LoopCount(Parsed* p) { return p->line.loopCount; }
int64_t& FrameLimit(Parsed* p) { return p->line.frameLimit; }
int32_t& Jobs(Parsed* p) { return p->line.jobs; }
int32_t& Width(Parsed* p) { return p->line.input.video.width; }
int32_t& Height(Parsed* p) { return p->line.input.video.height; }
int32_t& Stream(Parsed* p) { return p->line.input.video.stream; }

template <auto kField>
bool StoreFlag(const std::string&, Parsed* parsed) {
    parsed->*kField = true;
    return true;
}

const OptionSpec kOptions[] = {
    {"--module", nullptr, true, kAll, [](const std::string& v, Parsed* p) { p->line.modulePath = v; return true; }, ""},
    {"--loop", nullptr, true, kJobs, StoreCount<LoopCount, 0, 65535>,
     "a repeat count from 0 to 65535; 0 loops for ever"},
    {"--mask", nullptr, false, kJobs, [](const std::string&, Parsed* p) { return p->line.mask = true; }, ""},
    {"--quiet", "-q", false, kJobs, [](const std::string&, Parsed* p) { return p->line.quiet = true; }, ""},
    {"--jobs", nullptr, true, kJobs, StoreCount<Jobs, 1, 256>, "a number of processes from 1 to 256"},
    {"--verbose", nullptr, false, kExport,
     [](const std::string&, Parsed* p) { return p->line.input.video.verbose = true; }, ""},
    {"--frames", nullptr, true, kExport, StoreCount<FrameLimit, 1, INT32_MAX>,
     "a positive number of frames"},
    {"--width", nullptr, true, kExport, StoreCount<Width, 1, gif_limits::kMaxSide>,
     "pixels, 1 to 65535"},
    {"--height", nullptr, true, kExport, StoreCount<Height, 1, gif_limits::kMaxSide>,
     "pixels, 1 to 65535"},
    {"--fps", nullptr, true, kExport,
     [](const std::string& v, Parsed* p) { return ParseRate(v, &p->line.input.video.fpsRate, &p->line.input.video.fpsScale); },
     "frames per second, e.g. 15, 12.5 or 30000/1001"},
    {"--start", nullptr, true, kExport,
     [](const std::string& v, Parsed* p) {
         return ParseTime(v, &p->line.input.video.startMicroseconds) && p->line.input.video.startMicroseconds >= 0;
     },
     "a time from 0 on: seconds (12.5, 65s, 1500ms) or [HH:]MM:SS[.frac]"},
    {"--duration", nullptr, true, kExport,
     [](const std::string& v, Parsed* p) { return ParseTime(v, &p->duration); },
     "a time: seconds (3, 3s, 3000ms) or [HH:]MM:SS[.frac]"},
    {"--to", nullptr, true, kExport, [](const std::string& v, Parsed* p) { return ParseTime(v, &p->to); },
     "a time: seconds (15, 15s, 15000ms) or [HH:]MM:SS[.frac]"},
    {"--stream", nullptr, true, kExport, StoreCount<Stream, 0, INT32_MAX>,
     "a stream's number from 0, as ffprobe lists it (Stream #0:N)"},
    {"--size", nullptr, true, kExport,
     [](const std::string& v, Parsed* p) { return p->haveSize = ParseSize(v, &p->line.input.raw.width, &p->line.input.raw.height); },
     "WIDTHxHEIGHT, each 1 to 65535, e.g. 320x180"},
    {"--rate", nullptr, true, kExport,
     [](const std::string& v, Parsed* p) { return p->haveRate = ParseRate(v, &p->line.input.raw.rate, &p->line.input.raw.scale); },
     "frames per second as RATE, RATE/SCALE or a decimal, e.g. 25, 30000/1001 or 29.97"},
    // -y replaces an existing output, as rozove does anyway; ffmpeg's users type it.
    {"-y", nullptr, false, kJobs, [](const std::string&, Parsed* p) {
         p->line.noClobber = false;
         return true;
     }, ""},
    {"--no-clobber", "-n", false, kJobs, [](const std::string&, Parsed* p) { return p->line.noClobber = true; }, ""},
    {"--no-sort", nullptr, false, kExport, StoreFlag<&Parsed::keepOrder>, ""},
    {"--progress", nullptr, true, kJobs,
     [](const std::string& v, Parsed* p) {
         p->line.progressPath = v;
         return !v.empty();
     },
     "a file to write the progress to, or - for standard output"},
    {"--help", "-h", false, kAll, StoreFlag<&Parsed::help>, ""},
    {"--version", nullptr, false, kAll, StoreFlag<&Parsed::version>, ""},
};

const OptionSpec* FindOption(const std::string& name) {
    for (const OptionSpec& option : kOptions) {
        if (name == option.name || (option.shortName != nullptr && name == option.shortName)) return &option;
    }
    return nullptr;
}

const char* CommandsOf(unsigned commands) {
    return commands == kExport ? "export" : "demo and export";
}

// One option word at argv[*i], with its value from "=" or the next word.
bool TakeOption(int argc, char** argv, int* i, Parsed* p, std::string* error) {
    const std::string arg = argv[*i];
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const OptionSpec* option = FindOption(name);
    if (option == nullptr) {
        *error = "unknown option " + name;
        return false;
    }
    std::string value;
    if (!option->takesValue && equals != std::string::npos) {
        *error = name + " takes no value";
        return false;
    }
    if (option->takesValue && equals != std::string::npos) {
        value = arg.substr(equals + 1);
    } else if (option->takesValue) {
        if (*i + 1 >= argc) {
            *error = name + " needs a value";
            return false;
        }
        value = argv[++*i];
    }
    if (!option->store(value, p)) {
        *error = "bad " + name + " " + value + " (" + option->expected + ")";
        return false;
    }
    p->given.push_back(option);
    return true;
}

// The files each command takes, checked once the command is known.
bool TakeFiles(const std::string& command, const std::vector<std::string>& files, CommandLine* c,
               std::string* error) {
    if (command == "demo") {
        c->command = Command::Demo;
        if (files.size() > 1) {
            *error = "demo takes at most one file, the GIF to write";
            return false;
        }
        c->output = files.empty() ? "demo.gif" : files[0];
    } else if (command == "export") {
        c->command = Command::Export;
        if (files.size() < 2) {
            *error = "export takes two files: INPUT (or - for standard input) and OUT.gif (or - for standard "
                     "output); several still images may stand before OUT.gif";
            return false;
        }
        c->input.path = files[0];
        c->output = files.back();
        if (files.size() > 2) c->input.stills.assign(files.begin(), files.end() - 1);
    } else if (command == "info") {
        c->command = Command::Info;
        if (!files.empty()) {
            *error = "info takes no file";
            return false;
        }
    } else {
        *error = "unknown command " + command + " (demo, export or info)";
        return false;
    }
    return true;
}

// What holds only once the command is known: the options belong to it,
// raw input has both its size and rate, and nothing asks for what it cannot.
// --duration or --to into the video's one duration, as ffmpeg's -t and -to.
bool SetDuration(Parsed* p, std::string* error) {
    VideoOptions& video = p->line.input.video;
    if (p->duration != kNoTime && p->to != kNoTime) {
        *error = "--duration and --to both say where the GIF ends: give one";
        return false;
    }
    if (p->to != kNoTime && p->to <= video.startMicroseconds) {
        *error = "--to must come after --start";
        return false;
    }
    if (p->duration != kNoTime && p->duration <= 0) {
        *error = "--duration must be more than 0";
        return false;
    }
    video.durationMicroseconds = p->to != kNoTime ? p->to - video.startMicroseconds
                                 : p->duration != kNoTime ? p->duration : -1;
    return true;
}

bool CheckCombination(const Parsed& p, std::string* error) {
    const CommandLine& c = p.line;
    const unsigned given = c.command == Command::Demo ? kDemo : c.command == Command::Export ? kExport : kInfo;
    for (const OptionSpec* option : p.given) {
        if ((option->commands & given) == 0) {
            *error = std::string(option->name) + " belongs to " + CommandsOf(option->commands);
            return false;
        }
    }
    // Several inputs are files read one after another: standard input
    // cannot be one of them, and raw frames come from one file.
    for (const std::string& still : c.input.stills) {
        if (still == "-") {
            *error = "standard input cannot be one of several inputs: several inputs are still image files";
            return false;
        }
    }
    if (c.progressPath == "-" && c.output == "-") {
        *error = "--progress - and the GIF cannot both go to standard output: name a file for one of them";
        return false;
    }
    if (p.haveSize && !c.input.stills.empty()) {
        *error = "raw bgr24 frames come from one input; several inputs are still image files";
        return false;
    }
    if (p.haveSize != p.haveRate) {
        *error = "raw bgr24 input needs both --size and --rate";
        return false;
    }
    if (c.input.video.stream >= 0 && (p.haveSize || !c.input.stills.empty())) {
        *error = "--stream chooses a stream of one video input; raw frames and several still images have one each";
        return false;
    }
    if (p.haveSize && WantsScaling(c.input.video)) {
        *error = "--width, --height, --fps, --start, --duration and --to read video input; "
                 "raw frames are taken as they come";
        return false;
    }
    const std::string rawRate = p.haveRate ? RateRefusal(c.input.raw.rate, c.input.raw.scale) : std::string();
    const std::string fps = c.input.video.fpsRate != 0 ? RateRefusal(c.input.video.fpsRate, c.input.video.fpsScale)
                                                       : std::string();
    if (!rawRate.empty() || !fps.empty()) {
        *error = (rawRate.empty() ? "--fps " : "--rate ") + (rawRate.empty() ? fps : rawRate);
        return false;
    }
    return true;
}

}  // namespace

bool ParseCommandLine(int argc, char** argv, CommandLine* commandLine, std::string* error) {
    Parsed p;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg == "-" || arg.size() < 2 || arg[0] != '-') {
            p.words.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (!TakeOption(argc, argv, &i, &p, error)) {
            return false;
        }
    }
    if (p.help || p.version) {
        p.line.command = p.help ? Command::Help : Command::Version;
        *commandLine = p.line;
        return true;
    }
    if (p.words.empty()) {
        *error = "no command given (demo, export or info)";
        return false;
    }
    const std::string command = p.words.front();
    p.words.erase(p.words.begin());
    if (!TakeFiles(command, p.words, &p.line, error) || !SetDuration(&p, error) ||
        !CheckCombination(p, error)) {
        return false;
    }
    // A shell's glob gives frame10.png before frame2.png.
    std::vector<std::string>& stills = p.line.input.stills;
    if (!p.keepOrder && !stills.empty()) {
        std::stable_sort(stills.begin(), stills.end(), NaturalLess);
        p.line.input.path = stills.front();
    }
    *commandLine = p.line;
    return true;
}
