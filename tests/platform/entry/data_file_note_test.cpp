// The note below a fatal message: which data file, where it was looked for, and why it failed.
#include "data_file_note.h"

#include <unistd.h>

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "process.h"

namespace {

TEST(DataFileNote, NamesTheFileAndTheFolder) {
    struct Case {
        std::string name;
        std::string text;
        bool archive, score;  // which files the folder holds
        std::string note;     // {F} stands for the folder
    };
    const std::string missing = ": No such file or directory";
    const Case cases[] = {
        {"archive named, missing", "File can't open[tavlo.rka]\n", false, true,
         "tavlo: cannot open tavlo.rka in {F}" + missing},
        {"archive named, present (damaged)", "RKA archive [tavlo.rka] is damaged: no entry count\n",
         true, true, "tavlo: file: {F}/tavlo.rka"},
        {"only the file named", "File can't open[tavlo.rka]\n", false, false,
         "tavlo: cannot open tavlo.rka in {F}" + missing},
        {"a file unnamed: the one missing", "file not found", true, false,
         "tavlo: cannot open score.dat in {F}" + missing},
        {"a file unnamed: both missing", "file not found", false, false,
         "tavlo: cannot open tavlo.rka in {F}" + missing + "\ntavlo: cannot open score.dat in {F}" +
             missing},
        {"a file unnamed, in Japanese", "tmp,ファイルがオープンできません[logo.bmp]\n", false, true,
         "tavlo: cannot open tavlo.rka in {F}" + missing},
        {"a file unnamed, all there", "File max over\n", true, true, ""},
        {"no file", "DirectDrawを初期化出来ません(;;", false, false, ""},
        {"another file in brackets", "[tavlo.rka.bak] missing", false, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = testing_support::FreshFolder("note");
        if (c.archive) std::ofstream(folder + "/tavlo.rka") << "x";
        if (c.score) std::ofstream(folder + "/score.dat") << "0000";
        std::string note = c.note;
        for (auto at = note.find("{F}"); at != std::string::npos; at = note.find("{F}")) {
            note.replace(at, 3, folder);
        }
        EXPECT_EQ(entry::DataFileNote(c.text, folder), note);
    }
}

TEST(DataFileNote, ABrokenLinkShowsWhereItPoints) {
    const std::string folder = testing_support::FreshFolder("link");
    ASSERT_EQ(::symlink("/nonexistent/tavlo.rka", (folder + "/tavlo.rka").c_str()), 0);
    EXPECT_EQ(entry::DataFileNote("File can't open[tavlo.rka]\n", folder),
              "tavlo: cannot open tavlo.rka in " + folder +
                  ": No such file or directory (a link to /nonexistent/tavlo.rka)");
}

// Each message of the game's own that ends it without naming a data file gets a plain line.
TEST(DataFileNote, MessagesThatNameNoDataFileGetAPlainLine) {
    struct Case {
        const char* text;
        const char* said;  // part of the note; "" for none
    };
    const Case cases[] = {
        {"DirectDrawを初期化出来ません(;;", "could not open its screen"},
        {"mem over", "not enough memory"},
        {"File can't write[tmp.bmp]\n", "tmp.bmp in /data: the disk may be full"},
        {"ファイルがオープン出来ません[tmp.bmp]\n", "tmp.bmp in /data"},
        {"tmp.bmp ファイルが見つかりません", "archive is damaged"},
        {"File can't open[tavlo.rka]\n", ""},
    };
    for (const Case& c : cases) {
        const std::string note = entry::PlainNote(c.text, "/data");
        if (*c.said == '\0') {
            EXPECT_EQ(note, "") << c.text;
        } else {
            EXPECT_NE(note.find(c.said), std::string::npos) << c.text << ": " << note;
        }
    }
}

}  // namespace
