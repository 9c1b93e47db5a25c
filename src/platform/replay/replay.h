// Replay files: a short header, then every input event the game received, each at the game's
// clock reading and the number of pictures shown when the game picked it up, then the end of the
// run. Plain text, one item a line, close to the input scripts (docs/replays.md).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog.h"
#include "host.h"

namespace replay {

inline constexpr const char* kFormatName = "tavlo-replay";
inline constexpr int kFormatVersion = 1;
// Larger files are refused unread: an hour of play is far below this.
inline constexpr std::size_t kMaxFileBytes = 16u << 20;
// No replay runs longer than this on the game's clock (6 hours): a verify must end.
inline constexpr std::uint64_t kMaxClock = 6ull * 3600 * 1000;
// The seed field is written before the game seeds, then filled in place: always this wide.
inline constexpr int kSeedFieldWidth = 10;

struct Event {
    std::uint64_t at = 0;      // game clock, ms since the run started
    std::uint64_t frames = 0;  // screen changes shown before the game received it
    host::InputEvent event;
    int line = 0;  // where it stands in the file, for messages
};

struct Replay {
    std::string program;           // version of the program that recorded it
    std::uint32_t clockStart = 0;  // timeGetTime at the start of the run
    std::string archive;           // FNV-1a 64 of tavlo.rka, 16 hex digits
    // What the game read of score.dat (its first four bytes; empty from an empty file or a
    // folder); none in a replay made before scores were recorded so, or without the file.
    std::optional<std::string> scores;
    std::optional<std::uint32_t> seed;  // what the game gave srand; none when it never seeded
    std::vector<Event> events;
    std::uint64_t endAt = 0;      // the game clock when the program ended
    std::uint64_t endFrames = 0;  // screen changes shown by then
    int endLine = 0;
    bool cut = false;  // the recording was stopped from outside (a signal), not by the game
};

struct ParseError {
    int line = 0;  // 0: the file as a whole
    std::string message;
    platform::Said said;  // the same unfilled, for a player's language (the page's watcher)
};

// Reads a whole replay. A file that does not fit the format (header missing or repeated, an
// unknown or malformed line, time or frames running backwards, no end line, anything after it)
// gives the first such line and what is wrong with it.
std::optional<ParseError> Parse(std::string_view text, Replay& out);

// Lines as the recorder writes them (each with its newline). The header leaves the seed as
// "none", padded to kSeedFieldWidth; SeedField gives the field's text for a seed.
std::string HeaderText(const Replay& header);
std::string SeedField(std::optional<std::uint32_t> seed);
std::string EventLine(const Event& event);
std::string EndLine(std::uint64_t at, std::uint64_t frames, bool cut = false);
// False for the kinds a replay does not keep (the mouse over the window changes no picture).
bool Recordable(const host::InputEvent& event);

// An archive's bytes as a replay names them: FNV-1a 64, 16 hex digits.
std::string ArchiveChecksum(std::string_view bytes);
// The FNV-1a 64 of "tavlo.rka" in the working folder, as a replay names its archive (one that
// cannot be read counts as empty).
std::string WorkingArchiveChecksum();
// Where the archive a replay is checked against is, as a refusal names it.
enum class ArchiveHere { ThisFolder, ThisPage };
// Reads and parses the replay file at `path` into `replay` and checks that this program can play
// it here: its version, and the archive: the one whose ArchiveChecksum is `archive` when given,
// else the working folder's. Nothing when it fits, else why not (a sentence of its own: a
// program reads its English, a watcher its translation).
std::optional<platform::Said> ReadFitting(const std::string& path, ArchiveHere here, Replay& replay,
                                          const std::string* archive = nullptr);

// A frame's CRC-32: its size, its visible pixels row by row, its 256 colours. (Runs are summed
// with CRC-32 too, the archive with FNV-1a 64: base/checksums.h.)
std::uint32_t FrameChecksum(const host::ScreenImage& image);

}  // namespace replay
