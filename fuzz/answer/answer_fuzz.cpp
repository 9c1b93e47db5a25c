// Any answer a server may give to `tavlo --submit`: the first byte picks the status, the second
// the Retry-After, the rest is the body (read as a key file too). Whatever it holds, the program
// says one line (no control character of the server's reaches the terminal), and the exit code is 0
// only for a run the server took.
#include <cstdint>
#include <string>

#include "score_client.h"
#include "score_keys.h"

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace net;
    static const int kStatuses[] = {201, 200, 400, 409, 413, 422, 429, 500, 503, 302, 204, 0};
    PostAnswer answer;
    answer.status = size > 0 ? kStatuses[data[0] % (sizeof kStatuses / sizeof *kStatuses)] : 201;
    answer.retryAfter = size > 1 ? data[1] - 1 : -1;
    if (size > 2) answer.body.assign(reinterpret_cast<const char*>(data) + 2, size - 2);
    const SubmitResult result = ReadAnswer(answer, "http://scores.example.org");
    Require(!result.text.empty());
    for (const char c : result.text) Require(static_cast<unsigned char>(c) >= ' ' && c != '\x7f');
    Require(result.exitCode == 1 ||
            (result.exitCode == 0 && (answer.status == 200 || answer.status == 201)));
    // A key is only taken in the form that may go into a header.
    Require(result.key.empty() || (answer.status == 201 && IsBearerKey(result.key)));
    // The same bytes as a key file (which the player may edit): a key that fits, or none.
    const std::string key = KeyFromText(answer.body, "http://scores.example.org", "Zoë");
    Require(key.empty() || IsBearerKey(key));
    return 0;
}
