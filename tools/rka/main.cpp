// rka: the command-line tool for RKA archives, for whoever prepares the game's artwork.
//
//   rka list ARCHIVE                       name, unpacked size, packed size per entry
//   rka extract ARCHIVE [NAME...] [-C DIR]  unpack entries (all when none named) into DIR
//   rka pack ARCHIVE FILE...               write an archive of the files under their base names
//   rka verify ARCHIVE                     one line per problem; exit 1 when there is any
//
// Exit codes: 0 success, 1 a damaged or unreadable archive, a missing entry or a failed write,
// 2 a usage error or files that cannot make an archive. Entries are read and unpacked exactly as
// the game's reader does it, with the same refusals of damaged blocks. Every file the tool writes
// is made new beside its target and renamed into place: never written through a link, and a
// failed write leaves the file that was there.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "files.h"
#include "rka_pack.h"

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

void Error(const std::string& text) {
    std::fprintf(stderr, "rka: %s\n", text.c_str());
}

int Usage() {
    std::fprintf(stderr,
                 "usage: rka list ARCHIVE\n"
                 "       rka extract ARCHIVE [NAME...] [-C DIR]\n"
                 "       rka pack ARCHIVE FILE...\n"
                 "       rka verify ARCHIVE\n");
    return kUsage;
}

// Nothing the tool reads is larger than an archive of the largest members allowed.
constexpr std::size_t kMaxInput = std::size_t{1} << 31;

std::optional<std::vector<std::uint8_t>> ReadFile(const std::string& name) {
    platform::FileRead read = platform::ReadRegularFile(name, kMaxInput);
    if (!read.ok()) {
        Error(name + ": " + platform::DescribeRead(read, kMaxInput));
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(read.bytes.begin(), read.bytes.end());
}

// The folder files are written into; a message and false when it is none.
bool IsFolder(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return true;
    Error(path + ": " + (error ? error.message() : std::string("not a folder")));
    return false;
}

// Writes `bytes` as the file `name` in `folder`: to a new temporary file beside it, created
// exclusively and never through a link, flushed to the disk and renamed over `name`. A link of
// that name is replaced, never written through, and when anything fails the file that was there
// stays as it was and a message names it.
bool Replace(const std::string& folder, const std::string& name,
             std::span<const std::uint8_t> bytes) {
    const std::string shown = (std::filesystem::path(folder) / name).string();
    const platform::Replaced replaced = platform::ReplaceFile(
        shown, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
        platform::Existing::Replace);
    if (replaced.ok) return true;
    if (std::string_view(replaced.step) == "create") {
        Error(shown +
              ": cannot create a temporary file beside it: " + std::strerror(replaced.error));
    } else {
        Error(shown + ": " + replaced.step + " failed: " + std::strerror(replaced.error) +
              "; the file was left as it was");
    }
    return false;
}

// The archive and its directory, or a message and nullopt.
struct Opened {
    std::vector<std::uint8_t> file;
    rka::Directory directory;
};

std::optional<Opened> Open(const std::string& archive) {
    std::optional<std::vector<std::uint8_t>> file = ReadFile(archive);
    if (!file) return std::nullopt;
    rka::Parsed<rka::Directory> directory = rka::ParseDirectory(*file);
    if (!directory.ok()) {
        Error(archive + ": " + rka::Describe(directory.damage));
        return std::nullopt;
    }
    return Opened{std::move(*file), std::move(directory.value)};
}

int List(const std::string& archive) {
    std::optional<Opened> opened = Open(archive);
    if (!opened) return kFailed;
    int status = kOk;
    for (const rka::DirectoryEntry& entry : opened->directory.entries) {
        const std::string name = rka::PrintableName(entry.Name());
        rka::Parsed<rka::Block> block = rka::ParseBlock(opened->file, entry.offset);
        if (!block.ok()) {
            std::fflush(stdout);
            Error(archive + ": entry [" + name + "]: " + rka::Describe(block.damage));
            status = kFailed;
            continue;
        }
        std::printf("%-12s %10u %10llu\n", name.c_str(), block.value.unpackedSize,
                    static_cast<unsigned long long>(block.value.PackedSize()));
    }
    return status;
}

int Extract(const std::string& archive, std::vector<std::string> names, const std::string& dir) {
    std::optional<Opened> opened = Open(archive);
    if (!opened) return kFailed;
    const rka::Directory& directory = opened->directory;
    if (names.empty()) {
        // Every name once; of equal names the reader only ever finds the later.
        std::set<std::string_view> seen;
        for (const rka::DirectoryEntry& entry : directory.entries)
            if (seen.insert(entry.Name()).second) names.emplace_back(entry.Name());
    }
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        Error(dir + ": " + error.message());
        return kFailed;
    }
    if (!IsFolder(dir)) return kFailed;

    int status = kOk;
    for (const std::string& name : names) {
        const std::string shown = rka::PrintableName(name);
        int index = directory.Find(name.c_str());
        if (index < 0) {
            Error(archive + ": no entry [" + shown + "]");
            status = kFailed;
            continue;
        }
        // An entry name is written as a file inside DIR: nothing that could climb out of it.
        if (!rka::IsPlainFileName(name)) {
            Error(archive + ": entry [" + shown + "] is not a plain file name; not extracted");
            status = kFailed;
            continue;
        }
        rka::Parsed<rka::Block> block = rka::ParseBlock(
            opened->file, directory.entries[static_cast<std::size_t>(index)].offset);
        if (!block.ok()) {
            Error(archive + ": entry [" + shown + "]: " + rka::Describe(block.damage));
            status = kFailed;
            continue;
        }
        std::vector<std::uint8_t> bytes = rka::UnpackBlock(block.value);
        if (!Replace(dir, name, bytes)) status = kFailed;
    }
    return status;
}

int Pack(const std::string& archive, const std::vector<std::string>& files) {
    std::vector<std::string> names;
    for (const std::string& file : files)
        names.push_back(std::filesystem::path(file).filename().string());
    std::string refusal = rka::CheckMemberNames(names);
    if (refusal.empty()) {
        // Sizes as the files stand now, so that nothing too large is read first; a file that
        // cannot be measured is left for the read to report.
        std::vector<std::uint64_t> sizes;
        for (const std::string& file : files) {
            std::error_code error;
            std::uintmax_t size = std::filesystem::file_size(file, error);
            sizes.push_back(error ? 0 : size);
        }
        refusal = rka::CheckMemberSizes(names, sizes);
    }
    if (!refusal.empty()) {
        Error(archive + ": " + refusal);
        return kUsage;
    }
    // The folder is opened first, so that no file is read for an archive that cannot be written.
    std::filesystem::path target(archive);
    if (target.filename().empty()) {
        Error(archive + ": not a file name");
        return kFailed;
    }
    const std::string folder = target.has_parent_path() ? target.parent_path().string() : ".";
    if (!IsFolder(folder)) return kFailed;
    std::vector<rka::Member> members;
    for (std::size_t k = 0; k < files.size(); ++k) {
        std::optional<std::vector<std::uint8_t>> data = ReadFile(files[k]);
        if (!data) return kFailed;
        members.push_back({names[k], std::move(*data)});
    }
    rka::Written written = rka::WriteArchive(members);
    if (!written.error.empty()) {
        Error(archive + ": " + written.error);
        return kFailed;
    }
    // Written beside the target and renamed over it, so a failed write leaves the old archive.
    return Replace(folder, target.filename().string(), written.bytes) ? kOk : kFailed;
}

int Verify(const std::string& archive) {
    std::optional<std::vector<std::uint8_t>> file = ReadFile(archive);
    if (!file) return kFailed;
    std::vector<std::string> problems = rka::Verify(*file);
    for (const std::string& problem : problems)
        std::printf("%s: %s\n", archive.c_str(), problem.c_str());
    return problems.empty() ? kOk : kFailed;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 2) return Usage();
    const std::string command = args[0];
    const std::string archive = args[1];
    std::vector<std::string> rest(args.begin() + 2, args.end());

    if (command == "list" && rest.empty()) return List(archive);
    if (command == "verify" && rest.empty()) return Verify(archive);
    if (command == "pack" && !rest.empty()) return Pack(archive, rest);
    if (command == "extract") {
        std::vector<std::string> names;
        std::string dir = ".";
        for (std::size_t k = 0; k < rest.size(); ++k) {
            if (rest[k] == "-C") {
                if (k + 1 == rest.size()) return Usage();
                dir = rest[++k];
            } else {
                names.push_back(rest[k]);
            }
        }
        return Extract(archive, names, dir);
    }
    return Usage();
}
