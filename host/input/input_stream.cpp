// Input files and standard input, and a look at how an input starts. A
// stop request ends a blocked read: the signal handler is installed without
// SA_RESTART, so the read returns with EINTR, which we tell apart from a
// real failure by the stop flag.
#include "host/input/input_stream.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstring>

#include "host/input/y4m_format.h"

#include "host/common/stop_signal.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
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
bool RetryAfterSignal(std::FILE* file, FrameRead* result) {
    if (!std::ferror(file)) return false;
    if (errno != EINTR) {
        *result = FrameRead::Failed;
        return false;
    }
    if (StopRequested()) {
        *result = FrameRead::Interrupted;
        return false;
    }
    std::clearerr(file);
    return true;
}

// A read that came up short after a stop request was cut off by it: on
// Windows Ctrl-C does not wake a blocked read, but it ends the program
// feeding the pipe, which looks like the end of the stream.
FrameRead Settle(FrameRead result) {
    return StopRequested() ? FrameRead::Interrupted : result;
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

FrameRead ReadExact(InputStream* input, void* buffer, size_t bytes) {
    uint8_t* out = static_cast<uint8_t*>(buffer);
    size_t got = 0;
    FrameRead result = FrameRead::Frame;
    while (got < bytes) {
        got += std::fread(out + got, 1, bytes - got, input->file);
        if (got == bytes) break;
        if (RetryAfterSignal(input->file, &result)) continue;
        if (result == FrameRead::Frame) result = got == 0 ? FrameRead::End : FrameRead::Damaged;
        return Settle(result);
    }
    return FrameRead::Frame;
}

FrameRead ReadLine(InputStream* input, std::string* line, size_t limit) {
    line->clear();
    FrameRead result = FrameRead::Frame;
    while (line->size() < limit) {
        const int c = std::getc(input->file);
        if (c == '\n') return FrameRead::Frame;
        if (c != EOF) {
            line->push_back(static_cast<char>(c));
            continue;
        }
        if (RetryAfterSignal(input->file, &result)) continue;
        if (result == FrameRead::Frame) result = line->empty() ? FrameRead::End : FrameRead::Damaged;
        return Settle(result);
    }
    return FrameRead::Damaged;
}

std::string CutShort(int64_t index, FrameRead read) {
    if (read == FrameRead::Failed) return "read error in " + FrameName(index);
    return "the stream ends in the middle of " + FrameName(index);
}

bool SeekInput(InputStream* input, int64_t offset) {
#if defined(_WIN32)
    return _fseeki64(input->file, offset, SEEK_SET) == 0;
#else
    return fseeko(input->file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

#if defined(_WIN32)

bool StartsLikeY4m(const std::string& path) {
    (void)path;
    return true;  // the Windows build reads nothing else
}

bool StandardInputIsTerminal() {
    return _isatty(_fileno(stdin)) != 0;
}

#else

namespace {

// Compares what arrived so far with the signature: 1 a match, 0 a
// mismatch, -1 too little yet to tell.
int CompareSignature(const char* bytes, size_t got) {
    const size_t length = std::strlen(kY4mSignature);
    const size_t n = got < length ? got : length;
    if (std::memcmp(bytes, kY4mSignature, n) != 0) return 0;
    return n == length ? 1 : -1;
}

// A pipe's first bytes without taking them: tee() copies them into a pipe
// of our own and leaves them for whoever reads standard input next.
bool PipeStartsLikeY4m() {
    int copy[2];
    if (pipe(copy) != 0) return true;
    bool likeY4m = true;
    for (int attempt = 0; attempt < 500; ++attempt) {
        char bytes[16];
        const ssize_t got = tee(STDIN_FILENO, copy[1], sizeof bytes, 0);
        if (got <= 0) break;  // the end (the Y4M reader says "empty"), or a stop request
        const ssize_t taken = read(copy[0], bytes, static_cast<size_t>(got));
        const int verdict = CompareSignature(bytes, taken > 0 ? static_cast<size_t>(taken) : 0);
        if (verdict >= 0) {
            likeY4m = verdict == 1;
            break;
        }
        usleep(20000);  // the writer has sent only part of the signature yet
    }
    close(copy[0]);
    close(copy[1]);
    return likeY4m;
}

}  // namespace

bool StartsLikeY4m(const std::string& path) {
    char bytes[16];
    if (path != "-") {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        if (file == nullptr) return true;  // the Y4M reader names the problem
        const size_t got = std::fread(bytes, 1, sizeof bytes, file);
        std::fclose(file);
        return got == 0 || CompareSignature(bytes, got) != 0;
    }
    struct stat status;
    if (fstat(STDIN_FILENO, &status) != 0) return true;
    if (S_ISFIFO(status.st_mode)) return PipeStartsLikeY4m();
    if (!S_ISREG(status.st_mode)) return false;
    const off_t at = lseek(STDIN_FILENO, 0, SEEK_CUR);
    const ssize_t got = at < 0 ? -1 : pread(STDIN_FILENO, bytes, sizeof bytes, at);
    return got <= 0 || CompareSignature(bytes, static_cast<size_t>(got)) != 0;
}

bool StandardInputIsTerminal() {
    return isatty(STDIN_FILENO) != 0;
}

#endif
