// The score server's client: the address, the file, the answer.
#include "catalog.h"
#include "score_client.h"

#include <cstdint>
#include <optional>

#include <nlohmann/json.hpp>

#include "files.h"
#include "score_keys.h"
#include "web_address.h"

namespace net {
namespace {

using nlohmann::json;
using platform::Fill;

// A server's words as they may be printed on a terminal: no escape sequences, no lines of
// their own, not too long.
std::string Harmless(const std::string& text) {
    constexpr std::size_t kLongest = 300;
    std::string out;
    for (const char c : text.substr(0, kLongest)) {
        const auto byte = static_cast<unsigned char>(c);
        out += byte < ' ' || byte == 0x7f ? '?' : c;
    }
    return text.size() > kLongest ? out + "..." : out;
}

std::optional<std::int64_t> Whole(const json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_number_integer()) return std::nullopt;
    return found->get<std::int64_t>();
}

}  // namespace

std::string RunsAddress(const std::string& server, const std::string& name) {
    if (!platform::IsWebAddress(server) || server.find_first_of("?#") != std::string::npos)
        return "";
    std::string base = server;
    while (!base.empty() && base.back() == '/') base.pop_back();
    return base + "/api/runs?name=" + platform::UrlEncoded(name);
}

SubmitResult ReadAnswer(const PostAnswer& answer, const std::string& server) {
    SubmitResult result;
    if (answer.failure != PostFailure::None) {
        result.text = DescribeFailure(answer, server);
        return result;
    }
    const json body = json::parse(answer.body, nullptr, false);
    if (answer.status == 200 || answer.status == 201) {
        const auto id = body.is_object() ? Whole(body, "id") : std::nullopt;
        const auto score = body.is_object() ? Whole(body, "score") : std::nullopt;
        const auto rank = body.is_object() ? Whole(body, "rank") : std::nullopt;
        if (id && score && rank) {
            result.exitCode = 0;
            const auto key = body.find("key");
            if (answer.status == 201 && key != body.end() && key->is_string() &&
                IsBearerKey(key->get<std::string>())) {
                result.key = key->get<std::string>();
            }
            result.text = Fill(
                // TRANSLATORS: {1} the run's score, {2} its place in the table, {3} the server's
                // number for it (shown at /api/runs/{3}).
                answer.status == 201 ? tr("verified: score {1}, rank {2}, run {3}")
                                     : tr("already in the table: score {1}, rank {2}, run {3}"),
                {std::to_string(*score), std::to_string(*rank), std::to_string(*id)});
            // The board the run went to, and the server's reason (its own words, English).
            const auto board = body.find("board");
            const auto why = body.find("why");
            if (board != body.end() && board->is_string() && why != body.end() &&
                why->is_string()) {
                const std::string reason = Harmless(why->get<std::string>());
                if (*board == "assisted") {
                    // TRANSLATORS: a run a program helped to play (answers sooner than a person
                    // can see); {1} is the server's reason, in its own words (English).
                    result.text += "\n" + Fill(tr("on the board for assisted runs: {1}"), {reason});
                } else if (*board == "human") {
                    // TRANSLATORS: {1} is the server's reason, in its own words (English).
                    result.text += "\n" + Fill(tr("on the board for people: {1}"), {reason});
                }
            }
            return result;
        }
    }
    const auto reason = body.is_object() ? body.find("error") : body.end();
    if (body.is_object() && reason != body.end() && reason->is_string() && answer.status >= 400) {
        result.text =
            // TRANSLATORS: {1} is the server's reason, in its words (in this language where it has
            // it).
            Fill(tr("the server refused the run: {1}"), {Harmless(reason->get<std::string>())});
    } else {
        // TRANSLATORS: {1} is the server's address, {2} the HTTP status it answered with.
        result.text = Fill(tr("the server at {1} gave an answer this program does not "
                              "understand (HTTP status {2}); is it a Tavlo score server?"),
                           {server, std::to_string(answer.status)});
    }
    if (answer.retryAfter >= 0 && (answer.status == 429 || answer.status == 503)) {
        result.text += " " + Fill(trn("(try again in {1} second)", "(try again in {1} seconds)",
                                      static_cast<std::uint64_t>(answer.retryAfter)),
                                  {std::to_string(answer.retryAfter)});
    }
    return result;
}

SubmitResult SubmitRun(const std::string& file, const std::string& server, const std::string& name,
                       const std::string& keyFolder) {
    SubmitResult result;
    const std::string address = RunsAddress(server, name);
    if (address.empty()) {
        PostAnswer bad;
        bad.failure = PostFailure::BadAddress;
        return ReadAnswer(bad, server);
    }
    const platform::FileRead read = platform::ReadRegularFile(file, kMaxPostBytes);
    if (read.outcome == platform::ReadOutcome::TooLarge) {
        PostAnswer large;
        large.failure = PostFailure::TooLarge;
        result.text = file + ": " + DescribeFailure(large, server);
        return result;
    }
    if (!read.ok()) {
        result.text = file + ": " + platform::DescribeRead(read, kMaxPostBytes);
        return result;
    }
    result = ReadAnswer(Post(address, read.bytes, kSubmitLimit, ReadKey(keyFolder, server, name)),
                        server);
    if (!result.key.empty()) {
        const std::string kept = KeyFile(keyFolder, server, name);
        if (const std::string problem = KeepKey(keyFolder, server, name, result.key);
            problem.empty()) {
            // TRANSLATORS: {1} is the file that holds the key of the player's name.
            result.text += " " + Fill(tr("(the name is yours: its key, which later runs under it "
                                         "need, is kept in {1})"),
                                      {kept});
        } else {
            // TRANSLATORS: {1} is the key, {2} the file it could not be written to, {3} why.
            result.text += " " + Fill(tr("(the name is yours, but its key could not be kept in "
                                         "{2}: {3}; write the key down, later runs under the name "
                                         "need it: {1})"),
                                      {result.key, kept, problem});
        }
    }
    return result;
}

}  // namespace net
