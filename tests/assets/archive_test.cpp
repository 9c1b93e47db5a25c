// The game's Archive: what it extracts, when it reads the file, and how it ends on bad input.
#include "archive.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "process.h"
#include "rka_fixtures.h"
#include "rka_pack.h"
#include "scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using rka_fixtures::Block;
using rka_fixtures::Bytes;

// The game's Japanese messages as FatalError shows them on the headless host (UTF-8).
const std::string kNotContained = "このファイルはＲＫＡファイルには含まれていません";
const std::string kCannotReopen = "tmp,ファイルがオープンできません";
const std::string kCannotCreate = "ファイルがオープン出来ません";

// A regular expression matching `text` literally.
std::string Literally(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (std::string_view(".[]{}()\\*+?^$|").find(c) != std::string_view::npos) out += '\\';
        out += c;
    }
    return out;
}

class ArchiveTest : public ScratchFolderTest {
  protected:
    ArchiveTest() : ScratchFolderTest("tavlo_archive_") {}

    // Opens `archive` and extracts `entry`; the unpacked bytes.
    Bytes Extract(const std::string& archive, const char* entry) const {
        std::string out = PathOf("tmp.bmp");
        Archive.OpenDirectory(archive.c_str());
        Archive.ExtractToFile(entry, out.c_str());
        const std::string bytes = testing_support::ReadFile(out);
        return Bytes(bytes.begin(), bytes.end());
    }
};

Bytes B(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

TEST_F(ArchiveTest, ExtractsTheWorkedExample) {
    std::string archive = Write(
        "a.rka", rka_fixtures::Archive(
                     {{"x.bmp", B("junk")}, {rka_fixtures::kEntry, rka_fixtures::ExampleBlock()}}));
    EXPECT_EQ(Extract(archive, rka_fixtures::kEntry), (Bytes{0x41, 0x78, 0x78, 0x78, 0x42}));
    EXPECT_EQ(std::string(Archive.path), archive);
    EXPECT_EQ(Archive.entryCount, 2);
}

// The same cases as the format's own tests, read through the file as the game does.
TEST_F(ArchiveTest, UnpacksEdgeCasesOfTheLoop) {
    struct Case {
        const char* what;
        Bytes block;
        std::string expected;
    };
    const Case cases[] = {
        {"N = 0", Block(3, {}, "abc"), "abc"},
        {"C = 0", Block(4, {{0, 2, 'x'}, {0, 2, 'y'}}, ""), "xxyy"},
        {"U = 0 gives an empty file", Block(0, {{0, 5, 'x'}}, "abc"), ""},
        {"run beyond U cut off", Block(4, {{1, 5, 'x'}}, "ab"), "axxx"},
        {"runs in array order before the literal", Block(5, {{1, 1, 'x'}, {1, 2, 'y'}}, "ab"),
         "axyyb"},
        {"decreasing positions stop the runs",
         Block(6, {{1, 1, 'x'}, {0, 1, 'y'}, {2, 1, 'z'}}, "abc"), std::string("axbc\0\0", 6)},
        {"position of U never reached", Block(4, {{4, 2, 'x'}}, "ab"), std::string("ab\0\0", 4)},
    };
    for (const Case& c : cases) {
        std::string archive = Write("a.rka", rka_fixtures::Archive({{"e", c.block}}));
        Archive.path[0] = 0;  // read the rewritten directory
        EXPECT_EQ(Extract(archive, "e"), B(c.expected)) << c.what;
        EXPECT_TRUE(fs::exists(PathOf("tmp.bmp"))) << c.what;
    }
}

TEST_F(ArchiveTest, BytesNoRunReachesAreZeroEvenInReusedMemory) {
    const std::uint32_t size = 60000;
    std::string archive =
        Write("a.rka", rka_fixtures::Archive({
                           {"full", Block(size, {{0, size, 0xAB}}, "")},
                           // The second run is never written: its position lies behind the first's.
                           {"sparse", Block(size, {{1, 1, 'x'}, {0, size - 3, 'y'}}, "ab")},
                       }));
    ASSERT_EQ(Extract(archive, "full"), Bytes(size, 0xAB));
    Bytes expected(size, 0);
    expected[0] = 'a', expected[1] = 'x', expected[2] = 'b';
    EXPECT_EQ(Extract(archive, "sparse"), expected);
}

TEST_F(ArchiveTest, LaterOfEqualNamesWinsAndCaseCounts) {
    std::string archive = Write("a.rka", rka_fixtures::Archive({{"a.bmp", Block(1, {}, "1")},
                                                                {"A.BMP", Block(1, {}, "2")},
                                                                {"a.bmp", Block(1, {}, "3")},
                                                                {"b.bmp", Block(1, {}, "4")}}));
    EXPECT_EQ(Extract(archive, "a.bmp"), B("3"));
    EXPECT_EQ(Extract(archive, "A.BMP"), B("2"));
}

TEST_F(ArchiveTest, NameFieldWithoutZeroIsComparedWithinItsThirteenBytes) {
    // The second field starts right behind the first: read past its end, the first would say
    // "abcdefghijklmn".
    std::string archive = Write(
        "a.rka",
        rka_fixtures::Archive({{"abcdefghijklm", Block(1, {}, "1")}, {"n", Block(1, {}, "2")}}));
    EXPECT_EQ(Extract(archive, "abcdefghijklm"), B("1"));
    EXPECT_EXIT(Extract(archive, "abcdefghijklmn"), testing::ExitedWithCode(1),
                Literally("[abcdefghijklmn]" + kNotContained));
}

TEST_F(ArchiveTest, DirectoryIsReadOncePerPathButEntriesEveryTime) {
    std::string first = Write("first.rka", rka_fixtures::Archive({{"e", Block(1, {}, "1")}}));
    EXPECT_EQ(Extract(first, "e"), B("1"));
    // Same layout, new contents: the entry is read anew from the file.
    Write("first.rka", rka_fixtures::Archive({{"e", Block(1, {}, "9")}}));
    EXPECT_EQ(Extract(first, "e"), B("9"));
    // A new directory under the same path is not read...
    Write("first.rka", rka_fixtures::Archive({{"x", Block(1, {}, "7")}, {"y", Block(1, {}, "8")}}));
    Archive.OpenDirectory(first.c_str());
    EXPECT_EQ(Archive.entryCount, 1);
    // ...but another path replaces the directory.
    std::string second =
        Write("second.rka", rka_fixtures::Archive({{"f", Block(2, {}, "22")}, {"g", B("")}}));
    EXPECT_EQ(Extract(second, "f"), B("22"));
    EXPECT_EQ(Archive.entryCount, 2);
    EXPECT_EQ(std::string(Archive.path), second);
}

TEST_F(ArchiveTest, FiftyEntriesAreAccepted) {
    std::vector<std::pair<std::string, Bytes>> entries;
    for (int k = 0; k < 50; ++k)
        entries.push_back({"e" + std::to_string(k), Block(1, {}, std::string(1, '0' + k % 10))});
    std::string archive = Write("a.rka", rka_fixtures::Archive(entries));
    EXPECT_EQ(Extract(archive, "e49"), B("9"));
    EXPECT_EQ(Archive.entryCount, 50);
}

TEST_F(ArchiveTest, EndsWithTheGamesMessages) {
    std::string empty = Write("empty.rka", rka_fixtures::Archive({}));
    std::string good = Write("good.rka", rka_fixtures::Archive({{"e", Block(1, {}, "1")}}));
    std::string missing = PathOf("missing.rka");
    std::string longName(300, 'n');
    struct Case {
        const char* what;
        std::string archive;
        std::string entry;
        std::string output;
        std::string message;
    };
    const Case cases[] = {
        {"no archive", missing, "e", PathOf("o"), "File can't open[" + missing + "]"},
        {"0 entries", empty, "e", PathOf("o"), "[e]" + kNotContained},
        {"unknown entry", good, "E", PathOf("o"), "[E]" + kNotContained},
        // Cut to the 256-byte buffer, not written past it.
        {"name longer than the message buffer", good, longName, PathOf("o"),
         "[" + std::string(200, 'n')},
        {"output not creatable", good, "e", PathOf("none/o"),
         kCannotCreate + "[" + PathOf("none/o") + "]"},
        // A full disk: the write, not a later read of the picture, ends the program.
        {"output on a full disk", good, "e", "/dev/full", "File can't write[/dev/full]"},
    };
    for (const Case& c : cases) {
        EXPECT_EXIT(
            {
                Archive.OpenDirectory(c.archive.c_str());
                Archive.ExtractToFile(c.entry.c_str(), c.output.c_str());
            },
            testing::ExitedWithCode(1), Literally(c.message))
            << c.what;
    }
}

TEST_F(ArchiveTest, EndsWhenTheArchiveIsGoneBeforeTheEntryIsRead) {
    std::string archive = Write("a.rka", rka_fixtures::Archive({{"e", Block(1, {}, "1")}}));
    Archive.OpenDirectory(archive.c_str());
    fs::remove(archive);
    EXPECT_EXIT(Archive.ExtractToFile("e", PathOf("o").c_str()), testing::ExitedWithCode(1),
                Literally(kCannotReopen + "[e]"));
}

TEST_F(ArchiveTest, MoreThanFiftyEntriesEnd) {
    for (int count : {51, 52, 255}) {
        Bytes file(rka::DirectorySize(count), 0);
        file[0] = static_cast<std::uint8_t>(count);
        std::string archive = Write("a.rka", file);
        EXPECT_EXIT(Archive.OpenDirectory(archive.c_str()), testing::ExitedWithCode(1),
                    "File max over")
            << count;
    }
}

TEST_F(ArchiveTest, PathsThatDoNotFitAreRefusedNotCut) {
    // A real archive whose path is exactly 199 bytes, and a 200-byte path that would be cut to it.
    std::string base = PathOf("");
    std::string folder = PathOf(std::string(199 - base.size() - 6, 'd'));
    fs::create_directories(folder);
    std::string archive = folder + "/a.rka";
    ASSERT_EQ(archive.size(), 199u);
    std::ofstream(archive, std::ios::binary).write("\0", 1);
    Archive.OpenDirectory(archive.c_str());
    EXPECT_EQ(std::string(Archive.path), archive);

    std::string longer = archive + "x";
    fs::copy_file(archive, longer);
    EXPECT_EXIT(Archive.OpenDirectory(longer.c_str()), testing::ExitedWithCode(1),
                "path of 200 bytes is too long");
    std::string huge = base + std::string(400, 'p');
    EXPECT_EXIT(Archive.OpenDirectory(huge.c_str()), testing::ExitedWithCode(1), "too long");
}

TEST_F(ArchiveTest, DamagedDirectoriesEndNamingTheArchive) {
    for (const auto& fixture : rka_fixtures::DirectoryDamage()) {
        std::string archive = Write("a.rka", fixture.bytes);
        EXPECT_EXIT(
            Archive.OpenDirectory(archive.c_str()), testing::ExitedWithCode(1),
            Literally("RKA archive [" + archive + "] is damaged: " + rka::Describe(fixture.damage)))
            << fixture.label;
    }
}

TEST_F(ArchiveTest, DamagedBlocksEndNamingTheEntry) {
    for (const auto& fixture : rka_fixtures::BlockDamage()) {
        std::string archive = Write("a.rka", fixture.bytes);
        EXPECT_EXIT(Extract(archive, rka_fixtures::kEntry), testing::ExitedWithCode(1),
                    Literally(std::string("RKA entry [") + rka_fixtures::kEntry + "] of [" +
                              archive + "] is damaged: " + rka::Describe(fixture.damage)))
            << fixture.label;
    }
}

// What the game makes of blocks that break the format's rules is what the rka tool extracts.
TEST_F(ArchiveTest, IllFormedBlocksUnpackAsTheToolUnpacksThem) {
    for (const auto& fixture : rka_fixtures::FormDamage()) {
        std::string archive = Write(fixture.label + ".rka", fixture.bytes);
        auto directory = rka::ParseDirectory(fixture.bytes);
        ASSERT_TRUE(directory.ok());
        const auto& entry = directory.value.entries[0];
        auto block = rka::ParseBlock(fixture.bytes, entry.offset);
        ASSERT_TRUE(block.ok()) << fixture.label;
        EXPECT_EQ(Extract(archive, std::string(entry.Name()).c_str()),
                  rka::UnpackBlock(block.value))
            << fixture.label;
    }
}

TEST_F(ArchiveTest, OutputThatCannotBeAllocatedEndsWithMemOver) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer needs more address space than the limit leaves";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "AddressSanitizer needs more address space than the limit leaves";
#endif
#endif
    // A sound 18-byte block that unpacks to 250 MiB, under a 160 MiB address-space limit.
    const std::uint32_t size = 250u << 20;
    std::string archive =
        Write("a.rka", rka_fixtures::Archive({{"e", Block(size, {{0, size, 0}}, "")}}));
    auto extractWithLittleMemory = [&] {
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = rlim_t{160} << 20;
        setrlimit(RLIMIT_AS, &limit);
        Extract(archive, "e");
    };
    EXPECT_EXIT(extractWithLittleMemory(), testing::ExitedWithCode(1), "mem over");
}

}  // namespace
