// Fuzzes the archive layout with the input taken two ways: as an archive file (parse, unpack
// every entry whatever its size, and verify) and as the contents of an entry (pack, then read
// back). Beyond the sanitizers' findings it checks that the unpacker agrees with the reader's
// loop as written, that the verifier and the parsers agree, that what the verifier passes the
// writer would write again, and that packing is lossless and never beaten by a well-formed block
// found in the input.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "rka_pack.h"
#include "reference_unpack.h"

namespace {

constexpr std::uint32_t kMaxRepacked = 1u << 20;

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

bool WellFormed(const rka::Block& b) {
    std::uint64_t filled = b.literals.size();
    for (std::uint32_t r = 0; r < b.RunCount(); ++r) {
        filled += b.runLengths[r];
        if (b.runPositions[r] > b.literals.size()) return false;
        if (r > 0 && b.runPositions[r] < b.runPositions[r - 1]) return false;
    }
    return filled == b.unpackedSize;
}

void RoundTrip(std::span<const std::uint8_t> data) {
    rka::Block packed = rka::Pack(data);
    std::vector<std::uint8_t> encoded = rka::EncodeBlock(packed);
    Require(encoded.size() == packed.PackedSize());
    rka::Parsed<rka::Block> parsed = rka::ParseBlock(encoded, 0);
    Require(parsed.ok() && WellFormed(parsed.value));
    std::vector<std::uint8_t> unpacked = rka::UnpackBlock(parsed.value);
    Require(unpacked.size() == data.size() &&
            std::equal(unpacked.begin(), unpacked.end(), data.begin()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> file(data, size);
    std::vector<std::string> problems = rka::Verify(file);
    rka::Parsed<rka::Directory> directory = rka::ParseDirectory(file);
    Require(directory.ok() || problems.size() == 1);

    if (directory.ok()) {
        // What the verifier passes, extract takes whole and pack would write again.
        if (problems.empty()) {
            std::vector<std::string> names;
            std::vector<std::uint64_t> sizes;
            for (const rka::DirectoryEntry& entry : directory.value.entries) {
                names.emplace_back(entry.Name());
                sizes.push_back(rka::ParseBlock(file, entry.offset).value.unpackedSize);
            }
            Require(rka::CheckMemberNames(names).empty() &&
                    rka::CheckMemberSizes(names, sizes).empty());
        }
        for (const rka::DirectoryEntry& entry : directory.value.entries) {
            std::string name(entry.Name());
            Require(directory.value.Find(name.c_str()) >= 0);
            rka::Parsed<rka::Block> block = rka::ParseBlock(file, entry.offset);
            if (!block.ok()) {
                Require(!problems.empty());
                continue;
            }
            Require(block.value.PackedSize() + entry.offset <= size);
            if (!WellFormed(block.value)) Require(!problems.empty());
            // Up to 256 MiB each: the buffers are kept from input to input, so that a large
            // output costs a fill rather than fresh pages.
            static std::vector<std::uint8_t> unpacked, reference;
            const rka::Block& b = block.value;
            unpacked.assign(b.unpackedSize, 0);
            rka::Unpack(b.literals.data(), static_cast<std::uint32_t>(b.literals.size()),
                        b.runPositions.data(), b.runLengths.data(), b.runValues.data(),
                        b.RunCount(), unpacked.data(), b.unpackedSize);
            rka_fixtures::ReferenceUnpackInto(b, reference);
            Require(unpacked == reference);
            // A well-formed block is one way to store its bytes: the packer's is never larger
            // (packing costs seconds per 256 MiB under the fuzzer's instrumentation, so only up
            // to several real pictures' size; the unit tests cover the rule exhaustively).
            if (WellFormed(block.value) && block.value.unpackedSize <= kMaxRepacked)
                Require(rka::Pack(unpacked).PackedSize() <= block.value.PackedSize());
        }
    }

    RoundTrip(file);
    return 0;
}
