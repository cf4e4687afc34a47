// The parts' processes on POSIX: posix_spawn with three pipes, each child
// in a process group of its own, waited for with waitpid.
#include "platform/child_process.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/host_os.h"

namespace {

// The most an unprivileged process may ask for by default
// (/proc/sys/fs/pipe-max-size).
constexpr int kPipeBytes = 1 << 20;

// The three pipes of a child: [stream][0 read, 1 write], made close-on-exec
// so that no other child holds an end open.
bool ChildPipes(int pipes[3][2]) {
    for (int i = 0; i < 3; ++i) pipes[i][0] = pipes[i][1] = -1;
    for (int i = 0; i < 3; ++i) {
        if (pipe2(pipes[i], O_CLOEXEC) != 0) return false;
#ifdef F_SETPIPE_SZ
        // A part's GIF comes in megabytes: a pipe of a few pages would pass
        // it in thousands of small turns between the two processes. Where
        // the system allows less, the pipe keeps its own size. Its input
        // keeps the usual size: the part reads ahead on its own, and a
        // larger pipe would only take more of the input before its time.
        if (i == 1) fcntl(pipes[i][1], F_SETPIPE_SZ, kPipeBytes);
#endif
    }
    return true;
}

void ClosePipes(int pipes[3][2]) {
    for (int i = 0; i < 3; ++i) {
        CloseDescriptor(pipes[i][0]);
        CloseDescriptor(pipes[i][1]);
    }
}

}  // namespace

int UsableCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
    const int count = CPU_COUNT(&set);
    return count > 0 ? count : 1;
}

bool StartChild(const std::vector<std::string>& args, ChildProcess* child) {
    *child = ChildProcess{-1, -1, -1, -1};
    int pipes[3][2];
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    int result = ChildPipes(pipes) ? 0 : errno;
    if (result == 0) {
        posix_spawn_file_actions_adddup2(&actions, pipes[0][0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, pipes[1][1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, pipes[2][1], STDERR_FILENO);
        // Signals rozove holds back or catches start at their defaults there.
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setpgroup(&attributes, 0);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
        pid_t id = -1;
        result = posix_spawn(&id, argv[0], &actions, &attributes, argv.data(), environ);
        if (result == 0) {
            // Our end only: the child's end of the pipe keeps blocking reads.
            fcntl(pipes[0][1], F_SETFL, fcntl(pipes[0][1], F_GETFL) | O_NONBLOCK);
            *child = ChildProcess{id, pipes[0][1], pipes[1][0], pipes[2][0]};
            pipes[0][1] = pipes[1][0] = pipes[2][0] = -1;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ClosePipes(pipes);
    errno = result;
    return result == 0;
}

void StopChild(const ChildProcess& child) {
    if (child.id > 0) kill(child.id, SIGINT);
}

int WaitForChild(ChildProcess* child) {
    if (child->id <= 0) return -1;
    int status = 0;
    pid_t ended;
    while ((ended = waitpid(child->id, &status, 0)) < 0 && errno == EINTR) {
    }
    child->id = -1;
    if (ended < 0) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}
