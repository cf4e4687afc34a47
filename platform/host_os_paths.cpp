// Folders in paths, the same on every system but for the separators, which
// the system's own file gives (kFolderSeparators).
#include "platform/host_os.h"

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of(kFolderSeparators);
    if (slash == std::string::npos) return ".";
    if (slash == 0) return path.substr(0, 1);
    return path.substr(0, slash);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    return folder + kFolderSeparators[0] + name;
}
