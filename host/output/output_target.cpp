// The output's checks, the new file beside the output and its move into
// place, the spool for destinations the module cannot be trusted with, and
// the capture of the module's message. On Linux a broken pipe on standard
// output is an error to report (a SIGPIPE our own write raises is no stop,
// see stop_signal), never a silent death.
#include "host/output/output_target.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "host/common/stop_signal.h"
#include "platform/host_os.h"

namespace {

std::string ShortageText(RoomShortage shortage) {
    if (shortage == RoomShortage::Space) return "no space left on the device (ENOSPC)";
    if (shortage == RoomShortage::Quota) return "the disk quota is used up (EDQUOT)";
    return std::string();
}

constexpr size_t kCopyChunk = 1 << 16;

// A device or a pipe by name: the module's writes there fail unseen.
bool NeedsSpool(const std::string& path) {
    return path == "-" || NamesDeviceOrPipe(path);
}

// Copies FROM to TO; false with the reason when a write to TO failed.
bool Copy(std::FILE* from, std::FILE* to, std::string* error) {
    std::vector<char> buffer(kCopyChunk);
    for (;;) {
        const size_t got = std::fread(buffer.data(), 1, buffer.size(), from);
        if (got > 0 && std::fwrite(buffer.data(), 1, got, to) != got) break;
        if (got < buffer.size()) {
            if (std::ferror(from)) {
                *error = "cannot read the spool file back: " + WriteErrorReason(errno);
                return false;
            }
            if (std::fflush(to) != 0) break;
            return true;
        }
    }
    *error = WriteErrorReason(errno);
    return false;
}

// The new file beside FINAL (the output with its links followed), or,
// where its folder takes no new file, FINAL itself when it may be written.
bool StartBeside(const std::string& final, OutputTarget* target, std::string* error) {
    target->finalPath = final;
    target->savePath = final;
    target->existed = IdOfPath(final).known;
    if (MakeFileBeside(final, &target->savePath)) {
        RemoveAtSuddenEnd(target->savePath);
        if (target->existed && !SameOwner(target->savePath, final)) {
            target->warning = target->name + " belongs to another user or group: the new file is yours "
                              "(only root may give a file away)";
        }
        return true;
    }
    const int reason = errno;
    if (target->existed && (reason == EACCES || reason == EPERM)) {
        target->inPlace = true;
        target->warning = "cannot create files in " + FolderOf(final) + ", so " + target->name +
                          " is written in place: if the job fails, the earlier file cannot be kept";
        return true;
    }
    *error = "cannot write " + target->name + ": cannot create a file beside it: " + WriteErrorReason(reason);
    return false;
}

}  // namespace

bool OutputIsInput(const std::string& output, const std::string& input, std::string* error) {
    if (input.empty()) return false;
    const FileId out = output == "-" ? IdOfStandard(StandardStream::Output) : IdOfPath(output);
    const FileId in = input == "-" ? IdOfStandard(StandardStream::Input) : IdOfPath(input);
    if (!SameFile(out, in)) return false;
    const std::string outName = output == "-" ? "standard output" : output;
    const std::string inName = input == "-" ? "the file behind standard input" : "the input itself";
    *error = outName + " is " + inName + "; choose another output file";
    return true;
}

bool OutputIsProgram(const std::string& output, const std::string& module, std::string* error) {
    if (output == "-") return false;
    const FileId out = IdOfPath(output);
    if (SameFile(out, IdOfPath(module))) {
        *error = output + " is the module rozove loads (" + module + "); writing there would destroy it: " +
                 "choose another output file";
        return true;
    }
    if (SameFile(out, IdOfPath(ExecutablePath()))) {
        *error = output + " is rozove itself; writing there would destroy it: choose another output file";
        return true;
    }
    return false;
}

bool OutputIsFolder(const std::string& output, std::string* error) {
    if (output.empty() || output == "-" || (!IsFolderSeparator(output.back()) && !IsFolder(output))) return false;
    // Named alike with or without its trailing slash: one mistake, one message.
    std::string folder = output;
    while (folder.size() > 1 && IsFolderSeparator(folder.back())) folder.pop_back();
    *error = "the output must be a file, not the folder " + folder + " (name the GIF inside it)";
    return true;
}

namespace {

// The kind of still picture BYTES (the first COUNT of a file) begin, or null.
const char* PictureKind(const unsigned char* bytes, size_t count) {
    auto starts = [&](const char* magic, size_t length, size_t at = 0) {
        return count >= at + length && std::memcmp(bytes + at, magic, length) == 0;
    };
    if (starts("\x89PNG\r\n\x1a\n", 8)) return "PNG";
    if (starts("\xff\xd8\xff", 3)) return "JPEG";
    if (starts("RIFF", 4) && starts("WEBP", 4, 8)) return "WebP";
    if (starts("II*\0", 4) || starts("MM\0*", 4)) return "TIFF";
    // A BMP's info header has one of a few sizes, which a text that
    // happens to begin with "BM" does not.
    if (starts("BM", 2) && count >= 18) {
        const uint32_t header = bytes[14] | bytes[15] << 8 | uint32_t(bytes[16]) << 16 | uint32_t(bytes[17]) << 24;
        for (uint32_t size : {12u, 40u, 52u, 56u, 64u, 108u, 124u}) {
            if (header == size) return "BMP";
        }
    }
    return nullptr;
}

}  // namespace

bool OutputIsPicture(const std::string& output, std::string* error) {
    // Never opened unless a regular file: a pipe by name would block here.
    if (output == "-" || NamesDeviceOrPipe(output)) return false;
    std::FILE* file = std::fopen(output.c_str(), "rb");
    if (file == nullptr) return false;
    unsigned char bytes[18];
    const size_t count = std::fread(bytes, 1, sizeof bytes, file);
    std::fclose(file);
    const char* kind = PictureKind(bytes, count);
    if (kind == nullptr) return false;
    *error = output + " is a " + kind + " picture, not the GIF to write; name the GIF last: rozove export INPUT... OUT.gif";
    return true;
}

std::string OutputName(const std::string& output) {
    return output != "-" && NamesStandardStream(output, StandardStream::Output) ? "-" : output;
}

bool OutputIsTerminal(const std::string& output) {
    return output == "-" && IsTerminal(StandardStream::Output);
}

bool StartOutput(const std::string& output, bool staged, OutputTarget* target, std::string* error) {
    const std::string name = output == "-" ? "standard output" : output;
    *target = OutputTarget{output, name, output, output, false, false, false, false, std::string()};
    const std::string final = output == "-" ? output : FollowLinks(output);
    if (output != "-") {
        const std::string reason = CannotWrite(final);
        if (!reason.empty()) {
            *error = "cannot write " + output + ": " + reason;
            return false;
        }
    }
    if (!NeedsSpool(final)) return StartBeside(final, target, error);
    if (staged) {
        target->streamed = true;
        return true;
    }
    if (!MakeTemporaryFile("rozove", &target->savePath)) {
        *error = "cannot create a spool file for " + target->name + ": " + WriteErrorReason(errno);
        return false;
    }
    RemoveAtSuddenEnd(target->savePath);
    target->spooled = true;
    return true;
}

std::FILE* OpenStageSink(const OutputTarget& target, std::string* error) {
    std::FILE* sink = nullptr;
    if (target.path == "-") {
        SetBinaryMode(StandardStream::Output);
        sink = OpenStandardOutputCopy();
    } else {
        sink = OpenForWriting(target.savePath, StopRequested);
    }
    if (sink == nullptr) *error = "cannot write " + target.name + ": " + WriteErrorReason(errno);
    return sink;
}

bool FinishOutput(OutputTarget* target, bool keep, std::string* error) {
    if (target->savePath == target->finalPath) return true;  // finished already, or written in place
    if (!target->spooled) {
        const bool moved = keep && MoveIntoPlace(target->savePath, target->finalPath);
        if (keep && !moved) {
            *error = "cannot write " + target->name + ": cannot move the new file into place: " +
                     WriteErrorReason(errno) + (target->existed ? "; the earlier file was kept" : "");
        }
        if (!moved) std::remove(target->savePath.c_str());
        RemoveAtSuddenEnd(std::string());
        target->savePath = target->finalPath;
        return moved || !keep;
    }
    bool copied = !keep;
    std::FILE* spool = keep ? std::fopen(target->savePath.c_str(), "rb") : nullptr;
    if (keep && spool == nullptr) {
        *error = "cannot read the spool file " + target->savePath + " back: " + WriteErrorReason(errno);
    } else if (keep && target->path == "-") {
        SetBinaryMode(StandardStream::Output);
        copied = Copy(spool, stdout, error);
    } else if (keep) {
        std::FILE* destination = std::fopen(target->path.c_str(), "wb");
        if (destination == nullptr) {
            *error = WriteErrorReason(errno);
        } else {
            copied = Copy(spool, destination, error);
            if (std::fclose(destination) != 0 && copied) {
                *error = WriteErrorReason(errno);
                copied = false;
            }
        }
    }
    if (spool != nullptr) std::fclose(spool);
    std::remove(target->savePath.c_str());
    RemoveAtSuddenEnd(std::string());
    target->spooled = false;
    target->savePath = target->finalPath;
    if (!copied) *error = "cannot write " + target->name + ": " + *error;
    return copied;
}

namespace {

std::string OutgrewLimit(int64_t limit) {
    return "the GIF outgrew the file size limit of " + std::to_string(limit) + " bytes (ulimit -f; EFBIG)";
}

}  // namespace

std::string WriteErrorReason(int error) {
    if (error == EPIPE) return "the program reading it has closed it";
    // The output stage's own write met the limit.
    if (error == EFBIG && FileSizeLimit() >= 0) return OutgrewLimit(FileSizeLimit());
    const std::string shortage = ShortageText(ShortageOfError(error));
    return shortage.empty() ? std::strerror(error) : shortage;
}

std::string WriteFailureReason(const OutputTarget& target, bool opened, int64_t written, int64_t frameBytes) {
    const std::string destination = target.savePath;
    const std::string reason = CannotWrite(destination);
    if (!reason.empty()) return reason;
    if (DeviceIsFull(destination)) return ShortageText(RoomShortage::Space);
    const int64_t limit = FileSizeLimit();
    if (opened && written >= 0 && limit >= 0 && written + frameBytes > limit) {
        return OutgrewLimit(limit);
    }
    // The module removes a file it could not finish, which gives back the
    // room it took; the file system is asked now for that file and one
    // more frame. Refused, it names why the write failed: a full device,
    // or a quota used up, which no free-space figure shows.
    const int64_t wanted = opened && written >= 0 ? written + frameBytes : 0;
    RoomShortage shortage = RoomShortage::None;
    if (AskForRoom(destination, wanted, &shortage)) {
        if (shortage != RoomShortage::None) return ShortageText(shortage);
    } else if (opened && written >= 0) {
        // A file system that sets nothing aside ahead: its free space tells.
        const int64_t left = SpaceLeft(destination);
        if (left >= 0 && left <= wanted) return ShortageText(RoomShortage::Space);
    }
    return opened ? "a write to it failed" : "the module could not open it";
}

bool StartCapture(MessageCapture* capture) {
    *capture = MessageCapture{OpenScratchFile(), -1};
    std::fflush(stdout);
    capture->savedOutput = capture->file != nullptr ? RedirectStandardOutput(capture->file) : -1;
    if (capture->savedOutput < 0) {
        EndCapture(capture);
        return false;
    }
    return true;
}

std::string EndCapture(MessageCapture* capture) {
    std::string text;
    std::fflush(stdout);
    RestoreStandardOutput(capture->savedOutput);
    if (capture->file != nullptr) {
        std::rewind(capture->file);
        char buffer[4096];
        size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, capture->file)) > 0) text.append(buffer, got);
        std::fclose(capture->file);
    }
    *capture = MessageCapture{nullptr, -1};
    return text;
}
