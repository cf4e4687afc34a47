// Command-line parsing. Options may stand before or after the command; "--"
// ends them, so that a file named like an option can still be given.
#include "host/command_line.h"

#include <cstdlib>
#include <vector>

const char kUsage[] =
    "Usage: rozove [--module PATH] COMMAND [OPTIONS] [FILES]\n"
    "\n"
    "Writes looping animated GIFs in 256 gray levels through the Rozove output\n"
    "module (zezodav_odevad), driving it as its host application does.\n"
    "\n"
    "Commands:\n"
    "  demo [--loop N] [--mask] [OUT.gif]\n"
    "      Write a 3-second built-in clip (320x180, 29.97 frames per second)\n"
    "      to OUT.gif (default demo.gif).\n"
    "  export [--loop N] [--mask] [--frames N] [--size WxH --rate R[/S]] INPUT OUT.gif\n"
    "      Write the frames of INPUT, a Y4M stream (a file, or - for standard\n"
    "      input), to OUT.gif. With --size and --rate, INPUT is raw bgr24.\n"
    "  info\n"
    "      Show what the module's table holds and its current settings.\n"
    "\n"
    "Options:\n"
    "  --module PATH  the module to load (default: the one beside rozove)\n"
    "  --loop N       repeat count, 0 to 65535; 0 (the default) loops for ever\n"
    "  --mask         mask mode: the right half of each frame is a mask whose\n"
    "                 black makes the picture transparent; the GIF is half as wide\n"
    "  --frames N     write at most the first N frames\n"
    "  --size WxH     frame size of raw bgr24 input (top-down rows, no padding)\n"
    "  --rate R[/S]   frame rate of raw input, e.g. 25 or 30000/1001\n"
    "  -h, --help     show this help\n"
    "  --version      show the version\n"
    "\n"
    "Example:\n"
    "  ffmpeg -i clip.mp4 -vf scale=320:-2 -f yuv4mpegpipe - | rozove export - clip.gif\n"
    "\n"
    "Exit status: 0 done, 1 the job failed, 2 usage error, 130 interrupted.\n";

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

bool TakesValue(const std::string& name) {
    return name == "--module" || name == "--loop" || name == "--frames" || name == "--size" || name == "--rate";
}

}  // namespace

bool ParseSize(const std::string& text, int32_t* width, int32_t* height) {
    const size_t x = text.find_first_of("xX");
    int64_t w = 0;
    int64_t h = 0;
    if (x == std::string::npos || !ParseNumber(text.substr(0, x), 1, 65535, &w) ||
        !ParseNumber(text.substr(x + 1), 1, 65535, &h)) {
        return false;
    }
    *width = static_cast<int32_t>(w);
    *height = static_cast<int32_t>(h);
    return true;
}

bool ParseRate(const std::string& text, int32_t* rate, int32_t* scale) {
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
    CommandLine c = {Command::Help, std::string(), 0, false, -1, false, 0, 0, 0, 0, std::string(), std::string()};
    std::vector<std::string> words;
    bool haveSize = false;
    bool haveRate = false;
    bool optionsEnded = false;
    bool sawHelp = false;
    bool sawVersion = false;
    bool sawExportOption = false;
    bool sawJobOption = false;

    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnded || arg == "-" || arg.size() < 2 || arg[0] != '-') {
            words.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            sawHelp = true;
            continue;
        }
        if (arg == "--version") {
            sawVersion = true;
            continue;
        }
        if (arg == "--mask") {
            c.mask = true;
            sawJobOption = true;
            continue;
        }
        std::string name = arg;
        std::string value;
        const size_t equals = arg.find('=');
        if (equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
        }
        if (!TakesValue(name)) {
            *error = "unknown option " + name;
            return false;
        }
        if (equals == std::string::npos) {
            if (i + 1 >= argc) {
                *error = name + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        int64_t number = 0;
        if (name == "--module") {
            c.modulePath = value;
        } else if (name == "--loop") {
            if (!ParseNumber(value, 0, 65535, &number)) {
                *error = "bad --loop " + value + " (a repeat count from 0 to 65535; 0 loops for ever)";
                return false;
            }
            c.loopCount = static_cast<int32_t>(number);
            sawJobOption = true;
        } else if (name == "--frames") {
            if (!ParseNumber(value, 1, INT32_MAX, &number)) {
                *error = "bad --frames " + value + " (a positive number of frames)";
                return false;
            }
            c.frameLimit = number;
            sawExportOption = true;
        } else if (name == "--size") {
            if (!ParseSize(value, &c.rawWidth, &c.rawHeight)) {
                *error = "bad --size " + value + " (WIDTHxHEIGHT, each 1 to 65535, e.g. 320x180)";
                return false;
            }
            haveSize = true;
            sawExportOption = true;
        } else {
            if (!ParseRate(value, &c.rawRate, &c.rawScale)) {
                *error = "bad --rate " + value + " (frames per second as RATE or RATE/SCALE, e.g. 25 or 30000/1001)";
                return false;
            }
            haveRate = true;
            sawExportOption = true;
        }
    }

    if (sawHelp || sawVersion) {
        c.command = sawHelp ? Command::Help : Command::Version;
        *commandLine = c;
        return true;
    }
    if (words.empty()) {
        *error = "no command given (demo, export or info)";
        return false;
    }
    const std::string command = words.front();
    words.erase(words.begin());
    if (command == "demo") {
        c.command = Command::Demo;
        if (words.size() > 1) {
            *error = "demo takes at most one file, the GIF to write";
            return false;
        }
        c.output = words.empty() ? "demo.gif" : words[0];
    } else if (command == "export") {
        c.command = Command::Export;
        if (words.size() != 2) {
            *error = "export takes two files: INPUT (or - for standard input) and OUT.gif";
            return false;
        }
        c.input = words[0];
        c.output = words[1];
        if (haveSize != haveRate) {
            *error = "raw bgr24 input needs both --size and --rate";
            return false;
        }
        c.raw = haveSize;
    } else if (command == "info") {
        c.command = Command::Info;
        if (!words.empty()) {
            *error = "info takes no file";
            return false;
        }
    } else {
        *error = "unknown command " + command + " (demo, export or info)";
        return false;
    }
    if (c.command != Command::Export && sawExportOption) {
        *error = "--frames, --size and --rate belong to export";
        return false;
    }
    if (c.command == Command::Info && sawJobOption) {
        *error = "--loop and --mask belong to demo and export";
        return false;
    }
    if (!c.output.empty() && (c.output == "-" || c.output.back() == '/')) {
        *error = "the output must be a file path, not " + c.output;
        return false;
    }
    *commandLine = c;
    return true;
}
