// Reading a file the user may have replaced by anything, and replacing a file the user keeps.
#include "files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "process.h"

namespace {

using platform::ReadOutcome;

// Whatever stands at the name, the read ends at once with what it is; a FIFO is never waited on.
TEST(ReadRegularFile, TellsWhatStandsThereWithoutWaiting) {
    const std::string folder = testing_support::FreshFolder("read");
    std::ofstream(folder + "/four") << "1234";
    std::ofstream(folder + "/five") << "12345";
    ::mkfifo((folder + "/fifo").c_str(), 0600);
    ::mkdir((folder + "/folder").c_str(), 0700);
    ASSERT_EQ(::symlink("four", (folder + "/link").c_str()), 0);
    struct Case {
        const char* name;
        platform::Beyond beyond;
        ReadOutcome outcome;
        const char* bytes;
    };
    const Case cases[] = {
        {"four", platform::Beyond::Refuse, ReadOutcome::Read, "1234"},
        {"link", platform::Beyond::Refuse, ReadOutcome::Read, "1234"},
        {"five", platform::Beyond::Refuse, ReadOutcome::TooLarge, ""},
        {"five", platform::Beyond::KeepFirst, ReadOutcome::Read, "1234"},
        {"missing", platform::Beyond::Refuse, ReadOutcome::Missing, ""},
        {"four/under", platform::Beyond::Refuse, ReadOutcome::Missing, ""},
        {"fifo", platform::Beyond::Refuse, ReadOutcome::NotRegular, ""},
        {"folder", platform::Beyond::Refuse, ReadOutcome::Folder, ""},
        {"/dev/null", platform::Beyond::Refuse, ReadOutcome::NotRegular, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) +
                     (c.beyond == platform::Beyond::KeepFirst ? " kept" : ""));
        const std::string path = c.name[0] == '/' ? c.name : folder + "/" + c.name;
        const platform::FileRead read = platform::ReadRegularFile(path, 4, c.beyond);
        EXPECT_EQ(read.outcome, c.outcome);
        EXPECT_EQ(read.bytes, c.bytes);
    }
}

// A link the user made stays a link with KeepLinkAndMode, and the file behind it keeps its mode;
// with Replace a planted link is replaced and what it led to is left alone. Nothing else is left
// in the folder.
TEST(ReplaceFile, KeepsOrReplacesALinkAsAsked) {
    namespace fs = std::filesystem;
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
}

}  // namespace
