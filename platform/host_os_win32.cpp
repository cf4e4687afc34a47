// The host's operating-system seam on Windows: the C runtime's descriptors
// (_isatty, _setmode, _dup2), the console's width, file attributes and file
// indexes for output checks and identity, GetTempFileName and MoveFileEx
// for replacing the output, LoadLibrary for the module (whose message box is
// redirected, see message_box_win32.h), and the runtime's signal().
#include "platform/host_os.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <windows.h>

#include <cerrno>
#include <csignal>

#include "platform/win32/message_box_win32.h"

namespace {

std::FILE* StreamOf(StandardStream stream) {
    switch (stream) {
        case StandardStream::Input: return stdin;
        case StandardStream::Output: return stdout;
        default: return stderr;
    }
}

DWORD HandleNumberOf(StandardStream stream) {
    switch (stream) {
        case StandardStream::Input: return STD_INPUT_HANDLE;
        case StandardStream::Output: return STD_OUTPUT_HANDLE;
        default: return STD_ERROR_HANDLE;
    }
}

FileId IdOfHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info;
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr || !GetFileInformationByHandle(handle, &info)) {
        return FileId{false, 0, 0};
    }
    return FileId{true, info.dwVolumeSerialNumber, (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

}  // namespace

bool IsTerminal(StandardStream stream) {
    return _isatty(_fileno(StreamOf(stream))) != 0;
}

int TerminalColumns(StandardStream stream) {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(GetStdHandle(HandleNumberOf(stream)), &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

void SetBinaryMode(StandardStream stream) {
    _setmode(_fileno(StreamOf(stream)), _O_BINARY);
}

bool SeekFile(std::FILE* file, int64_t offset) {
    return _fseeki64(file, offset, SEEK_SET) == 0;
}

FileStatus StatusOfOpenFile(std::FILE* file) {
    struct _stati64 status;
    if (_fstati64(_fileno(file), &status) != 0) return FileStatus{false, false, false, 0};
    const unsigned kind = status.st_mode & _S_IFMT;
    return FileStatus{true, kind == _S_IFDIR, kind == _S_IFREG, static_cast<int64_t>(status.st_size)};
}

FileId IdOfPath(const std::string& path) {
    HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return FileId{false, 0, 0};
    const FileId id = IdOfHandle(handle);
    CloseHandle(handle);
    return id;
}

FileId IdOfStandard(StandardStream stream) {
    return IdOfHandle(GetStdHandle(HandleNumberOf(stream)));
}

bool NamesStandardStream(const std::string& path, StandardStream stream) {
    return SameFile(IdOfPath(path), IdOfStandard(stream));
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A new file takes the folder's permissions; a replaced one's attributes
// (read-only aside, which CannotWrite refuses) are not kept.
bool MakeFileBeside(const std::string& path, std::string* made) {
    char name[MAX_PATH + 16];
    if (GetTempFileNameA(FolderOf(path).c_str(), "rzv", 0, name) == 0) {
        errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
        return false;
    }
    *made = name;
    return true;
}

bool SameOwner(const std::string&, const std::string&) {
    return true;
}

bool MoveIntoPlace(const std::string& from, const std::string& to) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    const DWORD error = GetLastError();
    errno = (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL) ? ENOSPC
            : error == ERROR_ACCESS_DENIED                                 ? EACCES
                                                                           : EIO;
    return false;
}

std::string FollowLinks(const std::string& path) {
    return path;
}

bool MakeTemporaryFile(const char* prefix, std::string* path) {
    char folder[MAX_PATH + 1];
    char name[MAX_PATH + 16];
    const DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length > MAX_PATH || GetTempFileNameA(folder, prefix, 0, name) == 0) return false;
    *path = name;
    return true;
}

std::FILE* OpenScratchFile() {
    std::string path;
    if (!MakeTemporaryFile("rzv", &path)) return nullptr;
    // "D": the C runtime deletes the file when it is closed, or when the
    // process ends, however it ends.
    std::FILE* file = std::fopen(path.c_str(), "w+bD");
    if (file == nullptr) DeleteFileA(path.c_str());
    return file;
}

const char kFolderSeparators[] = "\\/:";

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

int64_t SpaceLeft(const std::string& path) {
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA(FolderOf(path).c_str(), &available, nullptr, nullptr)) return -1;
    return static_cast<int64_t>(available.QuadPart);
}

// The C library here has no EDQUOT: a quota shows only through
// AskForRoom's own system error, ERROR_DISK_QUOTA_EXCEEDED, which
// mingw-w64's headers lack.
constexpr DWORD kDiskQuotaExceeded = 1295;

int64_t FileSizeLimit() {
    return -1;
}

RoomShortage ShortageOfError(int error) {
    return error == ENOSPC ? RoomShortage::Space : RoomShortage::None;
}

bool AskForRoom(const std::string& path, int64_t bytes, RoomShortage* shortage) {
    *shortage = RoomShortage::None;
    std::string name;
    if (!MakeFileBeside(path, &name)) return false;
    const HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DeleteFileA(name.c_str());
        return false;
    }
    FILE_ALLOCATION_INFO allocation{};
    allocation.AllocationSize.QuadPart = bytes;
    const bool set = SetFileInformationByHandle(file, FileAllocationInfo, &allocation, sizeof allocation) != 0;
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (set) return true;
    if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL) *shortage = RoomShortage::Space;
    if (error == kDiskQuotaExceeded) *shortage = RoomShortage::Quota;
    return *shortage != RoomShortage::None;
}

// Only standard output is spooled on Windows; a device by name (NUL, say)
// takes the module's writes directly.
bool NamesDeviceOrPipe(const std::string&) {
    return false;
}

std::FILE* OpenForWriting(const std::string& path, bool (*)()) {
    return std::fopen(path.c_str(), "wb");
}

bool OpenClosedStandardStreams() {
    return false;
}

int RedirectStandardOutput(std::FILE* file) {
    const int saved = _dup(1);
    if (saved < 0) return -1;
    if (_dup2(_fileno(file), 1) < 0) {
        _close(saved);
        return -1;
    }
    return saved;
}

void RestoreStandardOutput(int saved) {
    if (saved < 0) return;
    _dup2(saved, 1);
    _close(saved);
}

// The module writes the file beside the output, or a spool, as the
// application has it write a file: rozove.exe takes constant-rate inputs
// alone, whose delays are the module's own, so nothing needs cutting.
bool OpenModulePipe(ModulePipe*) {
    errno = ENOSYS;
    return false;
}

bool WriteDescriptor(int descriptor, const void* bytes, size_t count, bool (*)()) {
    const char* at = static_cast<const char*>(bytes);
    while (count > 0) {
        const unsigned piece = count > (1u << 30) ? (1u << 30) : static_cast<unsigned>(count);
        const int put = _write(descriptor, at, piece);
        if (put <= 0) return false;
        at += put;
        count -= static_cast<size_t>(put);
    }
    return true;
}

void DrainDescriptors(const std::vector<int>& descriptors) {
    char dropped[1 << 16];
    for (int descriptor : descriptors) {
        while (ReadDescriptor(descriptor, dropped, sizeof dropped) > 0) {
        }
        CloseDescriptor(descriptor);
    }
}

int64_t ReadDescriptor(int, void*, size_t) {
    errno = ENOSYS;
    return -1;
}

void CloseDescriptor(int) {}

bool WaitForReadable(const std::vector<int>&, std::vector<char>*) {
    errno = ENOSYS;
    return false;
}

std::FILE* OpenStandardOutputCopy() {
    const int copy = _dup(1);
    if (copy < 0) return nullptr;
    std::FILE* stream = _fdopen(copy, "wb");
    if (stream == nullptr) _close(copy);
    return stream;
}

void* OpenModule(const std::string& path, std::string* error) {
    char full[MAX_PATH * 2];
    const DWORD fullLength = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    const char* name = (fullLength > 0 && fullLength < sizeof full) ? full : path.c_str();
    // No error dialog when the module or one of its imports is missing.
    const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryExA(name, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    const DWORD loadError = GetLastError();
    SetErrorMode(previousMode);
    if (module == nullptr) {
        *error = "cannot load the module " + path + " (Windows error " + std::to_string(loadError) + ")";
    }
    return module;
}

void* ModuleSymbol(void* module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

bool PrintModuleMessages(void* module, std::string* error) {
    return RedirectMessageBox(static_cast<HMODULE>(module), error);
}

void CloseModule(void* module) {
    FreeLibrary(static_cast<HMODULE>(module));
}

std::string ExecutablePath() {
    char path[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return (length > 0 && length < sizeof path) ? std::string(path, length) : std::string();
}

const char kModuleFileName[] = "zezodav_odevad.auo";

// The runtime resets a handler before it calls it, which gives the
// one-stop-then-default behaviour that SA_RESETHAND gives on POSIX.
void InstallSignalHandlers(void (*onStop)(int)) {
    std::signal(SIGINT, onStop);
    std::signal(SIGTERM, onStop);
}

void RemoveAtSuddenEnd(const std::string&) {}

bool ReadWithoutBlocking(std::FILE*) {
    return false;
}

void ReadBlocking(std::FILE*) {}

void WaitForInput(std::FILE*, int) {}

// Nothing asks on Windows, where only Y4M and raw frames are read: true,
// and the Y4M reader says what is wrong with anything else.
bool StandardInputStartsWith(const char*) {
    return true;
}

// A buffer as large as giflib_job's: a 1080p row is 5,760 bytes, and
// stdio's default 4 KiB buffer would read most rows in two calls.
bool PrepareScatteredReads(std::FILE* file) {
    return std::setvbuf(file, nullptr, _IOFBF, size_t(1) << 20) == 0;
}

int64_t ReadScattered(std::FILE* file, const ReadPiece* pieces, size_t count) {
    int64_t got = 0;
    for (size_t i = 0; i < count; ++i) {
        const size_t read = std::fread(pieces[i].at, 1, pieces[i].bytes, file);
        got += static_cast<int64_t>(read);
        if (read < pieces[i].bytes) break;
    }
    if (got > 0 || !std::ferror(file)) return got;
    std::clearerr(file);
    errno = EIO;
    return -1;
}
