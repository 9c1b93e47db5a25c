// The installed program's own folder: what every system shares. Where the archive and the
// player's folder are, and how the folder is made ready, are each system's (data_folder_posix.cpp,
// data_folder_win32.cpp).
#include "data_folder.h"

#include "catalog.h"
#include "system.h"

namespace entry {

std::string DefaultFolderText() {
    const std::string program = platform::ExecutablePath();
    if (InstalledArchive(program).empty()) return tr("the current folder");
    if (const std::string portable = PortableFolder(program); !portable.empty()) return portable;
    const std::string folder = PlayerFolder();
    return folder.empty() ? PlayerFolderText() : folder;
}

PlayFolder InstalledPlayFolder() {
    const std::string program = platform::ExecutablePath();
    const std::string archive = InstalledArchive(program);
    if (archive.empty()) return {};
    std::string folder = PortableFolder(program);
    if (folder.empty()) folder = PlayerFolder();
    if (folder.empty()) return {"", NoPlayerFolderText()};
    if (std::string error = PrepareFolder(folder, archive); !error.empty()) return {"", error};
    return {folder, ""};
}

}  // namespace entry
