// The recording of a run, as every host's session makes it: the header, every event the game
// receives (the recording host in front of the real one writes them), the end line. The header's
// seed is written as "none", padded, and filled in where it stands when the game seeds, so a
// recording goes to a seekable file (docs/replays.md).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "host.h"
#include "replay.h"
#include "replay_host.h"

namespace replay {

// The header of a run that starts in the working folder: this program's version, its archive
// ("tavlo.rka"), and what the game reads of "score.dat": its first four bytes (fewer from a
// short file, none from an empty one or a folder, which the game opens and reads nothing from).
// Where the game could not open the file it would not start: then the scores are left none and
// `why`, when given, says what is wrong with it.
Replay HeaderHere(std::string* why = nullptr);

class Recorder {
  public:
    // Records into a new file at `path` (`mode` as fopen's). False, with errno, when it cannot be
    // made; the run may still be played, unrecorded.
    bool Open(const std::string& path, const char* mode = "wb");
    // The recording host in front of `inner`. The header, with the clock start read from `inner`,
    // is written first (when a file is open); the host writes every event after it. The host is
    // the caller's to hand on (as every host in front, it owns the one behind).
    ReplayHost* Start(std::unique_ptr<host::Host> inner, Replay header);
    // The file is open and has no end line yet.
    bool Recording() const { return out_ != nullptr; }
    const Replay& Header() const { return header_; }

    // The game seeded its generator: the seed goes where the header's field stands. The game
    // seeds once; a later call changes nothing.
    void Seeded(unsigned seed);
    // The program ends: the end line, at the game's clock and pictures now, and the file closed.
    // True when the whole recording is written.
    bool End();
    // The recording is stopped from outside: a cut line at game clock `at` (the last empty poll),
    // where playing it back stops, and the file closed. True when the whole recording is written.
    bool Cut(std::uint64_t at);
    // The recording so far, ended by a cut line at `at`, as Cut would end it; the file stays open.
    // Nothing when there is no recording or it cannot be read back.
    std::optional<std::string> SoFar(std::uint64_t at);

  private:
    bool Close(const std::string& endLine);

    std::string path_;
    std::FILE* out_ = nullptr;
    long seedOffset_ = -1;  // where the header's seed field lies
    bool seeded_ = false;
    Replay header_;
    ReplayHost* host_ = nullptr;
};

}  // namespace replay
