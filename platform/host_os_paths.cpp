// What is the same on every system: folders in paths, but for the
// separators, which the system's own file gives (kFolderSeparators), and
// comparing two files' identities.
#include <cstring>

#include "platform/host_os.h"

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of(kFolderSeparators);
    if (slash == std::string::npos) return ".";
    if (slash == 0) return path.substr(0, 1);
    return path.substr(0, slash);
}

bool IsFolderSeparator(char c) {
    return c != '\0' && std::strchr(kFolderSeparators, c) != nullptr;
}

bool SameFile(const FileId& a, const FileId& b) {
    return a.known && b.known && a.volume == b.volume && a.index == b.index;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    return folder + kFolderSeparators[0] + name;
}
