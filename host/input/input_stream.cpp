// Input files and standard input, and a look at how an input starts. A
// stop request ends a blocked read: the signal handler is installed without
// SA_RESTART, so the read returns with EINTR, which we tell apart from a
// real failure by the stop flag. A pipe is read without blocking, waiting
// a tenth of a second at a time, so that a stop request that came just
// before a read is still seen while the writer is silent.
#include "host/input/input_stream.h"

#include <cerrno>
#include <cstring>

#include "host/input/y4m_format.h"

#include "host/common/stop_signal.h"
#include "platform/host_os.h"

namespace {

constexpr int kStopCheckMilliseconds = 100;

// After a read failed, with errno saying why: true when it is worth trying
// again (a signal that was not a stop request woke the read, or an empty
// pipe may have bytes again).
bool RetryAfterError(std::FILE* file, FrameRead* result) {
    if (errno == EAGAIN && !StopRequested()) {
        std::clearerr(file);
        WaitForInput(file, kStopCheckMilliseconds);
        return true;
    }
    if (errno != EINTR && errno != EAGAIN) {
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

// The same after a stdio read came back short: false at the end of the input.
bool RetryAfterSignal(std::FILE* file, FrameRead* result) {
    return std::ferror(file) && RetryAfterError(file, result);
}

// PIECES past the first BYTES: the pieces filled are dropped, a piece
// filled in part starts where the bytes ended.
void Advance(ReadPiece** pieces, size_t* count, size_t bytes) {
    while (*count > 0 && bytes >= (*pieces)->bytes) {
        bytes -= (*pieces)->bytes;
        ++*pieces;
        --*count;
    }
    if (*count == 0) return;
    (*pieces)->at = static_cast<uint8_t*>((*pieces)->at) + bytes;
    (*pieces)->bytes -= bytes;
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
        SetBinaryMode(StandardStream::Input);
    } else {
        input->file = std::fopen(path.c_str(), "rb");
        if (input->file == nullptr) {
            *error = path + ": " + std::strerror(errno);
            return false;
        }
        input->ownsFile = true;
    }
    const FileStatus status = StatusOfOpenFile(input->file);
    if (status.known) {
        if (status.folder) {
            *error = path + ": is a directory";
            CloseInput(input);
            return false;
        }
        input->regular = status.regular;
        input->size = status.size;
    }
    if (!input->regular) ReadWithoutBlocking(input->file);
    return true;
}

void CloseInput(InputStream* input) {
    if (input->file != nullptr && !input->regular) ReadBlocking(input->file);
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

FrameRead ReadPieces(InputStream* input, ReadPiece* pieces, size_t count) {
    bool gotSome = false;
    FrameRead result = FrameRead::Frame;
    while (count > 0) {
        const int64_t got = ReadScattered(input->file, pieces, count);
        if (got > 0) {
            gotSome = true;
            Advance(&pieces, &count, static_cast<size_t>(got));
            continue;
        }
        if (got < 0 && RetryAfterError(input->file, &result)) continue;
        if (result == FrameRead::Frame) result = gotSome ? FrameRead::Damaged : FrameRead::End;
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

std::string ShortRead(int64_t index, FrameRead read) {
    if (read == FrameRead::Failed) return "read error in " + FrameName(index);
    return "the stream ends in the middle of " + FrameName(index);
}

bool SeekInput(InputStream* input, int64_t offset) {
    return SeekFile(input->file, offset);
}

bool StartsLikeY4m(const std::string& path) {
    if (path == "-") return StandardInputStartsWith(kY4mSignature);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return true;  // the Y4M reader names the problem
    char bytes[16];
    const size_t got = std::fread(bytes, 1, sizeof bytes, file);
    std::fclose(file);
    const size_t length = std::strlen(kY4mSignature);
    return std::memcmp(bytes, kY4mSignature, got < length ? got : length) == 0;
}

bool StandardInputIsTerminal() {
    return IsTerminal(StandardStream::Input);
}
