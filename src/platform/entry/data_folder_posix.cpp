// The installed program's own folder on Linux: the archive under PREFIX/share/games/tavlo, the
// player's folder under XDG_DATA_HOME, the archive there a symbolic link to the installed one.
#include "catalog.h"
#include "data_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "files.h"
#include "system.h"

namespace entry {

std::string InstalledArchive(const std::string& program) {
    if (program.empty()) return "";
    const std::filesystem::path prefix = std::filesystem::path(program).parent_path().parent_path();
    const std::string archive = (prefix / "share" / "games" / "tavlo" / "tavlo.rka").string();
    // Anything with the name counts, a dangling link too: the game then says what it found.
    return platform::NameTaken(archive) ? archive : "";
}

std::string PlayerFolder() {
    return platform::GameFolderPath(platform::UserFolder::Data);
}

std::string PrepareFolder(const std::string& folder, const std::string& archive) {
    if (!platform::MakeFolders(folder)) {
        return platform::Fill(tr("cannot make the folder {1}: {2}"),
                              {folder, std::strerror(errno)});
    }
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error))
        return platform::Fill(tr("{1} is not a folder"), {folder});

    const std::string link = folder + "/tavlo.rka";
    if (platform::LinkTargetOf(link) != archive) {
        // A new link under a fresh name, renamed over whatever had the name (an old copy, a link
        // to another installation): the name is never without an archive meanwhile.
        const std::string fresh = link + "." + std::to_string(std::random_device()() % 1000000);
        std::filesystem::create_symlink(archive, fresh, error);
        if (!error) std::filesystem::rename(fresh, link, error);
        if (error) {
            std::error_code ignored;
            std::filesystem::remove(fresh, ignored);
            return platform::Fill(tr("cannot link {1} to {2}: {3}"),
                                  {link, archive, error.message()});
        }
    }

    // Created exclusively: a score that appears meanwhile is not written over either.
    const std::string score = folder + "/score.dat";
    if (!platform::NameTaken(score)) {
        const int fd = platform::OpenFile(score, O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd >= 0) {
            const char zero[4] = {};
            const bool written = platform::WriteAll(fd, zero, sizeof zero);
            // A short score would read as a damaged one: none at all is said plainly.
            if (::close(fd) != 0 || !written) platform::RemoveFile(score);
        }
    }
    return "";
}

std::string PortableFolder(const std::string& program) {
    (void)program;  // a Linux program is installed or run from its build tree, never carried
    return "";
}

std::string PlayerFolderText() {
    return "${XDG_DATA_HOME:-~/.local/share}/tavlo";
}

std::string NoPlayerFolderText() {
    return tr(
        "neither XDG_DATA_HOME (an absolute path) nor HOME is set: the game has no folder to "
        "play in");
}

}  // namespace entry
