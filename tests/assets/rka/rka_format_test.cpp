// The archive layout shared by the game and the tool: unpacking, parsing, verifying, packing.
#include "rka_pack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "reference_unpack.h"
#include "rka_fixtures.h"

namespace {

using rka::Damage;
using rka_fixtures::Block;
using rka_fixtures::Bytes;

Bytes B(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes UnpackOver(const rka::Block& b, std::uint8_t fill) {
    Bytes out(b.unpackedSize, fill);
    rka::Unpack(b.literals.data(), static_cast<std::uint32_t>(b.literals.size()),
                b.runPositions.data(), b.runLengths.data(), b.runValues.data(), b.RunCount(),
                out.data(), b.unpackedSize);
    return out;
}

rka::Block MakeBlock(std::uint32_t u, std::vector<rka_fixtures::Run> runs, const std::string& lit) {
    rka::Block b;
    b.unpackedSize = u;
    for (const auto& run : runs) {
        b.runPositions.push_back(run.position);
        b.runLengths.push_back(run.length);
        b.runValues.push_back(run.value);
    }
    b.literals = B(lit);
    return b;
}

TEST(RkaUnpack, WorkedExampleBlockGivesItsFiveBytes) {
    Bytes file = rka_fixtures::Archive({{"x", rka_fixtures::ExampleBlock()}});
    ASSERT_EQ(rka_fixtures::ExampleBlock().size(), 23u);
    auto block = rka::ParseBlock(file, static_cast<std::uint32_t>(rka::DirectorySize(1)));
    ASSERT_TRUE(block.ok()) << rka::Describe(block.damage);
    EXPECT_EQ(rka::UnpackBlock(block.value), (Bytes{0x41, 0x78, 0x78, 0x78, 0x42}));
    EXPECT_EQ(block.value.PackedSize(), 23u);
}

// Each case: a block and the bytes the game's reader makes of it ('.' for a byte nothing reaches,
// which the caller has zeroed).
TEST(RkaUnpack, FollowsTheReadersLoop) {
    struct Case {
        const char* what;
        rka::Block block;
        const char* expected;
    };
    const Case cases[] = {
        {"no runs", MakeBlock(3, {}, "abc"), "abc"},
        {"no literals", MakeBlock(4, {{0, 2, 'x'}, {0, 2, 'y'}}, ""), "xxyy"},
        {"nothing at all", MakeBlock(0, {{0, 5, 'x'}}, "abc"), ""},
        {"run after the last literal", MakeBlock(5, {{2, 3, 'x'}}, "ab"), "abxxx"},
        {"runs at one position in array order, before the literal",
         MakeBlock(5, {{1, 1, 'x'}, {1, 2, 'y'}}, "ab"), "axyyb"},
        {"run beyond U cut off, literal behind it dropped", MakeBlock(4, {{1, 5, 'x'}}, "ab"),
         "axxx"},
        {"length-0 run writes nothing", MakeBlock(2, {{1, 0, 'x'}}, "ab"), "ab"},
        {"decreasing position stops this run and all behind it",
         MakeBlock(8, {{1, 1, 'x'}, {0, 1, 'y'}, {2, 1, 'z'}}, "abc"), "axbc...."},
        {"position of U or more never reached", MakeBlock(5, {{5, 2, 'x'}}, "ab"), "ab..."},
        {"U beyond what the block fills", MakeBlock(4, {}, "ab"), "ab.."},
        {"fewer literals than U, run behind them", MakeBlock(6, {{4, 2, 'x'}}, "ab"), "abxx.."},
        // A 32-bit output position would wrap after the first run and let the second write.
        {"output position does not wrap", MakeBlock(3, {{0, 0xFFFFFFFFu, 'x'}, {0, 2, 'y'}}, "a"),
         "xxx"},
    };
    for (const Case& c : cases) {
        Bytes got = UnpackOver(c.block, 0);
        std::string shown;
        for (std::uint8_t byte : got) shown += byte ? static_cast<char>(byte) : '.';
        EXPECT_EQ(shown, c.expected) << c.what;
        // Every byte it leaves alone is one the loop leaves alone.
        Bytes untouched = UnpackOver(c.block, 0xEE);
        for (std::size_t k = 0; k < got.size(); ++k) {
            if (c.expected[k] == '.') {
                EXPECT_EQ(untouched[k], 0xEE) << c.what << " byte " << k;
            }
        }
    }
}

// The unpacker skips ahead where nothing more can be written; it must still agree with the loop
// as written on arbitrary, mostly ill-formed blocks.
TEST(RkaUnpack, AgreesWithTheLiteralLoopOnRandomBlocks) {
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        rka::Block b;
        b.unpackedSize = random() % 40;
        b.literals.resize(random() % 30);
        for (auto& byte : b.literals) byte = static_cast<std::uint8_t>('a' + random() % 26);
        std::uint32_t runs = random() % 6;
        std::uint32_t position = 0;
        for (std::uint32_t r = 0; r < runs; ++r) {
            // Mostly increasing, sometimes falling back or jumping past U.
            position = random() % 5 == 0 ? random() % 45 : position + random() % 8;
            b.runPositions.push_back(position);
            b.runLengths.push_back(random() % 10 == 0 ? 0xFFFFFFF0u + random() % 16
                                                      : random() % 12);
            b.runValues.push_back(static_cast<std::uint8_t>('A' + r));
        }
        ASSERT_EQ(UnpackOver(b, 0xEE), rka_fixtures::ReferenceUnpack(b, 0xEE)) << "round " << round;
    }
}

TEST(RkaDirectory, AcceptsZeroToFiftyEntriesAndRefusesMore) {
    for (std::size_t count : {0u, 1u, 49u, 50u}) {
        std::vector<std::pair<std::string, Bytes>> entries;
        for (std::size_t k = 0; k < count; ++k)
            entries.push_back({"e" + std::to_string(k), rka_fixtures::ExampleBlock()});
        auto directory = rka::ParseDirectory(rka_fixtures::Archive(entries));
        ASSERT_TRUE(directory.ok()) << count;
        EXPECT_EQ(directory.value.entries.size(), count);
        EXPECT_TRUE(rka::Verify(rka_fixtures::Archive(entries)).empty()) << count;
    }
    for (std::uint8_t count : {51, 52, 255}) {
        Bytes file(rka::DirectorySize(count) + 100, 0);
        file[0] = count;
        EXPECT_EQ(rka::ParseDirectory(file).damage, Damage::kTooManyEntries) << int{count};
    }
}

TEST(RkaDirectory, FindsTheLastOfEqualNamesCaseSensitively) {
    Bytes file = rka_fixtures::Archive({{"a.bmp", Block(1, {}, "1")},
                                        {"b.bmp", Block(1, {}, "2")},
                                        {"a.bmp", Block(1, {}, "3")},
                                        {"abcdefghijklm", Block(1, {}, "4")}});
    auto directory = rka::ParseDirectory(file);
    ASSERT_TRUE(directory.ok());
    EXPECT_EQ(directory.value.Find("a.bmp"), 2);
    EXPECT_EQ(directory.value.Find("b.bmp"), 1);
    EXPECT_EQ(directory.value.Find("A.BMP"), -1);
    EXPECT_EQ(directory.value.Find("a.bm"), -1);
    EXPECT_EQ(directory.value.Find(""), -1);
    // A field without a zero byte holds exactly its 13 bytes.
    EXPECT_EQ(directory.value.Find("abcdefghijklm"), 3);
    EXPECT_EQ(directory.value.Find("abcdefghijklmn"), -1);
    EXPECT_EQ(directory.value.Find("abcdefghijkl"), -1);
}

TEST(RkaDamage, DirectoriesThatCannotBeReadSayWhy) {
    for (const auto& fixture : rka_fixtures::DirectoryDamage()) {
        EXPECT_EQ(rka::ParseDirectory(fixture.bytes).damage, fixture.damage) << fixture.label;
        auto problems = rka::Verify(fixture.bytes);
        ASSERT_EQ(problems.size(), 1u) << fixture.label;
        EXPECT_NE(problems[0].find(rka::Describe(fixture.damage)), std::string::npos)
            << problems[0];
    }
}

TEST(RkaDamage, BlocksTheReaderRefusesSayWhy) {
    for (const auto& fixture : rka_fixtures::BlockDamage()) {
        auto directory = rka::ParseDirectory(fixture.bytes);
        ASSERT_TRUE(directory.ok()) << fixture.label;
        auto block = rka::ParseBlock(fixture.bytes, directory.value.entries[0].offset);
        EXPECT_EQ(block.damage, fixture.damage) << fixture.label;
        auto problems = rka::Verify(fixture.bytes);
        ASSERT_FALSE(problems.empty()) << fixture.label;
        EXPECT_NE(problems[0].find(rka::Describe(fixture.damage)), std::string::npos)
            << problems[0];
        EXPECT_NE(problems[0].find(rka_fixtures::kEntry), std::string::npos) << problems[0];
    }
}

TEST(RkaDamage, IllFormedBlocksAreReadButReportedOncePerProblem) {
    for (const auto& fixture : rka_fixtures::FormDamage()) {
        auto directory = rka::ParseDirectory(fixture.bytes);
        ASSERT_TRUE(directory.ok()) << fixture.label;
        EXPECT_TRUE(rka::ParseBlock(fixture.bytes, directory.value.entries[0].offset).ok())
            << fixture.label;
        auto problems = rka::Verify(fixture.bytes);
        ASSERT_EQ(problems.size(), 1u) << fixture.label;
        EXPECT_NE(problems[0].find(rka::Describe(fixture.damage)), std::string::npos)
            << problems[0];
    }
}

TEST(RkaVerify, ListsEveryProblemOfEveryEntry) {
    Bytes file = rka_fixtures::Archive({
        {"good.bmp", rka_fixtures::ExampleBlock()},
        // Three problems: U, a fall in positions (reported once for two falls) and a position
        // past the literals.
        {"bad.bmp", Block(9, {{3, 1, 'x'}, {1, 1, 'y'}, {0, 1, 'z'}}, "ab")},
        {"cut.bmp", Block(1, {}, "a")},
    });
    file = rka_fixtures::WithOffset(file, 2, 0x10000);
    auto problems = rka::Verify(file);
    ASSERT_EQ(problems.size(), 4u);
    EXPECT_EQ(problems[0].rfind("entry 1 [bad.bmp]: ", 0), 0u) << problems[0];
    EXPECT_NE(problems[1].find("at run 1 (1 < 3) and 1 more"), std::string::npos) << problems[1];
    EXPECT_NE(problems[2].find("at run 0 (3 > 2)"), std::string::npos) << problems[2];
    EXPECT_EQ(problems[3].rfind("entry 2 [cut.bmp]: ", 0), 0u) << problems[3];
}

// What `rka pack` refuses to write and `rka extract` to take, and the reader cannot find or
// refuses, `rka verify` names: one problem per archive here.
TEST(RkaVerify, NamesWhatPackAndExtractRefuse) {
    const Bytes small = rka_fixtures::ExampleBlock();
    // A well-formed block of one run: a few bytes that unpack to `size`.
    auto huge = [](std::uint32_t size) { return Block(size, {{0, size, 'x'}}, ""); };
    auto many = [&](std::size_t count, std::uint32_t size) {
        std::vector<std::pair<std::string, Bytes>> entries;
        for (std::size_t k = 0; k < count; ++k)
            entries.push_back({"e" + std::to_string(k), huge(size)});
        return rka_fixtures::Archive(entries);
    };
    struct Case {
        const char* what;
        Bytes file;
        const char* problem;  // part of the one line, or "" when sound
    };
    const Case cases[] = {
        {"slash", rka_fixtures::Archive({{"a/b", small}}), "entry 0 [a/b]: not a plain file name"},
        {"dot dot", rka_fixtures::Archive({{"..", small}}), "[..]: not a plain file name"},
        {"dot", rka_fixtures::Archive({{".", small}}), "[.]: not a plain file name"},
        {"empty name", rka_fixtures::Archive({{"", small}}), "entry 0 []: empty name"},
        {"equal names", rka_fixtures::Archive({{"a", small}, {"b", small}, {"a", small}}),
         "entry 0 [a]: hidden by entry 2"},
        {"entry of 256 MiB", many(1, rka::kMaxUnpackedSize), ""},
        {"entry over 256 MiB", many(1, rka::kMaxUnpackedSize + 1),
         rka::Describe(Damage::kUnpackedSizeTooLarge)},
        {"1 GiB in all", many(4, rka::kMaxUnpackedSize), ""},
        {"over 1 GiB in all", many(5, rka::kMaxUnpackedSize), "1342177280 bytes in all"},
        {"12.5 GiB in all", many(50, rka::kMaxUnpackedSize), "13421772800 bytes in all"},
    };
    for (const Case& c : cases) {
        auto problems = rka::Verify(c.file);
        if (!*c.problem) {
            EXPECT_TRUE(problems.empty()) << c.what << ": " << testing::PrintToString(problems);
            continue;
        }
        ASSERT_EQ(problems.size(), 1u) << c.what << ": " << testing::PrintToString(problems);
        EXPECT_NE(problems[0].find(c.problem), std::string::npos) << c.what << ": " << problems[0];
    }
}

TEST(RkaWrite, RefusesSizesTheReaderRefuses) {
    const std::uint64_t max = rka::kMaxUnpackedSize;
    struct Case {
        std::vector<std::uint64_t> sizes;
        const char* error;  // part of the message, or "" when accepted
    };
    const Case cases[] = {
        {{max}, ""},
        {{max + 1}, "[m1] holds 268435457 bytes"},
        {{max, max, max, max}, ""},
        {{max, max, max, max, 1}, "1073741825 bytes in all"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> names;
        for (std::size_t k = 0; k < c.sizes.size(); ++k)
            names.push_back("m" + std::to_string(k + 1));
        std::string error = rka::CheckMemberSizes(names, c.sizes);
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        EXPECT_EQ(error.empty(), !*c.error) << error;
    }
}

// A data set with stretches of equal bytes of every length around the break-even of 9.
Bytes RunnyData(std::mt19937& random, std::size_t size) {
    Bytes data;
    while (data.size() < size) {
        std::size_t stretch = random() % 4 == 0 ? random() % 40 : 1 + random() % 3;
        std::uint8_t value = static_cast<std::uint8_t>(random() % 3 == 0 ? random() : 0);
        for (std::size_t k = 0; k < stretch && data.size() < size; ++k) data.push_back(value);
    }
    return data;
}

TEST(RkaPack, RoundTripsThroughTheReader) {
    for (std::uint32_t seed : {1u, 2u, 3u, 4u}) {
        std::mt19937 random(seed);
        for (std::size_t size : {0, 1, 9, 10, 11, 100, 4096, 77878}) {
            Bytes data = seed % 2 ? RunnyData(random, size) : Bytes(size);
            if (seed == 4)
                for (auto& byte : data) byte = static_cast<std::uint8_t>(random());
            rka::Block packed = rka::Pack(data);
            Bytes encoded = rka::EncodeBlock(packed);
            ASSERT_EQ(encoded.size(), packed.PackedSize());
            // Through the bytes of a whole archive, as the reader sees them.
            Bytes file = rka_fixtures::Archive({{"d", encoded}});
            ASSERT_TRUE(rka::Verify(file).empty()) << seed << "/" << size;
            auto parsed = rka::ParseBlock(file, static_cast<std::uint32_t>(rka::DirectorySize(1)));
            ASSERT_TRUE(parsed.ok());
            EXPECT_EQ(rka::UnpackBlock(parsed.value), data) << seed << "/" << size;
        }
    }
}

// The smallest well-formed block for `data`, over every way of covering it with literals and
// runs: best[k] is the least cost of the first k bytes (a literal costs 1, a run of equal bytes 9).
std::uint64_t SmallestBlock(const Bytes& data) {
    std::vector<std::uint64_t> best(data.size() + 1, 0);
    for (std::size_t k = 1; k <= data.size(); ++k) {
        best[k] = best[k - 1] + 1;
        for (std::size_t start = k - 1; start-- > 0 && data[start] == data[k - 1];)
            best[k] = std::min(best[k], best[start] + rka::kRunSize);
        best[k] = std::min(best[k], best[k - 1] + rka::kRunSize);  // a run of one byte
    }
    return rka::BlockSize(0, 0) + best[data.size()];
}

TEST(RkaPack, NoSmallerBlockExists) {
    // Every string of 0s and 1s up to 14 bytes, then longer random ones with long stretches.
    for (std::size_t size = 0; size <= 14; ++size) {
        for (std::uint32_t bits = 0; bits < (1u << size); ++bits) {
            Bytes data(size);
            for (std::size_t k = 0; k < size; ++k) data[k] = (bits >> k) & 1;
            ASSERT_EQ(rka::Pack(data).PackedSize(), SmallestBlock(data)) << size << ":" << bits;
        }
    }
    std::mt19937 random(11);
    for (int round = 0; round < 500; ++round) {
        Bytes data = RunnyData(random, random() % 120);
        ASSERT_EQ(rka::Pack(data).PackedSize(), SmallestBlock(data)) << round;
    }
}

TEST(RkaPack, TakesExactlyTheRunsThatSaveBytes) {
    std::mt19937 random(5);
    for (int round = 0; round < 300; ++round) {
        Bytes data = RunnyData(random, 200);
        rka::Block packed = rka::Pack(data);
        // Dropping a run would put its length back as literals: only a run longer than 9 saves.
        // It covers its whole stretch of equal bytes: a shorter run would leave bytes to save.
        std::uint64_t start = 0;
        for (std::uint32_t r = 0; r < packed.RunCount(); ++r) {
            std::uint64_t at = packed.runPositions[r] + start, end = at + packed.runLengths[r];
            EXPECT_GT(packed.runLengths[r], rka::kRunSize);
            if (at > 0) {
                EXPECT_NE(data[at - 1], packed.runValues[r]) << round << " run " << r;
            }
            if (end < data.size()) {
                EXPECT_NE(data[end], packed.runValues[r]) << round << " run " << r;
            }
            start += packed.runLengths[r];
        }
        // Left among the literals, no stretch of equal bytes is long enough to be worth a run.
        std::size_t stretch = 0;
        for (std::size_t k = 0; k < packed.literals.size(); ++k) {
            bool runSplitsHere = std::find(packed.runPositions.begin(), packed.runPositions.end(),
                                           k) != packed.runPositions.end();
            stretch = k > 0 && !runSplitsHere && packed.literals[k] == packed.literals[k - 1]
                          ? stretch + 1
                          : 1;
            EXPECT_LE(stretch, rka::kRunSize) << round << " literal " << k;
        }
    }
}

TEST(RkaWrite, RefusesWhatTheReaderCouldNotFind) {
    auto member = [](std::string name) { return rka::Member{std::move(name), {1, 2, 3}}; };
    std::vector<rka::Member> fifty, fiftyOne;
    for (int k = 0; k < 51; ++k) (k < 50 ? fifty : fiftyOne).push_back(member(std::to_string(k)));
    fiftyOne.insert(fiftyOne.begin(), fifty.begin(), fifty.end());
    struct Case {
        const char* what;
        std::vector<rka::Member> members;
        const char* error;  // part of the message, or "" when accepted
    };
    const Case cases[] = {
        {"none", {}, ""},
        {"twelve bytes", {member("abcdefgh.bmp")}, ""},
        {"fifty", fifty, ""},
        {"thirteen bytes", {member("abcdefghi.bmp")}, "[abcdefghi.bmp] is 13 bytes"},
        {"fifty-one", fiftyOne, "51 entries"},
        {"equal names", {member("a"), member("b"), member("a")}, "[a] appears twice"},
        {"empty name", {member("")}, "empty name"},
        {"zero byte", {member(std::string("a\0b", 3))}, "zero byte"},
        {"slash", {member("a/b")}, "[a/b] is not a plain file name"},
        {"dot", {member(".")}, "[.] is not a plain file name"},
        {"dot dot", {member("..")}, "[..] is not a plain file name"},
    };
    for (const Case& c : cases) {
        rka::Written written = rka::WriteArchive(c.members);
        if (*c.error) {
            EXPECT_NE(written.error.find(c.error), std::string::npos)
                << c.what << ": " << written.error;
            EXPECT_TRUE(written.bytes.empty()) << c.what;
            continue;
        }
        ASSERT_EQ(written.error, "") << c.what;
        EXPECT_TRUE(rka::Verify(written.bytes).empty()) << c.what;
        auto directory = rka::ParseDirectory(written.bytes);
        ASSERT_TRUE(directory.ok());
        ASSERT_EQ(directory.value.entries.size(), c.members.size());
        for (std::size_t k = 0; k < c.members.size(); ++k) {
            EXPECT_EQ(directory.value.entries[k].Name(), c.members[k].name);
            auto block = rka::ParseBlock(written.bytes, directory.value.entries[k].offset);
            EXPECT_EQ(rka::UnpackBlock(block.value), c.members[k].data);
        }
    }
}

}  // namespace
