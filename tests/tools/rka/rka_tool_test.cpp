// The rka tool as its user runs it: exit codes, messages, and pack → list → extract round trips.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "rka_fixtures.h"
#include "process.h"
#include "rka_pack.h"
#include "scratch_folder.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using rka_fixtures::Bytes;

struct Ran {
    int code;  // exit code, or -signal when the tool crashed
    std::string out;
    std::string err;
};

using testing_support::ReadFile;

class RkaToolTest : public ScratchFolderTest {
  protected:
    RkaToolTest() : ScratchFolderTest("tavlo_rka_tool_") {}

    Bytes Read(const std::string& path) const {
        std::string text = ReadFile(path);
        return Bytes(text.begin(), text.end());
    }

    // A file of `size` zero bytes that takes no room on the disk.
    std::string Sparse(const std::string& name, std::uint64_t size) const {
        std::string path = Write(name, {});
        fs::resize_file(path, size);
        return path;
    }

    // Every file in `folder` (not below it) with its contents; a link as "-> its target".
    std::map<std::string, std::string> Contents(const std::string& folder) const {
        std::map<std::string, std::string> files;
        for (const auto& item : fs::directory_iterator(PathOf(folder))) {
            files[item.path().filename().string()] =
                item.is_symlink() ? "-> " + fs::read_symlink(item.path()).string()
                                  : ReadFile(item.path());
        }
        return files;
    }

    Ran Run(std::vector<std::string> args) const {
        args.insert(args.begin(), RKA_TOOL_PATH);
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        std::string out = PathOf("stdout.txt"), err = PathOf("stderr.txt");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        pid_t pid;
        int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(spawned, 0);
        int status = 0;
        waitpid(pid, &status, 0);
        int code = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        return {code, ReadFile(out), ReadFile(err)};
    }
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST_F(RkaToolTest, UsageErrorsExitTwo) {
    std::string archive = Write("a.rka", rka_fixtures::Archive({}));
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"list"},
        {"frobnicate", archive},
        {"list", archive, "extra"},
        {"verify", archive, "extra"},
        {"pack", archive},
        {"extract", archive, "-C"},
    };
    for (const auto& args : cases) {
        Ran ran = Run(args);
        EXPECT_EQ(ran.code, 2) << testing::PrintToString(args);
        EXPECT_NE(ran.err.find("usage: rka"), std::string::npos) << ran.err;
    }
}

TEST_F(RkaToolTest, PackRefusesWhatTheGameCouldNotReadWithExitTwo) {
    std::vector<std::string> fiftyOne;
    for (int k = 0; k < 51; ++k) fiftyOne.push_back(Write("many/" + std::to_string(k), {1}));
    struct Case {
        const char* what;
        std::vector<std::string> files;
        const char* message;
    };
    const Case cases[] = {
        {"name over 12 bytes", {Write("abcdefghi.bmp", {1})}, "[abcdefghi.bmp] is 13 bytes"},
        {"51 entries", fiftyOne, "51 entries"},
        {"equal base names",
         {Write("one/x.bmp", {1}), Write("two/x.bmp", {2})},
         "[x.bmp] appears twice"},
        // The reader refuses an entry over 256 MiB; refused before it is read.
        {"file over 256 MiB", {Sparse("big.bmp", rka::kMaxUnpackedSize + 1ull)}, "at most"},
        {"files over 1 GiB in all",
         {Sparse("q1", 1ull << 28), Sparse("q2", 1ull << 28), Sparse("q3", 1ull << 28),
          Sparse("q4", 1ull << 28), Write("q5", {1})},
         "in all"},
        {"base name ..", {PathOf("many/..")}, "[..] is not a plain file name"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"pack", PathOf("out.rka")};
        args.insert(args.end(), c.files.begin(), c.files.end());
        Ran ran = Run(args);
        EXPECT_EQ(ran.code, 2) << c.what;
        EXPECT_NE(ran.err.find(c.message), std::string::npos) << c.what << ": " << ran.err;
        EXPECT_FALSE(fs::exists(PathOf("out.rka"))) << c.what;
    }
}

TEST_F(RkaToolTest, PackListExtractRoundTrips) {
    std::vector<std::string> files;
    std::vector<Bytes> contents;
    std::mt19937 random(3);
    const std::size_t sizes[] = {0, 1, 10, 1000, 77878};
    for (std::size_t k = 0; k < std::size(sizes); ++k) {
        Bytes data(sizes[k]);
        // Noise with stretches of equal bytes, as a picture has.
        for (std::size_t at = 0; at < data.size();) {
            std::size_t stretch = 1 + random() % (k % 2 ? 40 : 3);
            std::uint8_t value = static_cast<std::uint8_t>(random());
            for (; stretch-- && at < data.size(); ++at) data[at] = value;
        }
        contents.push_back(data);
        files.push_back(Write("in/f" + std::to_string(k) + ".bmp", data));
    }
    std::string archive = PathOf("a.rka");
    std::vector<std::string> args = {"pack", archive};
    args.insert(args.end(), files.begin(), files.end());
    ASSERT_EQ(Run(args).code, 0);

    EXPECT_EQ(Run({"verify", archive}).code, 0);

    Ran listed = Run({"list", archive});
    ASSERT_EQ(listed.code, 0) << listed.err;
    std::vector<std::string> lines = Lines(listed.out);
    ASSERT_EQ(lines.size(), files.size());
    for (std::size_t k = 0; k < files.size(); ++k) {
        std::istringstream line(lines[k]);
        std::string name;
        std::uint64_t unpacked = 0, packed = 0;
        line >> name >> unpacked >> packed;
        EXPECT_EQ(name, "f" + std::to_string(k) + ".bmp");
        EXPECT_EQ(unpacked, contents[k].size());
        EXPECT_LE(packed, contents[k].size() + rka::BlockSize(0, 0));
        EXPECT_GE(packed, rka::BlockSize(0, 0));
    }

    // All entries into the current folder when none is named...
    ASSERT_EQ(Run({"extract", archive, "-C", PathOf("all")}).code, 0);
    for (std::size_t k = 0; k < files.size(); ++k)
        EXPECT_EQ(Read(PathOf("all/f" + std::to_string(k) + ".bmp")), contents[k]) << k;
    // ...and only the named ones otherwise; -C may come first.
    ASSERT_EQ(Run({"extract", archive, "-C", PathOf("some"), "f4.bmp", "f1.bmp"}).code, 0);
    EXPECT_EQ(Read(PathOf("some/f4.bmp")), contents[4]);
    EXPECT_EQ(Read(PathOf("some/f1.bmp")), contents[1]);
    EXPECT_FALSE(fs::exists(PathOf("some/f0.bmp")));
}

TEST_F(RkaToolTest, ExtractTakesTheLaterOfEqualNamesAndRefusesUnsafeOnes) {
    std::string archive =
        Write("a.rka", rka_fixtures::Archive({{"a", rka_fixtures::Block(1, {}, "1")},
                                              {"../a", rka_fixtures::Block(1, {}, "2")},
                                              {"a", rka_fixtures::Block(1, {}, "3")}}));
    Ran ran = Run({"extract", archive, "-C", PathOf("out")});
    EXPECT_EQ(ran.code, 1);
    EXPECT_NE(ran.err.find("[../a] is not a plain file name"), std::string::npos) << ran.err;
    EXPECT_EQ(Read(PathOf("out/a")), Bytes{'3'});
    EXPECT_FALSE(fs::exists(PathOf("a")));

    ran = Run({"extract", archive, "-C", PathOf("out"), "missing"});
    EXPECT_EQ(ran.code, 1);
    EXPECT_NE(ran.err.find("no entry [missing]"), std::string::npos) << ran.err;
}

// Extract gives exactly what the game's reader unpacks, also for blocks that break the rules.
TEST_F(RkaToolTest, ExtractsIllFormedBlocksAsTheReaderDoesAndVerifyNamesThem) {
    for (const auto& fixture : rka_fixtures::FormDamage()) {
        std::string archive = Write("a.rka", fixture.bytes);
        auto directory = rka::ParseDirectory(fixture.bytes);
        const auto& entry = directory.value.entries[0];
        std::string name(entry.Name());
        ASSERT_EQ(Run({"extract", archive, "-C", PathOf("out"), name}).code, 0) << fixture.label;
        EXPECT_EQ(Read(PathOf("out/" + name)),
                  rka::UnpackBlock(rka::ParseBlock(fixture.bytes, entry.offset).value))
            << fixture.label;

        Ran verified = Run({"verify", archive});
        EXPECT_EQ(verified.code, 1) << fixture.label;
        ASSERT_EQ(Lines(verified.out).size(), 1u) << verified.out;
        EXPECT_NE(verified.out.find(rka::Describe(fixture.damage)), std::string::npos)
            << verified.out;
    }
}

TEST_F(RkaToolTest, DamagedArchivesGiveAMessageAndExitOne) {
    std::vector<rka_fixtures::Damaged> damaged = rka_fixtures::DirectoryDamage();
    for (auto& fixture : rka_fixtures::BlockDamage()) damaged.push_back(fixture);
    for (const auto& fixture : damaged) {
        std::string archive = Write("a.rka", fixture.bytes);
        for (const char* command : {"list", "extract", "verify"}) {
            std::vector<std::string> args = {command, archive};
            if (std::string(command) == "extract") args.insert(args.end(), {"-C", PathOf("o")});
            Ran ran = Run(args);
            EXPECT_EQ(ran.code, 1) << fixture.label << " " << command;
            // list and extract say why on stderr, verify lists it on stdout.
            std::string why = rka::Describe(fixture.damage);
            EXPECT_NE((std::string(command) == "verify" ? ran.out : ran.err).find(why),
                      std::string::npos)
                << fixture.label << " " << command << ": " << ran.out << ran.err;
        }
    }
    EXPECT_EQ(Run({"list", PathOf("missing.rka")}).code, 1);
}

// Planted links and files in the folder written to: the tool makes its file new and renames it
// into place, so it never writes through a link or into another file's data, inside or outside.
TEST_F(RkaToolTest, NeverWritesThroughALinkOrOutsideItsFolder) {
    const std::string archive =
        Write("a.rka", rka_fixtures::Archive({{"a", rka_fixtures::Block(3, {}, "new")}}));
    const std::string member = Write("in/m", {'n', 'e', 'w'});
    enum class Plant { kLinkOutside, kDanglingLink, kHardLinkOutside };
    struct Case {
        const char* what;
        bool pack;            // else extract
        const char* planted;  // in the folder written to
        Plant plant;
    };
    const Case cases[] = {
        {"entry named like a link to a file outside", false, "a", Plant::kLinkOutside},
        {"entry named like a dangling link", false, "a", Plant::kDanglingLink},
        {"entry named like a hard link to a file outside", false, "a", Plant::kHardLinkOutside},
        {"ARCHIVE.part planted as a link outside", true, "out.rka.part", Plant::kLinkOutside},
        {"ARCHIVE.part planted as a dangling link", true, "out.rka.part", Plant::kDanglingLink},
        {"archive itself a link to a file outside", true, "out.rka", Plant::kLinkOutside},
    };
    for (const Case& c : cases) {
        fs::remove_all(PathOf("work"));
        fs::remove_all(PathOf("outside"));
        fs::create_directories(PathOf("work"));
        Write("outside/victim", {'v'});
        const std::string planted = PathOf("work/") + c.planted;
        if (c.plant == Plant::kLinkOutside) fs::create_symlink(PathOf("outside/victim"), planted);
        if (c.plant == Plant::kDanglingLink) fs::create_symlink(PathOf("outside/new"), planted);
        if (c.plant == Plant::kHardLinkOutside)
            fs::create_hard_link(PathOf("outside/victim"), planted);
        const auto before = Contents("work");

        Ran ran = c.pack ? Run({"pack", PathOf("work/out.rka"), member})
                         : Run({"extract", archive, "-C", PathOf("work")});
        EXPECT_EQ(ran.code, 0) << c.what << ": " << ran.err;
        EXPECT_EQ(Contents("outside"), (std::map<std::string, std::string>{{"victim", "v"}}))
            << c.what;
        const std::string written = c.pack ? "out.rka" : "a";
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(PathOf("work/" + written)))) << c.what;
        // The one file written is new; anything else planted is left as it was, and no
        // temporary file stays behind.
        auto expected = before;
        expected[written] = c.pack ? std::string("") : "new";
        if (c.pack) {
            Bytes bytes = rka::WriteArchive({{"m", {'n', 'e', 'w'}}}).bytes;
            expected[written].assign(bytes.begin(), bytes.end());
        }
        EXPECT_EQ(Contents("work"), expected) << c.what;
    }
}

// A full disk: the write fails, the tool says so with exit 1, and the file that was there stays
// whole (it used to be truncated and left partial).
TEST_F(RkaToolTest, AFailedWriteLeavesTheOldFile) {
    fs::create_directories(PathOf("full"));
    if (mount("tmpfs", PathOf("full").c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs: " << std::strerror(errno);
    struct Unmount {
        std::string path;
        ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
    } unmount{PathOf("full")};

    Bytes noise(200000);  // more than the folder holds, and no runs to pack it small
    std::mt19937 random(7);
    for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
    const std::string archive = Write(
        "a.rka",
        rka_fixtures::Archive(
            {{"a", rka_fixtures::Block(200000, {}, std::string(noise.begin(), noise.end()))}}));
    const std::string input = Write("in/a", noise);
    struct Case {
        const char* what;
        std::vector<std::string> args;
        const char* file;  // in the full folder
    };
    const Case cases[] = {
        {"extract", {"extract", archive, "-C", PathOf("full")}, "a"},
        {"pack", {"pack", PathOf("full/out.rka"), input}, "out.rka"},
    };
    for (const Case& c : cases) {
        for (const auto& item : fs::directory_iterator(PathOf("full"))) fs::remove(item.path());
        Write(std::string("full/") + c.file, {'o', 'l', 'd'});
        Ran ran = Run(c.args);
        EXPECT_EQ(ran.code, 1) << c.what;
        EXPECT_NE(ran.err.find("full/" + std::string(c.file) +
                               ": write failed: " + std::strerror(ENOSPC)),
                  std::string::npos)
            << c.what << ": " << ran.err;
        EXPECT_EQ(Contents("full"), (std::map<std::string, std::string>{{c.file, "old"}}))
            << c.what;
    }
}

}  // namespace
