// The host's seam on POSIX, its output's pipes and standard streams: a FIFO
// opened so that a stop can reach it, standard streams closed at the start,
// standard output redirected and copied, the pipe the module writes its GIF
// into and the output stage reads, and writes that a stop can interrupt.
#include "platform/host_os.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

bool NamesDeviceOrPipe(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
}

std::FILE* OpenForWriting(const std::string& path, bool (*stopped)()) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0 || !S_ISFIFO(status.st_mode)) return std::fopen(path.c_str(), "wb");
    // Opened without blocking, a pipe with no reader fails with ENXIO
    // instead of waiting where no stop could reach.
    int fd = -1;
    while ((fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) < 0 && (errno == ENXIO || errno == EINTR)) {
        if (stopped()) {
            errno = EINTR;
            return nullptr;
        }
        usleep(20000);
    }
    if (fd < 0) return nullptr;
    const int flags = fcntl(fd, F_GETFL);
    std::FILE* file = flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0 ? fdopen(fd, "wb") : nullptr;
    if (file == nullptr) {
        const int error = errno;
        close(fd);
        errno = error;
    }
    return file;
}

bool OpenClosedStandardStreams() {
    bool outputClosed = false;
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
        // open takes the lowest free number, which is this one.
        const int null = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) close(null);
        if (fd == STDOUT_FILENO) outputClosed = true;
    }
    return outputClosed;
}

int RedirectStandardOutput(std::FILE* file) {
    const int saved = dup(STDOUT_FILENO);
    if (saved < 0) return -1;
    if (dup2(fileno(file), STDOUT_FILENO) < 0) {
        close(saved);
        return -1;
    }
    return saved;
}

void RestoreStandardOutput(int saved) {
    if (saved < 0) return;
    dup2(saved, STDOUT_FILENO);
    close(saved);
}

bool OpenModulePipe(ModulePipe* pipe) {
    int ends[2];
    // Not inherited by a program rozove starts; the module opens the
    // write end anew by its path.
    if (pipe2(ends, O_CLOEXEC) != 0) return false;
    *pipe = ModulePipe{ends[0], ends[1], "/dev/fd/" + std::to_string(ends[1])};
    return true;
}

int64_t ReadDescriptor(int descriptor, void* into, size_t bytes) {
    for (;;) {
        const ssize_t got = read(descriptor, into, bytes);
        if (got >= 0 || errno != EINTR) return got;
    }
}

void CloseDescriptor(int descriptor) {
    if (descriptor >= 0) close(descriptor);
}

bool WriteDescriptor(int descriptor, const void* bytes, size_t count, bool (*stopped)()) {
    const char* at = static_cast<const char*>(bytes);
    while (count > 0) {
        const ssize_t put = write(descriptor, at, count);
        if (put < 0 && (errno == EINTR || errno == EAGAIN)) {
            if (stopped()) {
                errno = EINTR;
                return false;
            }
            struct pollfd wait = {descriptor, POLLOUT, 0};
            poll(&wait, 1, 20);
            continue;
        }
        if (put <= 0) return false;
        at += put;
        count -= static_cast<size_t>(put);
    }
    return true;
}

bool WaitForReadable(const std::vector<int>& descriptors, std::vector<char>* readable) {
    std::vector<pollfd> wait;
    for (int descriptor : descriptors) wait.push_back(pollfd{descriptor, POLLIN, 0});
    int ready = 0;
    do {
        ready = poll(wait.data(), wait.size(), -1);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) return false;
    readable->assign(descriptors.size(), 0);
    for (size_t i = 0; i < wait.size(); ++i) (*readable)[i] = descriptors[i] >= 0 && wait[i].revents != 0;
    return true;
}

void DrainDescriptors(const std::vector<int>& descriptors) {
    std::vector<pollfd> open;
    for (int descriptor : descriptors) {
        if (descriptor >= 0) open.push_back(pollfd{descriptor, POLLIN, 0});
    }
    char dropped[1 << 16];
    while (!open.empty()) {
        if (poll(open.data(), open.size(), -1) < 0 && errno != EINTR) break;
        for (size_t i = open.size(); i-- > 0;) {
            if (open[i].revents == 0) continue;
            if (ReadDescriptor(open[i].fd, dropped, sizeof dropped) > 0) continue;
            close(open[i].fd);
            open.erase(open.begin() + static_cast<ptrdiff_t>(i));
        }
    }
    for (const pollfd& left : open) close(left.fd);
}

std::FILE* OpenStandardOutputCopy() {
    const int copy = dup(STDOUT_FILENO);
    if (copy < 0) return nullptr;
    std::FILE* stream = fdopen(copy, "w");
    if (stream == nullptr) close(copy);
    return stream;
}
