// The table as a page: plain HTML, no script, in the six languages the game's page speaks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store.h"

namespace scores {

// The language of the page: `asked` (?lang=) when it is one we have, else the first of
// Accept-Language's that we have by its weight, else English. One of en, ja, de, fr, es, zh-Hans.
std::string PageLanguage(std::string_view asked, std::string_view acceptLanguage);

// Both boards, the people's first, each row with its run's median and fastest reaction.
// `watch` is the start of each row's link, the run's id appended ("/api/runs/", or a page's
// "https://example.org/?replay=").
std::string TablePage(const std::vector<TableRow>& human, const std::vector<TableRow>& assisted,
                      const std::string& language, const std::string& watch);

// "2026-12-09 01:22 UTC"
std::string FormatWhen(std::int64_t unixSeconds);

}  // namespace scores
