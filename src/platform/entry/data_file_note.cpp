// What a player needs to mend a missing or unreadable data file.
#include "catalog.h"
#include "data_file_note.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "files.h"
#include "system.h"

namespace entry {
namespace {

const char* const kDataFiles[] = {"tavlo.rka", "score.dat"};

bool MentionsAFile(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower.find("file") != std::string::npos || text.find("ファイル") != std::string::npos;
}

// " (a link to TARGET)" for a symbolic link, else nothing.
std::string LinkTarget(const std::string& path) {
    const std::string target = platform::LinkTargetOf(path);
    return target.empty() ? "" : platform::Fill(tr(" (a link to {1})"), {target});
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
        std::FILE* file = platform::OpenStream(path, "rb");
        const int error = errno;
        if (file) {
            std::fclose(file);
            if (named) {
                note +=
                    "tavlo: " + platform::Fill(tr("file: {1}"), {path}) + LinkTarget(path) + "\n";
            }
        } else {
            note += "tavlo: " +
                    // TRANSLATORS: {1} is a file's name, {2} a folder, {3} the system's reason.
                    platform::Fill(tr("cannot open {1} in {2}: {3}"),
                                   {name, folder, std::strerror(error)}) +
                    LinkTarget(path) + "\n";
        }
    }
    if (!note.empty()) note.pop_back();
    return note;
}

std::string PlainNote(const std::string& textUtf8, const std::string& folder) {
    // A part of each of the design's own messages that end the program, and what it means.
    struct Known {
        const char* part;
        std::string note;
    };
    const Known known[] = {
        {"DirectDrawを初期化出来ません",
         "tavlo: " + tr("the game could not open its screen: no display was found, or it cannot "
                        "show the game. Start the game from a desktop session.")},
        {"mem over",
         "tavlo: " + tr("there was not enough memory to unpack a picture from tavlo.rka.")},
        {"[tmp.bmp]", "tavlo: " + platform::Fill(tr("the game could not write its temporary "
                                                    "picture tmp.bmp in {1}: the disk may be "
                                                    "full or the folder read-only."),
                                                 {folder})},
        {"tmp.bmp ファイルが見つかりません",
         "tavlo: " + tr("a picture in tavlo.rka could not be read: the archive is damaged or not "
                        "the game's. Installing the game again brings a good one.")},
    };
    for (const Known& k : known) {
        if (textUtf8.find(k.part) != std::string::npos) return k.note;
    }
    return "";
}

std::string DataFileNoteHere(const std::string& textUtf8) {
    const std::string folder = platform::CurrentFolder();
    if (folder == ".") return "";
    std::string note = DataFileNote(textUtf8, folder);
    const std::string plain = PlainNote(textUtf8, folder);
    if (!plain.empty()) note += (note.empty() ? "" : "\n") + plain;
    return note;
}

}  // namespace entry
