// The output file's Windows calls: _fsopen, GetFileAttributesA and
// DeleteFileA, with the fault hooks of every file step. The stream _fsopen
// gives is a standard stdio stream (the system writes, flushes and closes it
// with fwrite, fflush and fclose as on Windows) over callbacks of ours, so
// that a test can make any write, the flush or the close fail.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/linux/stand_in_control.h"
#include "platform/linux/stand_in_internal.h"

namespace {

// Every byte, or 0: stdio then marks the stream failed (a negative count
// is not allowed here).
ssize_t WriteStream(void* cookie, const char* bytes, size_t count) {
    if (StandInShouldFail(StandInCall::FileWrite)) {
        errno = EIO;
        return 0;
    }
    const int descriptor = *static_cast<int*>(cookie);
    size_t done = 0;
    while (done < count) {
        const ssize_t written = write(descriptor, bytes + done, count - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return 0;
        done += static_cast<size_t>(written);
    }
    return static_cast<ssize_t>(done);
}

// The stream is unbuffered, so fflush has nothing left to write and every
// byte has reached the system when fclose comes: a failed flush is then
// what the close reports, as for data the system still held.
int CloseStream(void* cookie) {
    int* descriptor = static_cast<int*>(cookie);
    const bool flushFails = StandInShouldFail(StandInCall::FileFlush);
    const bool closeFails = StandInShouldFail(StandInCall::FileClose);
    const int closed = close(*descriptor);
    delete descriptor;
    return closed != 0 || flushFails || closeFails ? -1 : 0;
}

}  // namespace

std::FILE* _fsopen(const char* path, const char* mode, int) {
    // Linux has no share modes: nothing here keeps another program out.
    if (path == nullptr || std::strcmp(mode, "wb") != 0) return nullptr;
    if (StandInShouldFail(StandInCall::FileOpen)) return nullptr;
    const int descriptor = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (descriptor < 0) return nullptr;
    cookie_io_functions_t functions{};
    functions.write = WriteStream;
    functions.close = CloseStream;
    int* cookie = new int(descriptor);
    std::FILE* stream = fopencookie(cookie, "wb", functions);
    if (stream == nullptr) {
        close(descriptor);
        delete cookie;
        return nullptr;
    }
    // One callback per fwrite: the fault tests count the writes of a job.
    setvbuf(stream, nullptr, _IONBF, 0);
    return stream;
}

DWORD GetFileAttributesA(LPCSTR path) {
    struct stat status;
    if (path == nullptr || stat(path, &status) != 0) return INVALID_FILE_ATTRIBUTES;
    if (S_ISDIR(status.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
    return S_ISREG(status.st_mode) ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_DEVICE;
}

BOOL DeleteFileA(LPCSTR path) {
    // As on Windows, only a file is deleted: not a folder, nor a device
    // such as /dev/full.
    struct stat status;
    if (path == nullptr || stat(path, &status) != 0 || !S_ISREG(status.st_mode)) return FALSE;
    return unlink(path) == 0 ? TRUE : FALSE;
}
