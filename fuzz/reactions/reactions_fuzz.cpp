// Reaction lines on any bytes: the reader ends with lines or a refusal, never a crash, and a
// summary of what it took holds together.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "reactions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view lines(reinterpret_cast<const char*>(data), size);
    const auto read = scores::ReadReactionLines(lines);
    const scores::ReactionRule rule;
    const auto summary = scores::Summarise(lines, rule);
    if (read.has_value() != summary.has_value()) std::abort();
    if (!summary) return 0;
    if (summary->hits != static_cast<int>(read->size())) std::abort();
    if (summary->unseen < 0 || summary->unseen > summary->hits) std::abort();
    if ((summary->hits == 0) != !summary->medianMs || (summary->hits == 0) != !summary->fastestMs) {
        std::abort();
    }
    if (summary->hits > 0 && *summary->fastestMs > *summary->medianMs) std::abort();
    if (summary->hits > 0 && (*summary->fastestMs < rule.unseenBelowMs) != (summary->unseen > 0)) {
        std::abort();
    }
    if (scores::WhyOnBoard(*summary, rule).empty()) std::abort();
    return 0;
}
