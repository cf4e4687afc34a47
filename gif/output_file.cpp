// Output file over stdio. On Windows the file is opened with no sharing, so
// nothing else can open it while the job runs.
#include "gif/output_file.h"

#if defined(_WIN32)
#include <share.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>

#include "platform/linux/stand_in_control.h"
#endif

namespace {

// On Linux the stand-ins may make any file step fail, for fault tests.
bool Injected(int call) {
#if defined(_WIN32)
    (void)call;
    return false;
#else
    return StandInShouldFail(static_cast<StandInCall>(call));
#endif
}

#if defined(_WIN32)
enum { kOpen, kWrite, kFlush, kClose };
#else
enum {
    kOpen = static_cast<int>(StandInCall::FileOpen),
    kWrite = static_cast<int>(StandInCall::FileWrite),
    kFlush = static_cast<int>(StandInCall::FileFlush),
    kClose = static_cast<int>(StandInCall::FileClose),
};
#endif

}  // namespace

bool OpenOutputFile(OutputFile* file, const char* path) {
    file->stream = nullptr;
    file->failed = false;
    if (path == nullptr || Injected(kOpen)) return false;
#if defined(_WIN32)
    file->stream = _fsopen(path, "wb", _SH_DENYRW);
#else
    file->stream = std::fopen(path, "wb");
#endif
    return file->stream != nullptr;
}

void WriteOutput(OutputFile* file, const void* bytes, size_t count) {
    if (file->failed || count == 0) return;
    if (Injected(kWrite) || std::fwrite(bytes, 1, count, file->stream) != count) file->failed = true;
}

bool CloseOutputFile(OutputFile* file) {
    if (Injected(kFlush) || std::fflush(file->stream) != 0) file->failed = true;
    const bool closeFailed = Injected(kClose);
    if (std::fclose(file->stream) != 0 || closeFailed) file->failed = true;
    file->stream = nullptr;
    return !file->failed;
}

void DiscardOutputFile(const char* path) {
#if defined(_WIN32)
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) DeleteFileA(path);
#else
    struct stat status;
    if (stat(path, &status) == 0 && S_ISREG(status.st_mode)) unlink(path);
#endif
}
