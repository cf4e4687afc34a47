// Input files and standard input. A stop request ends a blocked read: the
// signal handler is installed without SA_RESTART, so the read returns with
// EINTR, which we tell apart from a real failure by the stop flag.
#include "host/input_stream.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstring>

#include "host/stop_signal.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace {

#if defined(_WIN32)
typedef struct _stati64 FileStatus;
int StatusOf(std::FILE* file, FileStatus* status) { return _fstati64(_fileno(file), status); }
bool IsRegular(const FileStatus& status) { return (status.st_mode & _S_IFMT) == _S_IFREG; }
#else
typedef struct stat FileStatus;
int StatusOf(std::FILE* file, FileStatus* status) { return fstat(fileno(file), status); }
bool IsRegular(const FileStatus& status) { return S_ISREG(status.st_mode); }
#endif

// After a read came back short: true when it is worth trying again
// (a signal that was not a stop request woke the read).
bool RetryAfterSignal(std::FILE* file, ReadResult* result) {
    if (!std::ferror(file)) return false;
    if (errno != EINTR) {
        *result = ReadResult::Failed;
        return false;
    }
    if (StopRequested()) {
        *result = ReadResult::Interrupted;
        return false;
    }
    std::clearerr(file);
    return true;
}

// A read that came up short after a stop request was cut off by it: on
// Windows Ctrl-C does not wake a blocked read, but it ends the program
// feeding the pipe, which looks like the end of the stream.
ReadResult Settle(ReadResult result) {
    return StopRequested() ? ReadResult::Interrupted : result;
}

}  // namespace

bool OpenInput(const std::string& path, InputStream* input, std::string* error) {
    *input = InputStream{nullptr, false, false, 0, path};
    if (path == "-") {
        input->file = stdin;
        input->name = "standard input";
#if defined(_WIN32)
        _setmode(_fileno(stdin), _O_BINARY);
#endif
    } else {
        input->file = std::fopen(path.c_str(), "rb");
        if (input->file == nullptr) {
            *error = path + ": " + std::strerror(errno);
            return false;
        }
        input->ownsFile = true;
    }
    FileStatus status;
    if (StatusOf(input->file, &status) == 0) {
        if ((status.st_mode & S_IFMT) == S_IFDIR) {
            *error = path + ": is a directory";
            CloseInput(input);
            return false;
        }
        input->regular = IsRegular(status);
        input->size = static_cast<int64_t>(status.st_size);
    }
    return true;
}

void CloseInput(InputStream* input) {
    if (input->file != nullptr && input->ownsFile) std::fclose(input->file);
    input->file = nullptr;
    input->ownsFile = false;
}

ReadResult ReadExact(InputStream* input, void* buffer, size_t bytes) {
    uint8_t* out = static_cast<uint8_t*>(buffer);
    size_t got = 0;
    ReadResult result = ReadResult::Complete;
    while (got < bytes) {
        got += std::fread(out + got, 1, bytes - got, input->file);
        if (got == bytes) break;
        if (RetryAfterSignal(input->file, &result)) continue;
        if (result == ReadResult::Complete) result = got == 0 ? ReadResult::End : ReadResult::Short;
        return Settle(result);
    }
    return ReadResult::Complete;
}

ReadResult ReadLine(InputStream* input, std::string* line, size_t limit) {
    line->clear();
    ReadResult result = ReadResult::Complete;
    while (line->size() < limit) {
        const int c = std::getc(input->file);
        if (c == '\n') return ReadResult::Complete;
        if (c != EOF) {
            line->push_back(static_cast<char>(c));
            continue;
        }
        if (RetryAfterSignal(input->file, &result)) continue;
        if (result == ReadResult::Complete) result = line->empty() ? ReadResult::End : ReadResult::Short;
        return Settle(result);
    }
    return ReadResult::Short;
}

bool SeekInput(InputStream* input, int64_t offset) {
#if defined(_WIN32)
    return _fseeki64(input->file, offset, SEEK_SET) == 0;
#else
    return fseeko(input->file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

#if defined(_WIN32)

namespace {

bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool ok = GetFileInformationByHandle(handle, info) != 0;
    CloseHandle(handle);
    return ok;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION first;
    BY_HANDLE_FILE_INFORMATION second;
    if (!FileIdentity(a, &first) || !FileIdentity(b, &second)) return false;
    return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

#else

bool SameFile(const std::string& a, const std::string& b) {
    struct stat first;
    struct stat second;
    if (stat(a.c_str(), &first) != 0 || stat(b.c_str(), &second) != 0) return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

#endif
