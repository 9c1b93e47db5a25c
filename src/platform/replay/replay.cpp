// Replay files: reading, writing, and the checksums of frames.
#include "replay.h"

#include <array>
#include <map>

#include "checksums.h"
#include "files.h"
#include "input_script.h"
#include "numbers.h"
#include "tavlo_version.h"

namespace replay {
namespace {

using platform::Crc32;
using platform::Hex;

constexpr std::size_t kMaxScoreBytes = 64;  // score.dat is four bytes; more is kept, not this

using Kind = host::InputEvent::Kind;

const std::map<std::string, Kind>& Verbs() {
    static const std::map<std::string, Kind> verbs = {
        {"down", Kind::KeyDown},   {"up", Kind::KeyUp},    {"sysdown", Kind::SysKeyDown},
        {"sysup", Kind::SysKeyUp}, {"close", Kind::Close}, {"quit", Kind::Quit}};
    return verbs;
}

const char* VerbOf(Kind kind) {
    for (const auto& [name, k] : Verbs()) {
        if (k == kind) return name.c_str();
    }
    return "?";
}

bool HasKey(Kind kind) {
    return kind == Kind::KeyDown || kind == Kind::KeyUp || kind == Kind::SysKeyDown ||
           kind == Kind::SysKeyUp;
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

bool Number(std::string_view text, std::uint64_t limit, std::uint64_t& value) {
    return platform::ParseUnsigned(std::string(text), limit, value);
}

// "@123": the frame count of an event or the end.
bool FrameCount(std::string_view text, std::uint64_t& frames) {
    return text.size() >= 2 && text[0] == '@' && Number(text.substr(1), UINT64_MAX / 10, frames);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool HexBytes(std::string_view text, std::string& bytes) {
    if (text.empty() || text.size() % 2 != 0 || text.size() / 2 > kMaxScoreBytes) return false;
    bytes.clear();
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes.push_back(static_cast<char>(high * 16 + low));
    }
    return true;
}

bool IsHex(std::string_view text, std::size_t digits) {
    if (text.size() != digits) return false;
    for (char c : text) {
        if (HexDigit(c) < 0) return false;
    }
    return true;
}

ParseError Failed(int line, platform::Said said) {
    return ParseError{line, said.English(), std::move(said)};
}

// The header fields, each given exactly once before the first event.
enum Field { kProgram, kClockStart, kArchive, kScores, kSeed, kFieldCount };
constexpr std::array<const char*, kFieldCount> kFieldNames = {"program", "clock-start", "archive",
                                                              "scores", "seed"};

std::optional<platform::Said> HeaderField(Field field, std::string_view value, Replay& out) {
    using platform::said;
    std::uint64_t number = 0;
    switch (field) {
        case kProgram:
            out.program = std::string(value);
            return std::nullopt;
        case kClockStart:
            if (!Number(value, UINT32_MAX, number))
                return said("clock-start is not a 32-bit number");
            out.clockStart = static_cast<std::uint32_t>(number);
            return std::nullopt;
        case kArchive:
            if (!IsHex(value, 16)) return said("archive is not 16 lower-case hex digits");
            out.archive = std::string(value);
            return std::nullopt;
        case kScores: {
            if (value == "none") return std::nullopt;
            if (value == "empty") {
                out.scores = std::string();
                return std::nullopt;
            }
            std::string bytes;
            if (!HexBytes(value, bytes)) {
                return said("scores is neither none, empty nor up to 64 hex bytes");
            }
            out.scores = bytes;
            return std::nullopt;
        }
        case kSeed:
            if (value == "none") return std::nullopt;
            if (!Number(value, UINT32_MAX, number))
                return said("seed is neither none nor a number");
            out.seed = static_cast<std::uint32_t>(number);
            return std::nullopt;
        case kFieldCount:
            break;
    }
    return said("unknown field");
}

}  // namespace

std::optional<ParseError> Parse(std::string_view text, Replay& out) {
    out = Replay{};
    using platform::said;
    if (text.size() > kMaxFileBytes) return Failed(0, said("larger than 16 MiB"));
    std::array<bool, kFieldCount> seen{};
    bool started = false, ended = false;
    int number = 0;
    std::size_t position = 0;
    while (position < text.size()) {
        std::size_t newline = text.find('\n', position);
        if (newline == std::string_view::npos) newline = text.size();
        std::string_view line = text.substr(position, newline - position);
        position = newline + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        auto fail = [&](platform::Said message) { return Failed(number, std::move(message)); };
        if (line.find('\0') != std::string_view::npos) return fail(said("holds a zero byte"));
        const std::vector<std::string_view> words = Words(line);
        if (!started) {
            // The first line names the format; nothing, not even a comment, comes before it.
            if (words.size() != 2 || words[0] != kFormatName)
                return fail(said("not a tavlo replay"));
            if (words[1] != std::to_string(kFormatVersion)) {
                // TRANSLATORS: {1} and {2} are version numbers of the replay format.
                return fail(said("format version {1}, this program reads {2}",
                                 {std::string(words[1]), std::to_string(kFormatVersion)}));
            }
            started = true;
            continue;
        }
        if (words.empty() || words[0][0] == '#') continue;
        if (ended) return fail(said("after the end line"));
        // A header field: a known name and one value (all of them come before any event).
        std::size_t field = 0;
        while (field < kFieldCount && words[0] != kFieldNames[field]) ++field;
        if (field < kFieldCount) {
            if (words.size() != 2) return fail(said("{1} needs one value", {kFieldNames[field]}));
            if (seen[field]) return fail(said("{1} given twice", {kFieldNames[field]}));
            seen[field] = true;
            if (auto error = HeaderField(static_cast<Field>(field), words[1], out)) {
                return fail(*error);
            }
            continue;
        }
        for (std::size_t f = 0; f < kFieldCount; ++f) {
            if (!seen[f]) return fail(said("the header has no {1}", {kFieldNames[f]}));
        }
        // `<ms> <event> [<key>] @<frames>` or `<ms> end @<frames>`.
        Event event;
        event.line = number;
        if (words.size() < 3 || !Number(words[0], UINT64_MAX / 10, event.at)) {
            return fail(said("not an event: <ms> <event> [<key>] @<frames>"));
        }
        const std::uint64_t lastAt = out.events.empty() ? 0 : out.events.back().at;
        const std::uint64_t lastFrames = out.events.empty() ? 0 : out.events.back().frames;
        if (!FrameCount(words.back(), event.frames)) return fail(said("no @<frames> at the end"));
        if (event.at > kMaxClock) return fail(said("later than 6 hours into the run"));
        if (event.at < lastAt || event.frames < lastFrames)
            return fail(said("earlier than the line before"));
        const std::string verb(words[1]);
        if (verb == "end" || verb == "cut") {
            if (words.size() != 3) return fail(said("{1} takes only @<frames>", {verb}));
            out.cut = verb == "cut";
            out.endAt = event.at;
            out.endFrames = event.frames;
            out.endLine = number;
            ended = true;
            continue;
        }
        auto kind = Verbs().find(verb);
        if (kind == Verbs().end()) return fail(said("unknown event {1}", {verb}));
        event.event.kind = kind->second;
        if (HasKey(kind->second)) {
            if (words.size() != 4 ||
                !host::ParseKeyName(std::string(words[2]), event.event.virtualKey)) {
                return fail(said("{1} needs one key (a name or a code up to 255)", {verb}));
            }
        } else if (words.size() != 3) {
            return fail(said("{1} takes no key", {verb}));
        }
        out.events.push_back(event);
    }
    if (!started) return Failed(0, said("empty: not a tavlo replay"));
    if (!ended) return Failed(number, said("no end line: the file is cut short"));
    return std::nullopt;
}

std::string SeedField(std::optional<std::uint32_t> seed) {
    std::string text = seed ? std::to_string(*seed) : "none";
    text.resize(kSeedFieldWidth, ' ');
    return text;
}

std::string HeaderText(const Replay& header) {
    std::string text = std::string(kFormatName) + " " + std::to_string(kFormatVersion) + "\n";
    text += "program " + header.program + "\n";
    text += "clock-start " + std::to_string(header.clockStart) + "\n";
    text += "archive " + header.archive + "\n";
    text += "scores ";
    if (!header.scores) {
        text += "none";
    } else if (header.scores->empty()) {
        text += "empty";
    } else {
        for (unsigned char c : *header.scores) text += platform::Hex(c, 2);
    }
    text += "\n";
    text += "seed " + SeedField(header.seed) + "\n";
    text += "# <ms> <event> [<key>] @<frames>: the game clock and the pictures shown when the\n";
    text += "# game received the event\n";
    return text;
}

std::string EventLine(const Event& event) {
    std::string line = std::to_string(event.at) + " " + VerbOf(event.event.kind);
    if (HasKey(event.event.kind)) line += " " + host::KeyName(event.event.virtualKey);
    return line + " @" + std::to_string(event.frames) + "\n";
}

std::string EndLine(std::uint64_t at, std::uint64_t frames, bool cut) {
    return std::to_string(at) + (cut ? " cut @" : " end @") + std::to_string(frames) + "\n";
}

bool Recordable(const host::InputEvent& event) {
    return event.kind != Kind::MouseOver;
}

std::uint32_t FrameChecksum(const host::ScreenImage& image) {
    const std::uint8_t size[4] = {
        static_cast<std::uint8_t>(image.width), static_cast<std::uint8_t>(image.width >> 8),
        static_cast<std::uint8_t>(image.height), static_cast<std::uint8_t>(image.height >> 8)};
    std::uint32_t crc = Crc32(size, sizeof size);
    if (image.pitch == image.width) {
        // Rows one after another (the full screen): one call, at zlib's whole speed (it goes
        // several bytes a step only within a call; row by row took twice the time).
        crc = Crc32(image.pixels,
                    static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height),
                    crc);
        return Crc32(image.colours, 256 * sizeof(platform::Rgb), crc);
    }
    for (int y = 0; y < image.height; ++y) {
        crc = Crc32(image.pixels + static_cast<long>(y) * image.pitch,
                    static_cast<std::size_t>(image.width), crc);
    }
    return Crc32(image.colours, 256 * sizeof(platform::Rgb), crc);
}

std::string ArchiveChecksum(std::string_view bytes) {
    return platform::Hex(platform::Fnv1a64(bytes), 16);
}

std::string WorkingArchiveChecksum() {
    const platform::FileRead archive = platform::ReadRegularFile("tavlo.rka", std::size_t{1} << 30);
    return ArchiveChecksum(archive.ok() ? archive.bytes : std::string());
}

std::optional<platform::Said> ReadFitting(const std::string& path, ArchiveHere here, Replay& replay,
                                          const std::string* archive) {
    using platform::said;
    const platform::FileRead read = platform::ReadRegularFile(path, kMaxFileBytes);
    if (read.outcome == platform::ReadOutcome::TooLarge) return said("larger than 16 MiB");
    if (!read.ok()) {
        // TRANSLATORS: {1} is why (the system's reason, or "it is a folder", ...).
        return said("cannot be read: {1}", {platform::ReadReason(read, kMaxFileBytes)});
    }
    if (auto error = Parse(read.bytes, replay)) {
        if (!error->line) return error->said;
        // TRANSLATORS: {1} is a line of the replay file, {2} what is wrong with it.
        return said("line {1}: {2}", {std::to_string(error->line), error->said});
    }
    if (replay.program != TAVLO_VERSION) {
        // TRANSLATORS: {1} and {2} are versions of the program ("1.0.0").
        return said("recorded by tavlo {1}, this is tavlo {2}", {replay.program, TAVLO_VERSION});
    }
    if (replay.archive != (archive ? *archive : WorkingArchiveChecksum())) {
        return here == ArchiveHere::ThisPage
                   ? said("recorded with another tavlo.rka than this page's")
                   : said("recorded with another tavlo.rka than the one in this folder");
    }
    return std::nullopt;
}

}  // namespace replay
