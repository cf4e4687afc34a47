// The output's checks, the spool for destinations the module cannot be
// trusted with, and the capture of the module's message. On Linux a
// broken pipe on standard output is an error to report (SIGPIPE is
// ignored, see stop_signal), never a silent death.
#include "host/output/output_target.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <sys/statvfs.h>
#include <unistd.h>
#endif

namespace {

constexpr size_t kCopyChunk = 1 << 16;

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of(
#if defined(_WIN32)
        "\\/:"
#else
        "/"
#endif
    );
    if (slash == std::string::npos) return ".";
    if (slash == 0) return path.substr(0, 1);
    return path.substr(0, slash);
}

std::string Reason(int error) {
    if (error == EPIPE) return "the program reading it has closed it";
    if (error == ENOSPC) return "no space left on the device";
    return std::strerror(error);
}

#if defined(_WIN32)

struct FileId {
    bool known;
    DWORD volume;
    DWORD high;
    DWORD low;
};

FileId IdOfHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info;
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr || !GetFileInformationByHandle(handle, &info)) {
        return FileId{false, 0, 0, 0};
    }
    return FileId{true, info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

FileId IdOfPath(const std::string& path) {
    HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return FileId{false, 0, 0, 0};
    const FileId id = IdOfHandle(handle);
    CloseHandle(handle);
    return id;
}

FileId IdOfStandard(bool output) {
    return IdOfHandle(GetStdHandle(output ? STD_OUTPUT_HANDLE : STD_INPUT_HANDLE));
}

bool Same(const FileId& a, const FileId& b) {
    return a.known && b.known && a.volume == b.volume && a.high == b.high && a.low == b.low;
}

int DuplicateDescriptor(int fd) { return _dup(fd); }
int MoveDescriptor(int from, int to) { return _dup2(from, to); }
void CloseDescriptor(int fd) { _close(fd); }

bool MakeTemporary(const char* prefix, std::string* path) {
    char folder[MAX_PATH + 1];
    char name[MAX_PATH + 16];
    const DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length > MAX_PATH || GetTempFileNameA(folder, prefix, 0, name) == 0) return false;
    *path = name;
    return true;
}

// Folders and read-only files; what else Windows refuses, the module finds.
std::string CannotWrite(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "it is a folder";
        if (attributes & FILE_ATTRIBUTE_READONLY) return "it is read-only";
        return std::string();
    }
    const std::string folder = FolderOf(path);
    const DWORD folderAttributes = GetFileAttributesA(folder.c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES) return "there is no folder " + folder;
    if ((folderAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return folder + " is not a folder";
    return std::string();
}

bool DeviceIsFull(const std::string& path) {
    ULARGE_INTEGER available;
    return GetDiskFreeSpaceExA(FolderOf(path).c_str(), &available, nullptr, nullptr) && available.QuadPart == 0;
}

bool NeedsSpool(const std::string& path) {
    return path == "-";
}

void BinaryOutput() {
    _setmode(_fileno(stdout), _O_BINARY);
}

#else

struct FileId {
    bool known;
    dev_t device;
    ino_t inode;
};

FileId IdOf(int result, const struct stat& status) {
    if (result != 0) return FileId{false, 0, 0};
    return FileId{true, status.st_dev, status.st_ino};
}

FileId IdOfPath(const std::string& path) {
    struct stat status;
    const int result = stat(path.c_str(), &status);
    return IdOf(result, status);
}

FileId IdOfStandard(bool output) {
    struct stat status;
    const int result = fstat(output ? STDOUT_FILENO : STDIN_FILENO, &status);
    // Only a file can be both: every terminal or pipe is its own end.
    if (result == 0 && !S_ISREG(status.st_mode)) return FileId{false, 0, 0};
    return IdOf(result, status);
}

bool Same(const FileId& a, const FileId& b) {
    return a.known && b.known && a.device == b.device && a.inode == b.inode;
}

int DuplicateDescriptor(int fd) { return dup(fd); }
int MoveDescriptor(int from, int to) { return dup2(from, to); }
void CloseDescriptor(int fd) { close(fd); }

bool MakeTemporary(const char* prefix, std::string* path) {
    const char* folder = std::getenv("TMPDIR");
    std::string name = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/" + prefix + "-XXXXXX";
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    const int fd = mkstemp(buffer.data());
    if (fd < 0) return false;
    close(fd);
    *path = buffer.data();
    return true;
}

std::string CannotWrite(const std::string& path) {
    struct stat status;
    if (stat(path.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) return "it is a folder";
        if (access(path.c_str(), W_OK) != 0) return Reason(errno);
        return std::string();
    }
    const std::string folder = FolderOf(path);
    if (stat(folder.c_str(), &status) != 0) return "there is no folder " + folder;
    if (!S_ISDIR(status.st_mode)) return folder + " is not a folder";
    if (access(folder.c_str(), W_OK | X_OK) != 0) return "cannot create files in " + folder + ": " + Reason(errno);
    return std::string();
}

// A file system without blocks at all (/proc, say) is not full, only odd.
bool DeviceIsFull(const std::string& path) {
    struct statvfs status;
    return statvfs(FolderOf(path).c_str(), &status) == 0 && status.f_blocks > 0 && status.f_bavail == 0;
}

// A device or a pipe by name: the module's writes there fail unseen.
bool NeedsSpool(const std::string& path) {
    struct stat status;
    return path == "-" || (stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode));
}

void BinaryOutput() {}

#endif

// Copies FROM to TO; false with the reason when a write to TO failed.
bool Copy(std::FILE* from, std::FILE* to, std::string* error) {
    std::vector<char> buffer(kCopyChunk);
    for (;;) {
        const size_t got = std::fread(buffer.data(), 1, buffer.size(), from);
        if (got > 0 && std::fwrite(buffer.data(), 1, got, to) != got) break;
        if (got < buffer.size()) {
            if (std::ferror(from)) {
                *error = "cannot read the spool file back: " + Reason(errno);
                return false;
            }
            if (std::fflush(to) != 0) break;
            return true;
        }
    }
    *error = Reason(errno);
    return false;
}

}  // namespace

bool OutputIsInput(const std::string& output, const std::string& input, std::string* error) {
    if (input.empty()) return false;
    const FileId out = output == "-" ? IdOfStandard(true) : IdOfPath(output);
    const FileId in = input == "-" ? IdOfStandard(false) : IdOfPath(input);
    if (!Same(out, in)) return false;
    const std::string outName = output == "-" ? "standard output" : output;
    const std::string inName = input == "-" ? "the file behind standard input" : "the input itself";
    *error = outName + " is " + inName + "; choose another output file";
    return true;
}

bool OutputIsTerminal(const std::string& output) {
#if defined(_WIN32)
    return output == "-" && _isatty(_fileno(stdout)) != 0;
#else
    return output == "-" && isatty(STDOUT_FILENO) != 0;
#endif
}

bool StartOutput(const std::string& output, OutputTarget* target, std::string* error) {
    target->path = output;
    target->name = output == "-" ? "standard output" : output;
    target->savePath = output;
    target->spooled = false;
    if (output != "-") {
        const std::string reason = CannotWrite(output);
        if (!reason.empty()) {
            *error = "cannot write " + output + ": " + reason;
            return false;
        }
    }
    if (!NeedsSpool(output)) return true;
    if (!MakeTemporary("rozove", &target->savePath)) {
        *error = "cannot create a spool file for " + target->name + ": " + Reason(errno);
        return false;
    }
    target->spooled = true;
    return true;
}

bool FinishOutput(OutputTarget* target, bool keep, std::string* error) {
    if (!target->spooled) return true;
    bool copied = !keep;
    std::FILE* spool = keep ? std::fopen(target->savePath.c_str(), "rb") : nullptr;
    if (keep && spool == nullptr) {
        *error = "cannot read the spool file " + target->savePath + " back: " + Reason(errno);
    } else if (keep && target->path == "-") {
        BinaryOutput();
        copied = Copy(spool, stdout, error);
    } else if (keep) {
        std::FILE* destination = std::fopen(target->path.c_str(), "wb");
        if (destination == nullptr) {
            *error = Reason(errno);
        } else {
            copied = Copy(spool, destination, error);
            if (std::fclose(destination) != 0 && copied) {
                *error = Reason(errno);
                copied = false;
            }
        }
    }
    if (spool != nullptr) std::fclose(spool);
    std::remove(target->savePath.c_str());
    target->spooled = false;
    if (!copied) *error = "cannot write " + target->name + ": " + *error;
    return copied;
}

std::string WriteFailureReason(const OutputTarget& target, bool opened) {
    const std::string destination = target.savePath;
    const std::string reason = CannotWrite(destination);
    if (!reason.empty()) return reason;
    if (DeviceIsFull(destination)) return "no space left on the device";
    return opened ? "a write to it failed" : "the module could not open it";
}

bool StartCapture(MessageCapture* capture) {
    *capture = MessageCapture{nullptr, std::string(), -1};
    if (!MakeTemporary("rozove-message", &capture->path)) return false;
    capture->file = std::fopen(capture->path.c_str(), "w+b");
    std::fflush(stdout);
    capture->savedOutput = capture->file != nullptr ? DuplicateDescriptor(1) : -1;
    if (capture->savedOutput < 0 || MoveDescriptor(fileno(capture->file), 1) < 0) {
        EndCapture(capture);
        return false;
    }
    return true;
}

std::string EndCapture(MessageCapture* capture) {
    std::string text;
    std::fflush(stdout);
    if (capture->savedOutput >= 0) {
        MoveDescriptor(capture->savedOutput, 1);
        CloseDescriptor(capture->savedOutput);
    }
    if (capture->file != nullptr) {
        std::rewind(capture->file);
        char buffer[4096];
        size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, capture->file)) > 0) text.append(buffer, got);
        std::fclose(capture->file);
    }
    if (!capture->path.empty()) std::remove(capture->path.c_str());
    *capture = MessageCapture{nullptr, std::string(), -1};
    return text;
}
