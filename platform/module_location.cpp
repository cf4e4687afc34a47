// The default module's path, from the running executable's own path: it is
// found from the executable and not from the working folder or a search
// path, so that any install prefix, and any folder rozove runs in, works.
#include "platform/module_location.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <climits>
#include <cstdlib>
#include <unistd.h>
#endif

namespace {

// The folder part of PATH ("." when there is none); SEPARATORS are the
// system's folder separators.
std::string FolderOf(const std::string& path, const char* separators) {
    const size_t slash = path.find_last_of(separators);
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

#if defined(_WIN32)

std::string DefaultModulePath() {
    char path[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    const std::string self = (length > 0 && length < sizeof path) ? std::string(path, length) : std::string();
    return FolderOf(self, "\\/") + "\\zezodav_odevad.auo";
}

#else

namespace {

const char kModuleName[] = "zezodav_odevad.so";

// PATH made canonical when the file exists; empty when it does not.
std::string Existing(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return std::string();
    std::string canonical(resolved);
    std::free(resolved);
    return canonical;
}

}  // namespace

std::string DefaultModulePath() {
    // /proc/self/exe is the file itself, symbolic links resolved: a rozove
    // reached through /usr/local/bin/rozove -> /opt/rozove/bin/rozove
    // finds /opt/rozove/lib/rozove.
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    const std::string self = length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
    const std::string folder = FolderOf(self, "/");
    const std::string installed = folder + "/../lib/rozove/" + kModuleName;
    const std::string beside = folder + "/" + kModuleName;
    for (const std::string& candidate : {installed, beside}) {
        const std::string found = Existing(candidate);
        if (!found.empty()) return found;
    }
    const bool inBin = folder.size() >= 4 && folder.compare(folder.size() - 4, 4, "/bin") == 0;
    return inBin ? FolderOf(folder, "/") + "/lib/rozove/" + kModuleName : beside;
}

#endif
