// The host's operating-system seam on Linux and other POSIX systems: stat
// and access for files, mkstemp and rename for replacing the output, ioctl
// for the terminal's width, O_NONBLOCK and poll for input pipes, dlopen for
// the module, and tee() to look at a pipe without emptying it; readv for
// scattered reads. Pipes and standard streams for the output are in
// host_os_pipes_posix.cpp, the stop signals in host_os_stop_posix.cpp.
#include "platform/host_os.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#ifdef __linux__
#include <sys/mman.h>
#endif
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// As many links as Linux follows in one path before it gives ELOOP.
constexpr int kMostLinks = 40;

int DescriptorOf(StandardStream stream) {
    switch (stream) {
        case StandardStream::Input: return STDIN_FILENO;
        case StandardStream::Output: return STDOUT_FILENO;
        default: return STDERR_FILENO;
    }
}

FileId IdOf(int result, const struct stat& status) {
    if (result != 0) return FileId{false, 0, 0};
    return FileId{true, static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
}

// Creates a new file from PATTERN (ending in XXXXXX), naming it in MADE:
// its descriptor, or -1 with errno set.
int MakeUniqueFile(const std::string& pattern, std::string* made) {
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkstemp(buffer.data());
    if (fd >= 0) *made = buffer.data();
    return fd;
}

// Gives the file FD the owner and group of EARLIER, or the group alone;
// false when neither may be given (SameOwner then tells).
bool KeepOwner(int fd, const struct stat& earlier) {
    return fchown(fd, earlier.st_uid, earlier.st_gid) == 0 || fchown(fd, static_cast<uid_t>(-1), earlier.st_gid) == 0;
}

// What is wrong with a path itself, told by the error a look-up gave:
// empty for any other error.
std::string NamingFault(int error) {
    if (error == ELOOP) return "its symbolic links go round in a loop (ELOOP)";
    if (error == ENAMETOOLONG) return "the name is too long for the system (ENAMETOOLONG)";
    return std::string();
}

// Compares what arrived so far with the signature: 1 a match, 0 a
// mismatch, -1 too little yet to tell.
int CompareSignature(const char* signature, const char* bytes, size_t got) {
    const size_t length = std::strlen(signature);
    const size_t n = got < length ? got : length;
    if (std::memcmp(bytes, signature, n) != 0) return 0;
    return n == length ? 1 : -1;
}

// A pipe's first bytes without taking them: tee() copies them into a pipe
// of our own and leaves them for whoever reads standard input next.
bool PipeStartsWith(const char* signature) {
    int copy[2];
    if (pipe(copy) != 0) return true;
    bool starts = true;
    for (int attempt = 0; attempt < 500; ++attempt) {
        char bytes[16];
        const ssize_t got = tee(STDIN_FILENO, copy[1], sizeof bytes, 0);
        if (got <= 0) break;  // the end (the reader says "empty"), or a stop request
        const ssize_t taken = read(copy[0], bytes, static_cast<size_t>(got));
        const int verdict = CompareSignature(signature, bytes, taken > 0 ? static_cast<size_t>(taken) : 0);
        if (verdict >= 0) {
            starts = verdict == 1;
            break;
        }
        usleep(20000);  // the writer has sent only part of the signature yet
    }
    close(copy[0]);
    close(copy[1]);
    return starts;
}

}  // namespace

bool IsTerminal(StandardStream stream) {
    return isatty(DescriptorOf(stream)) != 0;
}

int TerminalColumns(StandardStream stream) {
    struct winsize size = {};
    if (ioctl(DescriptorOf(stream), TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

void SetBinaryMode(StandardStream) {}

bool SeekFile(std::FILE* file, int64_t offset) {
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

FileStatus StatusOfOpenFile(std::FILE* file) {
    struct stat status;
    if (fstat(fileno(file), &status) != 0) return FileStatus{false, false, false, 0};
    return FileStatus{true, S_ISDIR(status.st_mode), S_ISREG(status.st_mode), static_cast<int64_t>(status.st_size)};
}

FileId IdOfPath(const std::string& path) {
    struct stat status;
    const int result = stat(path.c_str(), &status);
    return IdOf(result, status);
}

FileId IdOfStandard(StandardStream stream) {
    struct stat status;
    const int result = fstat(DescriptorOf(stream), &status);
    if (result == 0 && !S_ISREG(status.st_mode)) return FileId{false, 0, 0};
    return IdOf(result, status);
}

bool NamesStandardStream(const std::string& path, StandardStream stream) {
    struct stat named;
    struct stat behind;
    return stat(path.c_str(), &named) == 0 && fstat(DescriptorOf(stream), &behind) == 0 &&
           named.st_dev == behind.st_dev && named.st_ino == behind.st_ino;
}

bool IsFolder(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool MakeFileBeside(const std::string& path, std::string* made) {
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // Hidden, and named after the output, so that one left by a killed job
    // is easy to place; a name near the system's longest is cut (between
    // UTF-8 characters) so that the file beside it fits.
    const size_t room = NAME_MAX - std::strlen("..rozove-XXXXXX");
    if (name.size() > room) {
        size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    const int fd = MakeUniqueFile(JoinPath(FolderOf(path), "." + name + ".rozove-XXXXXX"), made);
    if (fd < 0) return false;
    // mkstemp makes the file ours and private (0600); the GIF gets the
    // owner, group and mode the earlier file had, as far as we may give
    // them (the owner only as root, a group only one of ours), or the mode
    // the umask gives a new file. The mode goes last: a change of owner
    // clears the set-ID bits.
    struct stat earlier;
    mode_t mode = 0;
    if (stat(path.c_str(), &earlier) == 0) {
        KeepOwner(fd, earlier);
        mode = earlier.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    fchmod(fd, mode);
    close(fd);
    return true;
}

bool SameOwner(const std::string& path, const std::string& other) {
    struct stat a;
    struct stat b;
    if (stat(path.c_str(), &a) != 0 || stat(other.c_str(), &b) != 0) return true;
    return a.st_uid == b.st_uid && a.st_gid == b.st_gid;
}

bool MoveIntoPlace(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

// The links are followed one by one rather than by realpath, which gives
// up on a link whose target does not exist yet: that target is the file
// to make.
std::string FollowLinks(const std::string& path) {
    std::string at = path;
    std::vector<char> target(PATH_MAX + 1);
    for (int hop = 0; hop < kMostLinks; ++hop) {
        struct stat status;
        if (lstat(at.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return at;
        const ssize_t length = readlink(at.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<size_t>(length) >= target.size()) return path;
        const std::string to(target.data(), static_cast<size_t>(length));
        at = to[0] == '/' ? to : JoinPath(FolderOf(at), to);
    }
    return path;  // a loop, or too many links: CannotWrite says so (ELOOP)
}

bool MakeTemporaryFile(const char* prefix, std::string* path) {
    const char* folder = std::getenv("TMPDIR");
    const std::string base = folder != nullptr && *folder != '\0' ? folder : "/tmp";
    const int fd = MakeUniqueFile(base + "/" + prefix + "-XXXXXX", path);
    if (fd < 0) return false;
    close(fd);
    return true;
}

std::FILE* OpenScratchFile() {
#ifdef __linux__
    const int fd = memfd_create("rozove-scratch", MFD_CLOEXEC);
    std::FILE* file = fd >= 0 ? fdopen(fd, "w+b") : nullptr;
    if (file != nullptr) return file;
    if (fd >= 0) close(fd);
#endif
    return std::tmpfile();
}

const char kFolderSeparators[] = "/";

std::string CannotWrite(const std::string& path) {
    struct stat status;
    if (stat(path.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) return "it is a folder";
        if (access(path.c_str(), W_OK) != 0) return std::strerror(errno);
        return std::string();
    }
    const std::string named = NamingFault(errno);
    if (!named.empty()) return named;
    const std::string folder = FolderOf(path);
    if (stat(folder.c_str(), &status) != 0) {
        const std::string fault = NamingFault(errno);
        return fault.empty() ? "there is no folder " + folder : fault;
    }
    if (!S_ISDIR(status.st_mode)) return folder + " is not a folder";
    if (access(folder.c_str(), W_OK | X_OK) != 0) return "cannot create files in " + folder + ": " + std::strerror(errno);
    return std::string();
}

// A file system without blocks at all (/proc, say) is not full, only odd.
bool DeviceIsFull(const std::string& path) {
    struct statvfs status;
    return statvfs(FolderOf(path).c_str(), &status) == 0 && status.f_blocks > 0 && status.f_bavail == 0;
}

int64_t SpaceLeft(const std::string& path) {
    struct statvfs status;
    if (statvfs(FolderOf(path).c_str(), &status) != 0 || status.f_blocks == 0) return -1;
    return static_cast<int64_t>(status.f_bavail) * static_cast<int64_t>(status.f_frsize);
}

int64_t FileSizeLimit() {
    struct rlimit limit;
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return -1;
    return static_cast<int64_t>(limit.rlim_cur);
}

RoomShortage ShortageOfError(int error) {
    if (error == ENOSPC) return RoomShortage::Space;
    if (error == EDQUOT) return RoomShortage::Quota;
    return RoomShortage::None;
}

bool AskForRoom(const std::string& path, int64_t bytes, RoomShortage* shortage) {
    std::string made;
    const int fd = MakeUniqueFile(JoinPath(FolderOf(path), ".rozove-room-XXXXXX"), &made);
    // No room for even an empty file: out of inodes or of a quota's files.
    int error = fd < 0 ? errno : 0;
    if (fd >= 0) {
        if (bytes > 0) error = posix_fallocate(fd, 0, static_cast<off_t>(bytes));
        close(fd);
        unlink(made.c_str());
    }
    *shortage = ShortageOfError(error);
    return error == 0 || *shortage != RoomShortage::None;
}

void* OpenModule(const std::string& path, std::string* error) {
    const std::string name = path.find('/') == std::string::npos ? "./" + path : path;
    void* module = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* reason = dlerror();
        *error = "cannot load the module: " + std::string(reason != nullptr ? reason : path.c_str());
    }
    return module;
}

void* ModuleSymbol(void* module, const char* name) {
    return dlsym(module, name);
}

bool PrintModuleMessages(void*, std::string*) {
    return true;
}

void CloseModule(void* module) {
    dlclose(module);
}

std::string ExecutablePath() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

const char kModuleFileName[] = "zezodav_odevad.so";

bool ReadWithoutBlocking(std::FILE* file) {
    struct stat status;
    const int fd = fileno(file);
    if (fstat(fd, &status) != 0 || !(S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode))) return false;
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

// The pipe may be shared with the programs that run after rozove.
void ReadBlocking(std::FILE* file) {
    const int fd = fileno(file);
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0 && (flags & O_NONBLOCK) != 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

void WaitForInput(std::FILE* file, int milliseconds) {
    struct pollfd wait = {fileno(file), POLLIN, 0};
    poll(&wait, 1, milliseconds);
}

bool StandardInputStartsWith(const char* signature) {
    struct stat status;
    if (fstat(STDIN_FILENO, &status) != 0) return true;
    if (S_ISFIFO(status.st_mode)) return PipeStartsWith(signature);
    if (isatty(STDIN_FILENO)) return false;
    if (!S_ISREG(status.st_mode)) return true;
    char bytes[16];
    const off_t at = lseek(STDIN_FILENO, 0, SEEK_CUR);
    const ssize_t got = at < 0 ? -1 : pread(STDIN_FILENO, bytes, sizeof bytes, at);
    return got <= 0 || CompareSignature(signature, bytes, static_cast<size_t>(got)) != 0;
}

bool PrepareScatteredReads(std::FILE* file) {
    return setvbuf(file, nullptr, _IONBF, 0) == 0;
}

int64_t ReadScattered(std::FILE* file, const ReadPiece* pieces, size_t count) {
    iovec vector[IOV_MAX];
    const size_t n = count < IOV_MAX ? count : IOV_MAX;
    for (size_t i = 0; i < n; ++i) vector[i] = iovec{pieces[i].at, pieces[i].bytes};
    return readv(fileno(file), vector, static_cast<int>(n));
}
