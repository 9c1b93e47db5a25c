// A recorded run sent to the score server (`tavlo --submit`, and the runs a player who opted in
// sends after a new best), and the server's answer in a player's words (docs/scores.md).
#pragma once

#include <chrono>
#include <string>

#include "http_post.h"

namespace net {

// How long a submission may take in all: the server plays the run before it answers (about a
// second and a half, more while other runs wait), and its own limit for a play is a minute.
constexpr std::chrono::seconds kSubmitLimit{90};

// Where runs go: `server` (a web address, a path after the host allowed, no query or fragment;
// a trailing '/' dropped) and "/api/runs?name=" with the name encoded. "" when `server` is not
// such an address.
std::string RunsAddress(const std::string& server, const std::string& name);

struct SubmitResult {
    int exitCode = 1;  // 0 when the run is in the table (201, or 200: it was already), else 1
    std::string text;  // one line for the player, without its newline
    std::string key;   // the name's key, when the server gave one (a 201 for a new name)
};

// The answer read: the run's score, rank and id, or the server's reason (its control
// characters made harmless, cut to a few hundred bytes) and when to try again; or why no answer
// came. `server` names the server in the words.
SubmitResult ReadAnswer(const PostAnswer& answer, const std::string& server);

// Reads `file` (a regular file of at most kMaxPostBytes, through files.h), posts it under
// `name` with the name's key kept in `keyFolder` (score_keys.h), and reads the answer; at most
// kSubmitLimit. A key the server gives is kept there, and the words say where (or, when it
// cannot be kept, show it for the player to write down).
SubmitResult SubmitRun(const std::string& file, const std::string& server, const std::string& name,
                       const std::string& keyFolder);

}  // namespace net
