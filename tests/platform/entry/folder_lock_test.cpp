// One game a data folder: a folder that cannot be locked is not played in unlocked.
#include "folder_lock.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "process.h"

namespace {

// A folder its owner may enter and write but not read cannot be opened, so not locked.
TEST(FolderLockDeathTest, AFolderThatCannotBeLockedIsNotTakenUnlocked) {
    const std::string folder = testing_support::FreshFolder("lock");
    EXPECT_EXIT(
        {
            if (::chdir(folder.c_str()) != 0 ||
                !testing_support::BecomeOrdinaryUserOwning({folder.c_str()}) ||
                ::chmod(folder.c_str(), 0300) != 0) {
                std::_Exit(9);
            }
            std::_Exit(entry::LockWorkingFolder() == entry::FolderLock::Taken ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
    ::chmod(folder.c_str(), 0755);
}

}  // namespace
