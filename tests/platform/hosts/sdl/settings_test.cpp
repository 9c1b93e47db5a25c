// The settings file with SDL's key names: written, read back, bad lines skipped, what is not
// ours left alone.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host_sdl.h"
#include "process.h"
#include "settings.h"

using namespace host;

namespace {

std::string Folder(const std::string& name) {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = std::string(tmp ? tmp : "/tmp") + "/tavlo-settings-" +
                         std::to_string(::getpid()) + "-" + name;
    EXPECT_EQ(std::system(("rm -rf '" + folder + "'").c_str()), 0);
    return folder;
}

using testing_support::ReadFile;

Settings Parse(const std::string& text, std::size_t expectedNotes) {
    std::vector<platform::Said> notes;
    Settings read = ParseSettings(text, sdl::SdlKeyName, notes);
    EXPECT_EQ(notes.size(), expectedNotes) << text.substr(0, 40);
    return read;
}

TEST(Settings, FormattedSettingsReadBackTheSame) {
    const Settings cases[] = {
        Settings{},
        {WindowMode::Window, Scaling::Smooth, 1000, 750, false},
        {WindowMode::FullScreen, Scaling::Smooth, 320, 240, true},
        {WindowMode::Window, Scaling::Sharp, kMaxWindowSide, kMaxWindowSide, false},
        {WindowMode::Window, Scaling::Sharp, 960, 720, true, "zh-Hans"},
        {WindowMode::Window, Scaling::Sharp, 960, 720, true, "", "https://scores.example.org/t",
         "Zoë & Co"},
    };
    for (const Settings& s : cases) EXPECT_EQ(Parse(FormatSettings(s), 0), s);
}

TEST(Settings, HandWrittenVariantsAreAccepted) {
    EXPECT_EQ(Parse("\n  # mine\r\n scaling = smooth \r\n\nmode=window\n", 0),
              (Settings{WindowMode::Window, Scaling::Smooth, 960, 720, true}));
    EXPECT_EQ(Parse("", 0), Settings{});
    EXPECT_EQ(Parse("window=1280x960\nwindow=640x480", 0).windowWidth, 640);
    EXPECT_FALSE(Parse("pause_on_focus_loss = no", 0).pauseOnFocusLoss);
    // Too large a window is held to the largest we allow.
    EXPECT_EQ(Parse("window=16384x16384", 0).windowHeight, kMaxWindowSide);
    const Settings submit = Parse("submit_server = HTTP://127.0.0.1:8015/\nsubmit_name= Zoë \n", 0);
    EXPECT_EQ(submit.submitServer, "HTTP://127.0.0.1:8015/");
    EXPECT_EQ(submit.submitName, "Zoë");
    // One without the other is kept (the file is written back with it); it sends nothing.
    EXPECT_EQ(Parse("submit_name=Zoë", 0).submitName, "Zoë");
}

// A bad line is skipped with a note; the good lines around it still count.
TEST(Settings, BadLinesAreIgnoredAndTheOthersKept) {
    const Settings window{WindowMode::Window, Scaling::Sharp, 960, 720, true};
    const std::string bad[] = {
        "scaling=blurry",
        "colour=blue",
        "mode window",
        "window=100x100",
        "window=960x",
        "window=x720",
        "window=96Ox720",
        "window=9999999x720",
        "window=-960x720",
        "window=abcxdef",
        "pause_on_focus_loss=maybe",
        "language=ja;de",
        "language=" + std::string(40, 'a'),
        "submit_server=ftp://example.org/",
        "submit_server=https://exa mple.org/",
        "submit_server=https://",
        "submit_server=https://user@example.org/",
        "submit_name=" + std::string(kMaxSubmitName + 1, 'a'),
        "submit_name=Zo\x1b[2Jë",
        "\x01\x02\xff\xfe",
        std::string("scaling=smooth\0", 15),
    };
    for (const std::string& line : bad) {
        SCOPED_TRACE(line);
        EXPECT_EQ(Parse("mode=window\n" + line + "\nwindow=960x720\n", 1), window);
    }
    std::vector<platform::Said> notes;
    ParseSettings("mode=window\n# fine\nwindow=abcxdef\n", sdl::SdlKeyName, notes);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].English(), "line 3 ignored: window=abcxdef");
    // More than we ever write is not read at all.
    EXPECT_EQ(Parse("mode=window\n" + std::string(5000, '#'), 1), Settings{});
}

// The line FormatBindings writes for `setting` ("key.left"), as the file would show it.
std::string BindingLine(const Settings& s, const std::string& setting) {
    std::istringstream lines(FormatBindings(s.bindings));
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(setting + "=", 0) == 0) return line;
    }
    return "";
}

// Bindings from settings lines: SDL's names in any case, unknown names skipped with a note
// naming the line, a key doing one thing only, an action never left without its defaults
// unless other actions took them.
TEST(Settings, KeyAndButtonBindingsAreReadFromTheirLines) {
    const struct {
        const char* text;
        const char* setting;
        const char* line;  // as written back
        const char* note;  // "" for none
    } cases[] = {
        {"key.left=Left,A,h", "key.left", "key.left=Left,A,H", ""},
        {"key.left=LEFT, keypad 4 ,a", "key.left", "key.left=Left,Keypad 4,A", ""},
        {"# mine\nkey.left=A,Bogus", "key.left", "key.left=A",
         "line 2: no key or button \"Bogus\"; skipped"},
        {"key.left=", "key.left", "key.left=Left", ""},
        {"key.left=Bogus", "key.left", "key.left=Left",
         "line 1: no key or button \"Bogus\"; skipped"},
        {"key.left=A,a", "key.left", "key.left=A", ""},
        {"key.left=A\nkey.right=A", "key.left", "key.left=Left", ""},
        {"key.left=A\nkey.right=A", "key.right", "key.right=A", ""},
        {"key.left=Right\nkey.right=Left", "key.right", "key.right=Left", ""},
        {"key.skip=Left", "key.left",
         "key.left=", "no key is left for left: its keys do other things"},
        {"key.scaling=alt+s,F11", "key.scaling", "key.scaling=Alt+S,F11", ""},
        {"key.scaling=alt+s,F11", "key.screenshot", "key.screenshot=F12", ""},
        {"key.left=Alt+A", "key.left", "key.left=Left",
         "line 1: no key or button \"Alt+A\"; skipped"},
        {"key.jump=Space", "key.left", "key.left=Left", "line 1 ignored: key.jump=Space"},
        {"pad.enter=B,BACK,b", "pad.enter", "pad.enter=b,back", ""},
        {"pad.left=-rightx,dpleft", "pad.left", "pad.left=-rightx,dpleft", ""},
        {"pad.left=-rightx,dpleft", "pad.right", "pad.right=dpright,+leftx", ""},
        {"pad.down=lefttrigger", "pad.down", "pad.down=+lefttrigger", ""},
        {"pad.left=leftx", "pad.left", "pad.left=dpleft,-leftx",
         "line 1: no key or button \"leftx\"; skipped"},
        {"pad.scaling=a", "pad.enter", "pad.enter=a,start", "line 1 ignored: pad.scaling=a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<platform::Said> notes;
        const Settings read = ParseSettings(c.text, sdl::SdlKeyName, notes);
        EXPECT_EQ(BindingLine(read, c.setting), c.line);
        ASSERT_EQ(notes.size(), c.note[0] ? 1u : 0u);
        if (c.note[0]) {
            EXPECT_EQ(notes[0].English(), c.note);
        }
        // What is written reads back the same, notes aside.
        EXPECT_EQ(ParseSettings(FormatSettings(read), sdl::SdlKeyName, notes).bindings,
                  read.bindings);
    }
}

TEST(Settings, TheWindowFitsTheDisplay) {
    struct Case {
        int width, height, usableWidth, usableHeight, fitWidth, fitHeight;
    };
    const Case cases[] = {
        {960, 720, 1920, 1050, 960, 720},
        {8192, 8192, 1920, 1050, 1920, 1050},
        {1280, 960, 1024, 740, 1024, 740},
        {960, 720, 200, 100, 320, 240},  // never below the game's screen
    };
    for (const Case& c : cases) {
        DisplayChoices s{WindowMode::Window, Scaling::Sharp, c.width, c.height};
        FitWindowToDisplay(s, c.usableWidth, c.usableHeight);
        EXPECT_EQ(s.windowWidth, c.fitWidth);
        EXPECT_EQ(s.windowHeight, c.fitHeight);
    }
}

// What stands at the path decides: a missing file is made with the defaults when a host keeps
// its choices, a file with a bad line is read without it and left as it is, and what we cannot
// read (or is no file) is never replaced. A FIFO must not hold start-up. Reading writes nothing.
TEST(Settings, WhatStandsAtThePathIsReadOrLeftAlone) {
    const std::string folder = Folder("load");
    const std::string path = folder + "/tavlo/settings.conf";
    struct Case {
        const char* what;
        void (*make)(const std::string& path);
        Settings settings;
        bool mayWrite;
        const char* note;  // a part of the notes; "" for none
    };
    const Settings windowed{WindowMode::Window, Scaling::Sharp, 960, 720, true};
    const Case cases[] = {
        {"missing", [](const std::string&) {}, Settings{}, true, ""},
        {"a bad line",
         [](const std::string& p) { std::ofstream(p) << "mode=window\nwindow=abcxdef\n"; },
         windowed, true, "line 2 ignored: window=abcxdef"},
        {"a folder", [](const std::string& p) { ::mkdir(p.c_str(), 0755); }, Settings{}, false,
         "is a folder"},
        {"a FIFO", [](const std::string& p) { ::mkfifo(p.c_str(), 0644); }, Settings{}, false,
         "is not a regular file"},
        {"unreadable",
         [](const std::string& p) {
             std::ofstream(p) << "mode=window\n";
             ::chmod(p.c_str(), 0);
         },
         Settings{}, false, "cannot be read (Permission denied)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(
            std::system(("rm -rf '" + folder + "' && mkdir -p '" + folder + "/tavlo'").c_str()), 0);
        c.make(path);
        if (std::string(c.what) == "unreadable" && ::geteuid() == 0) continue;  // root reads all
        struct stat before {};
        const bool stood = ::lstat(path.c_str(), &before) == 0;
        ::testing::internal::CaptureStderr();
        const LoadedSettings loaded = LoadSettings(path, sdl::SdlKeyName);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(loaded.settings, c.settings);
        EXPECT_EQ(loaded.mayWrite, c.mayWrite);
        EXPECT_EQ(loaded.missing, !stood);
        std::string notes;
        for (const platform::Said& note : loaded.notes) notes += note.English() + "\n";
        EXPECT_EQ(notes.empty(), *c.note == '\0') << notes;
        EXPECT_NE(notes.find(c.note), std::string::npos) << notes;
        EXPECT_EQ(::access(path.c_str(), F_OK) == 0, stood);  // nothing made by reading
        // A host starts: a missing file is made; one that is not ours is not written even when
        // the player changes a choice; one with a bad line is left for its owner to mend.
        if (loaded.missing || !loaded.mayWrite) KeeperOf(loaded)(loaded.settings.Display());
        if (!stood) {
            EXPECT_EQ(ReadFile(path), FormatSettings(Settings{}));
        } else {
            struct stat after {};
            ::lstat(path.c_str(), &after);
            EXPECT_EQ(after.st_ino, before.st_ino);  // the same file, not a replacement
            EXPECT_EQ(after.st_mtime, before.st_mtime);
        }
    }
}

TEST(Settings, SavedFileIsLoadedAndAFailedSaveKeepsTheOldOne) {
    const std::string path = Folder("saved") + "/deep/er/settings.conf";
    const Settings mine{WindowMode::Window, Scaling::Smooth, 1111, 777, false};
    ASSERT_TRUE(SaveSettings(path, mine));
    EXPECT_EQ(LoadSettings(path, sdl::SdlKeyName).settings, mine);
    EXPECT_FALSE(SaveSettings("", mine));
    EXPECT_FALSE(SaveSettings("/proc/no/such/settings.conf", mine));
    // The disk fills while the new file is written: the old file stays whole.
    EXPECT_EXIT(
        {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{};
            limit.rlim_cur = limit.rlim_max = 16;
            std::_Exit(
                ::setrlimit(RLIMIT_FSIZE, &limit) == 0 && !SaveSettings(path, Settings{}) ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(LoadSettings(path, sdl::SdlKeyName).settings, mine);
}

// A host's choices are written over the rest of the file as it was read: the language, the
// score server and the bindings stay.
TEST(Settings, KeptDisplayChoicesLeaveTheRestOfTheFile) {
    const std::string path = Folder("kept") + "/settings.conf";
    std::vector<platform::Said> notes;
    Settings mine = ParseSettings(
        "pause_on_focus_loss=no\nlanguage=ja\nsubmit_server=https://s.example.org/\n"
        "submit_name=Zoë\nkey.left=A\npad.enter=b\n",
        sdl::SdlKeyName, notes);
    ASSERT_TRUE(SaveSettings(path, mine));
    const KeepDisplay keep = KeeperOf(LoadSettings(path, sdl::SdlKeyName));
    const DisplayChoices chosen{WindowMode::Window, Scaling::Smooth, 1000, 800};
    keep(chosen);
    mine.mode = chosen.mode;
    mine.scaling = chosen.scaling;
    mine.windowWidth = chosen.windowWidth;
    mine.windowHeight = chosen.windowHeight;
    EXPECT_EQ(LoadSettings(path, sdl::SdlKeyName).settings, mine);
}

TEST(Settings, PathFollowsXdgConfigHomeThenHome) {
    ::setenv("XDG_CONFIG_HOME", "/x/config", 1);
    ::setenv("HOME", "/home/me", 1);
    EXPECT_EQ(SettingsPath(), "/x/config/tavlo/settings.conf");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored, as the XDG rules say
    EXPECT_EQ(SettingsPath(), "/home/me/.config/tavlo/settings.conf");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsPath(), "/home/me/.config/tavlo/settings.conf");
    ::unsetenv("HOME");
    EXPECT_EQ(SettingsPath(), "");
}

}  // namespace
