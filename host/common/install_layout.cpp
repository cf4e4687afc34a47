// The two places rozove's own files can be, looked for in order.
#include "host/common/install_layout.h"

#include "platform/host_os.h"

std::string InstalledFilePath(const std::string& name) {
    const std::string folder = FolderOf(ExecutablePath());
    const std::string installed = JoinPath(JoinPath(JoinPath(FolderOf(folder), "lib"), "rozove"), name);
    const std::string beside = JoinPath(folder, name);
    if (IdOfPath(installed).known) return installed;
    if (IdOfPath(beside).known) return beside;
    const bool inBin = FolderOf(folder) + kFolderSeparators[0] + "bin" == folder;
    return inBin ? installed : beside;
}
