// Reading a file the user may have replaced by anything, and replacing a file the user keeps.
#include "files.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "process.h"

namespace {

using platform::ReadOutcome;

namespace fs = std::filesystem;

// Whatever stands at the name, the read ends at once with what it is; a FIFO is never waited on.
TEST(ReadRegularFile, TellsWhatStandsThereWithoutWaiting) {
    const std::string folder = testing_support::FreshFolder("read");
    std::ofstream(folder + "/four") << "1234";
    std::ofstream(folder + "/five") << "12345";
    fs::create_directory(folder + "/folder");
#ifndef _WIN32
    ::mkfifo((folder + "/fifo").c_str(), 0600);
    ASSERT_EQ(::symlink("four", (folder + "/link").c_str()), 0);
#endif
    struct Case {
        const char* name;
        platform::Beyond beyond;
        ReadOutcome outcome;
        const char* bytes;
    };
    const Case cases[] = {
        {"four", platform::Beyond::Refuse, ReadOutcome::Read, "1234"},
        {"five", platform::Beyond::Refuse, ReadOutcome::TooLarge, ""},
        {"five", platform::Beyond::KeepFirst, ReadOutcome::Read, "1234"},
        {"missing", platform::Beyond::Refuse, ReadOutcome::Missing, ""},
        {"four/under", platform::Beyond::Refuse, ReadOutcome::Missing, ""},
        {"folder", platform::Beyond::Refuse, ReadOutcome::Folder, ""},
#ifdef _WIN32
        {"NUL", platform::Beyond::Refuse, ReadOutcome::NotRegular, ""},
#else
        {"link", platform::Beyond::Refuse, ReadOutcome::Read, "1234"},
        {"fifo", platform::Beyond::Refuse, ReadOutcome::NotRegular, ""},
        {"/dev/null", platform::Beyond::Refuse, ReadOutcome::NotRegular, ""},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) +
                     (c.beyond == platform::Beyond::KeepFirst ? " kept" : ""));
        const std::string path =
            c.name[0] == '/' || c.name == std::string("NUL") ? c.name : folder + "/" + c.name;
        const platform::FileRead read = platform::ReadRegularFile(path, 4, c.beyond);
        EXPECT_EQ(read.outcome, c.outcome);
        EXPECT_EQ(read.bytes, c.bytes);
    }
}

// A link the user made stays a link with KeepLinkAndMode, and the file behind it keeps its mode;
// with Replace a planted link is replaced and what it led to is left alone. Nothing else is left
// in the folder.
TEST(ReplaceFile, KeepsOrReplacesALinkAsAsked) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need a privilege on Windows; users do not make them there";
#else
    struct Case {
        platform::Existing existing;
        bool linkStays;
        const char* behind;  // the link's target afterwards
    };
    const Case cases[] = {
        {platform::Existing::KeepLinkAndMode, true, "new"},
        {platform::Existing::Replace, false, "old"},
    };
    for (const Case& c : cases) {
        const std::string folder = testing_support::FreshFolder("replace");
        std::ofstream(folder + "/real") << "old";
        ::chmod((folder + "/real").c_str(), 0640);
        ASSERT_EQ(::symlink("real", (folder + "/name").c_str()), 0);
        const platform::Replaced replaced =
            platform::ReplaceFile(folder + "/name", "new", c.existing);
        EXPECT_TRUE(replaced.ok);
        EXPECT_EQ(fs::is_symlink(folder + "/name"), c.linkStays);
        EXPECT_EQ(testing_support::ReadFile(folder + "/name"), "new");
        EXPECT_EQ(testing_support::ReadFile(folder + "/real"), c.behind);
        struct stat info {};
        ASSERT_EQ(::stat((folder + "/real").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0640u);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
    }
#endif
}

// A replacement that cannot be put in place leaves what stood there as it was and no temporary
// file beside it.
TEST(ReplaceFile, ARefusedReplacementLeavesTheOldFileAndNoTemporary) {
    struct Case {
        const char* what;
        bool readOnlyFile;  // else a folder stands at the name
        int error;
    };
    const Case cases[] = {
#ifdef _WIN32
        {"a folder", false, EACCES},
#else
        {"a folder", false, EISDIR},
#endif
        {"a read-only file", true, EACCES},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
#ifndef _WIN32
        if (c.readOnlyFile && ::geteuid() == 0) continue;  // root may write anything
#endif
        const std::string folder = testing_support::FreshFolder("refused");
        const std::string path = folder + "/score.dat";
        if (c.readOnlyFile) {
            std::ofstream(path) << "old";
            fs::permissions(
                path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                fs::perm_options::remove);
        } else {
            fs::create_directory(path);
        }
        const platform::Replaced replaced =
            platform::ReplaceFile(path, "new", platform::Existing::KeepLinkAndMode);
        EXPECT_FALSE(replaced.ok);
        EXPECT_STREQ(replaced.step, "rename");
        EXPECT_EQ(replaced.error, c.error);
        EXPECT_EQ(fs::is_directory(path), !c.readOnlyFile);
        if (c.readOnlyFile) {
            EXPECT_EQ(testing_support::ReadFile(path), "old");
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
        fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    }
}

}  // namespace
