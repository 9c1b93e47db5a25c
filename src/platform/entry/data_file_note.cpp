// What a player needs to mend a missing or unreadable data file.
#include "data_file_note.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

namespace host {
namespace {

const char* const kDataFiles[] = {"tavlo.rka", "score.dat"};

bool MentionsAFile(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower.find("file") != std::string::npos || text.find("ファイル") != std::string::npos;
}

// " (a link to TARGET)" for a symbolic link, else nothing.
std::string LinkTarget(const std::string& path) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return "";
    char target[PATH_MAX];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target - 1);
    if (length <= 0) return "";
    return " (a link to " + std::string(target, static_cast<std::size_t>(length)) + ")";
}

}  // namespace

std::string DataFileNote(const std::string& textUtf8, const std::string& folder) {
    bool named = false;
    for (const char* name : kDataFiles) {
        named = named || textUtf8.find(std::string("[") + name + "]") != std::string::npos;
    }
    if (!named && !MentionsAFile(textUtf8)) return "";
    std::string note;
    for (const char* name : kDataFiles) {
        const bool thisOne = textUtf8.find(std::string("[") + name + "]") != std::string::npos;
        if (named && !thisOne) continue;
        const std::string path = folder + "/" + name;
        std::FILE* file = std::fopen(path.c_str(), "rb");
        const int error = errno;
        if (file) {
            std::fclose(file);
            if (named) note += "tavlo: the file is " + path + LinkTarget(path) + "\n";
        } else {
            note += std::string("tavlo: looked for ") + name + " in " + folder + ": " +
                    std::strerror(error) + LinkTarget(path) + "\n";
        }
    }
    if (!note.empty()) note.pop_back();
    return note;
}

std::string DataFileNoteHere(const std::string& textUtf8) {
    char folder[PATH_MAX];
    if (!::getcwd(folder, sizeof folder)) return "";
    return DataFileNote(textUtf8, folder);
}

}  // namespace host
