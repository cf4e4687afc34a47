// Input files and standard input, and a look at how an input starts. A
// stop request ends a blocked read: the signal handler is installed without
// SA_RESTART, so the read returns with EINTR, which we tell apart from a
// real failure by the stop flag.
#include "host/input/input_stream.h"

#include <cerrno>
#include <cstring>

#include "host/input/y4m_reader.h"

#include "host/common/stop_signal.h"
#include "platform/host_os.h"

namespace {

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
