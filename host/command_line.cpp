// Command-line parsing over one table of options: each knows whether it
// takes a value, which commands it belongs to and how it is stored.
// Options may stand before or after the command; "--" ends them, so that a
// file named like an option can still be given.
#include "host/command_line.h"

#include <cmath>
#include <cstdlib>
#include <type_traits>
#include <vector>

#include "gif/gif_limits.h"

const char kUsage[] =
    "Usage: rozove [--module PATH] COMMAND [OPTIONS] [FILES]\n"
    "\n"
    "Writes looping animated GIFs in 256 gray levels through the Rozove output\n"
    "module (zezodav_odevad), driving it as its host application does.\n"
    "\n"
    "Commands:\n"
    "  demo [--loop N] [--mask] [--quiet] [OUT.gif]\n"
    "      Write a 3-second built-in clip (320x180, 29.97 frames per second)\n"
    "      to OUT.gif (default demo.gif).\n"
    "  export [OPTIONS] INPUT OUT.gif\n"
    "      Write the frames of INPUT (a file, or - for standard input) to\n"
    "      OUT.gif (- for standard output). INPUT is any video FFmpeg reads\n"
    "      (Linux build) or a Y4M stream; with --size and --rate, raw bgr24.\n"
    "  info\n"
    "      Show what the module's table holds and its current settings.\n"
    "\n"
    "Options:\n"
    "  --module PATH  the module to load (default: ../lib/rozove/ or beside rozove)\n"
    "  --loop N       repeat count, 0 to 65535; 0 (the default) loops for ever\n"
    "  --mask         mask mode: the right half of each frame is a mask whose\n"
    "                 black makes the picture transparent; the GIF is half as wide\n"
    "  --frames N     write at most the first N frames\n"
    "  --width N      scale to N pixels wide (--height: high); given alone, the\n"
    "  --height N     other side keeps the aspect; video input, Linux build\n"
    "  --fps R        resample to R frames per second, e.g. 15 or 12.5; video\n"
    "                 input, Linux build\n"
    "  --size WxH     frame size of raw bgr24 input (top-down rows, no padding)\n"
    "  --rate R       frame rate of raw input: 25, 30000/1001 or 29.97\n"
    "  -q, --quiet    no progress bar, warnings or completion message\n"
    "  --verbose      the video libraries' own messages on standard error\n"
    "  -h, --help     show this help\n"
    "  --version      show the version\n"
    "\n"
    "Examples (after scripts/build.sh linux):\n"
    "  build/linux/rozove demo\n"
    "  build/linux/rozove export --width 320 --fps 15 clip.mp4 clip.gif\n"
    "  ffmpeg -i clip.mp4 -vf scale=320:-2 -f yuv4mpegpipe - | build/linux/rozove export - clip.gif\n"
    "\n"
    "Exit status: 0 done, 1 the job failed or wrote fewer frames than the input\n"
    "held, 2 usage error, 130 (143) interrupted by SIGINT (SIGTERM).\n";

namespace {

bool ParseNumber(const std::string& text, int64_t low, int64_t high, int64_t* value) {
    if (text.empty() || text.size() > 10) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (v < low || v > high) return false;
    *value = v;
    return true;
}

int64_t CommonDivisor(int64_t a, int64_t b) {
    while (b != 0) {
        const int64_t r = a % b;
        a = b;
        b = r;
    }
    return a;
}

bool ParseDecimalRate(const std::string& text, int32_t* rate, int32_t* scale) {
    const size_t point = text.find('.');
    const std::string whole = text.substr(0, point);
    const std::string digits = text.substr(point + 1);
    int64_t w = 0;
    int64_t d = 0;
    if (digits.empty() || digits.size() > 9 || !ParseNumber(whole.empty() ? "0" : whole, 0, INT32_MAX, &w) ||
        !ParseNumber(digits, 0, 999999999, &d)) {
        return false;
    }
    int64_t unit = 1;
    for (size_t i = 0; i < digits.size(); ++i) unit *= 10;
    const double value = static_cast<double>(w) + static_cast<double>(d) / static_cast<double>(unit);
    // The NTSC rates are written rounded (29.97 for 30000/1001); take the
    // exact one when the digits written are what it rounds to.
    const int64_t ntsc = std::llround(value * 1.001);
    if (d != 0 && digits.size() >= 2 && ntsc >= 1 && ntsc <= INT32_MAX / 1000 &&
        std::fabs(static_cast<double>(ntsc) * 1000.0 / 1001.0 - value) < 0.5 / static_cast<double>(unit)) {
        *rate = static_cast<int32_t>(ntsc * 1000);
        *scale = 1001;
        return true;
    }
    const int64_t numerator = w * unit + d;
    const int64_t divisor = CommonDivisor(numerator, unit);
    if (numerator == 0 || numerator / divisor > INT32_MAX) return false;
    *rate = static_cast<int32_t>(numerator / divisor);
    *scale = static_cast<int32_t>(unit / divisor);
    return true;
}

enum : unsigned { kDemo = 1, kExport = 2, kInfo = 4, kJobs = kDemo | kExport, kAll = kDemo | kExport | kInfo };

struct OptionSpec;

struct Parsed {
    CommandLine line;
    bool help;
    bool version;
    bool haveSize;
    bool haveRate;
    std::vector<const OptionSpec*> given;  // checked against the command once it is known
};

// Stores VALUE in PARSED; false with a reason when it is no valid value.
using Store = bool (*)(const std::string& value, Parsed* parsed, std::string* error);

struct OptionSpec {
    const char* name;
    const char* shortName;  // nullptr: none
    bool takesValue;
    unsigned commands;      // where it belongs; help and version go anywhere
    Store store;
    const char* expected;   // what a bad value is told it should be
};

// Stores a whole number from low to high in one field of the command line.
template <auto kField, int64_t kLow, int64_t kHigh>
bool StoreCount(const std::string& value, Parsed* parsed, std::string*) {
    int64_t number = 0;
    if (!ParseNumber(value, kLow, kHigh, &number)) return false;
    using Field = std::remove_reference_t<decltype(parsed->line.*kField)>;
    parsed->line.*kField = static_cast<Field>(number);
    return true;
}

const OptionSpec kOptions[] = {
    {"--module", nullptr, true, kAll,
     [](const std::string& v, Parsed* p, std::string*) { p->line.modulePath = v; return true; }, ""},
    {"--loop", nullptr, true, kJobs,
     StoreCount<&CommandLine::loopCount, 0, 65535>,
     "a repeat count from 0 to 65535; 0 loops for ever"},
    {"--mask", nullptr, false, kJobs,
     [](const std::string&, Parsed* p, std::string*) { p->line.mask = true; return true; }, ""},
    {"--quiet", "-q", false, kJobs,
     [](const std::string&, Parsed* p, std::string*) { p->line.quiet = true; return true; }, ""},
    {"--verbose", nullptr, false, kExport,
     [](const std::string&, Parsed* p, std::string*) { p->line.verbose = true; return true; }, ""},
    {"--frames", nullptr, true, kExport,
     StoreCount<&CommandLine::frameLimit, 1, INT32_MAX>,
     "a positive number of frames"},
    {"--width", nullptr, true, kExport,
     StoreCount<&CommandLine::width, 1, gif_limits::kMaxSide>,
     "pixels, 1 to 65535"},
    {"--height", nullptr, true, kExport,
     StoreCount<&CommandLine::height, 1, gif_limits::kMaxSide>,
     "pixels, 1 to 65535"},
    {"--fps", nullptr, true, kExport,
     [](const std::string& v, Parsed* p, std::string*) {
         return ParseRate(v, &p->line.fpsRate, &p->line.fpsScale);
     },
     "frames per second, e.g. 15, 12.5 or 30000/1001"},
    {"--size", nullptr, true, kExport,
     [](const std::string& v, Parsed* p, std::string*) {
         p->haveSize = ParseSize(v, &p->line.rawWidth, &p->line.rawHeight);
         return p->haveSize;
     },
     "WIDTHxHEIGHT, each 1 to 65535, e.g. 320x180"},
    {"--rate", nullptr, true, kExport,
     [](const std::string& v, Parsed* p, std::string*) {
         p->haveRate = ParseRate(v, &p->line.rawRate, &p->line.rawScale);
         return p->haveRate;
     },
     "frames per second as RATE, RATE/SCALE or a decimal, e.g. 25, 30000/1001 or 29.97"},
    {"--help", "-h", false, kAll,
     [](const std::string&, Parsed* p, std::string*) { p->help = true; return true; }, ""},
    {"--version", nullptr, false, kAll,
     [](const std::string&, Parsed* p, std::string*) { p->version = true; return true; }, ""},
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
        if (files.size() != 2) {
            *error = "export takes two files: INPUT (or - for standard input) and OUT.gif (or - for standard output)";
            return false;
        }
        c->input = files[0];
        c->output = files[1];
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

}  // namespace

bool ParseSize(const std::string& text, int32_t* width, int32_t* height) {
    const size_t x = text.find_first_of("xX");
    int64_t w = 0;
    int64_t h = 0;
    if (x == std::string::npos || !ParseNumber(text.substr(0, x), 1, gif_limits::kMaxSide, &w) ||
        !ParseNumber(text.substr(x + 1), 1, gif_limits::kMaxSide, &h)) {
        return false;
    }
    *width = static_cast<int32_t>(w);
    *height = static_cast<int32_t>(h);
    return true;
}

bool ParseRate(const std::string& text, int32_t* rate, int32_t* scale) {
    if (text.find('.') != std::string::npos) return ParseDecimalRate(text, rate, scale);
    const size_t slash = text.find_first_of("/:");
    int64_t r = 0;
    int64_t s = 1;
    if (!ParseNumber(text.substr(0, slash), 1, INT32_MAX, &r)) return false;
    if (slash != std::string::npos && !ParseNumber(text.substr(slash + 1), 1, INT32_MAX, &s)) return false;
    *rate = static_cast<int32_t>(r);
    *scale = static_cast<int32_t>(s);
    return true;
}

bool ParseCommandLine(int argc, char** argv, CommandLine* commandLine, std::string* error) {
    Parsed p{};
    p.line = CommandLine{Command::Help, std::string(), 0, false, false, -1, false, 0, 0, 0, 0, 0, 0, 0, 0,
                         false, std::string(), std::string()};
    std::vector<std::string> words;
    bool optionsEnded = false;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg == "-" || arg.size() < 2 || arg[0] != '-') {
            words.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
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
            if (i + 1 >= argc) {
                *error = name + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        if (!option->store(value, &p, error)) {
            *error = "bad " + name + " " + value + " (" + option->expected + ")";
            return false;
        }
        p.given.push_back(option);
    }

    if (p.help || p.version) {
        p.line.command = p.help ? Command::Help : Command::Version;
        *commandLine = p.line;
        return true;
    }
    if (words.empty()) {
        *error = "no command given (demo, export or info)";
        return false;
    }
    const std::string command = words.front();
    words.erase(words.begin());
    CommandLine& c = p.line;
    if (!TakeFiles(command, words, &c, error)) return false;
    const unsigned given = c.command == Command::Demo ? kDemo : c.command == Command::Export ? kExport : kInfo;
    for (const OptionSpec* option : p.given) {
        if ((option->commands & given) == 0) {
            *error = std::string(option->name) + " belongs to " + CommandsOf(option->commands);
            return false;
        }
    }
    if (p.haveSize != p.haveRate) {
        *error = "raw bgr24 input needs both --size and --rate";
        return false;
    }
    c.raw = p.haveSize;
    if (c.raw && (c.width != 0 || c.height != 0 || c.fpsRate != 0)) {
        *error = "--width, --height and --fps read video input; raw frames are taken as they come";
        return false;
    }
    if (!c.output.empty() && c.output != "-" && c.output.back() == '/') {
        *error = "the output must be a file path, not " + c.output;
        return false;
    }
    *commandLine = c;
    return true;
}
