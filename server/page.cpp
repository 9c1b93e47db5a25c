// The table as a page, in the language of the request (words.h).
#include "page.h"

#include "words.h"

#include <array>
#include <ctime>

namespace scores {

namespace {

// The links between the languages: each in its own name.
struct Language {
    const char* tag;
    const char* own;
};
constexpr std::array<Language, 6> kLanguages = {{{"en", "English"},
                                                 {"ja", "日本語"},
                                                 {"de", "Deutsch"},
                                                 {"fr", "Français"},
                                                 {"es", "Español"},
                                                 {"zh-Hans", "简体中文"}}};

std::string Escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace

std::string PageLanguage(std::string_view asked, std::string_view acceptLanguage) {
    return PageTag(ServerWords().Choose(asked, acceptLanguage));
}

std::string FormatWhen(std::int64_t unixSeconds) {
    const std::time_t time = static_cast<std::time_t>(unixSeconds);
    std::tm utc{};
    gmtime_r(&time, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &utc);
    return text;
}

namespace {

std::string Milliseconds(const std::optional<int>& ms) {
    return ms ? std::to_string(*ms) + " ms" : std::string("–");
}

// One board's table, or its line that it is empty; `say` gives a text in the page's language.
template <typename Say>
std::string BoardPart(const char* id, const std::string& heading, const std::string& lead,
                      const std::vector<TableRow>& rows, const Say& say, const std::string& watch) {
    using platform::said;
    std::string part = std::string("<section id=\"") + id + "\">\n<h2>" + heading + "</h2>\n";
    if (!lead.empty()) part += "<p>" + lead + "</p>\n";
    if (rows.empty()) return part + "<p>" + say(said("No runs yet.")) + "</p>\n</section>\n";
    // TRANSLATORS: the score table's headings: a run's place, its player, its score, its
    // reaction times (the median of its answers, and its fastest), when it was sent.
    part += "<table>\n<thead><tr><th>" + say(said("Rank")) + "</th><th>" + say(said("Name")) +
            "</th><th>" + say(said("Score")) + "</th><th>" + say(said("Median reaction")) +
            "</th><th>" + say(said("Fastest")) + "</th><th>" + say(said("When")) +
            "</th><th></th></tr></thead>\n<tbody>\n";
    // TRANSLATORS: the link that plays a run of the score table in the game's page.
    const std::string watchText = say(said("Watch"));
    for (const TableRow& row : rows) {
        part += "<tr><td class=\"n\">" + std::to_string(row.rank) + "</td><td>" + Escape(row.name) +
                "</td><td class=\"n\">" + std::to_string(row.score) + "</td><td class=\"n\">" +
                Milliseconds(row.medianMs) + "</td><td class=\"n\">" + Milliseconds(row.fastestMs) +
                "</td><td>" + FormatWhen(row.when) + "</td><td><a href=\"" +
                Escape(watch + std::to_string(row.id)) + "\">" + watchText + "</a></td></tr>\n";
    }
    return part + "</tbody>\n</table>\n</section>\n";
}

}  // namespace

std::string TablePage(const std::vector<TableRow>& human, const std::vector<TableRow>& assisted,
                      const std::string& language, const std::string& watch) {
    using platform::said;
    const platform::Catalog& words = ServerWords().For(ServerWords().Choose(language, ""));
    const auto say = [&](const platform::Said& text) { return Escape(text.In(words)); };
    // TRANSLATORS: the score server's page: its title and heading.
    const std::string title = say(said("Tavlo — verified high scores"));
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"" + language +
        "\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<title>" +
        title +
        "</title>\n<style>\n"
        "body{font-family:sans-serif;max-width:48em;margin:2em auto;padding:0 1em}\n"
        "table{border-collapse:collapse;width:100%}\n"
        "th,td{padding:.3em .6em;border-bottom:1px solid #ccc;text-align:left}\n"
        "td.n{text-align:right}\nnav a{margin-right:1em}\n"
        "</style>\n</head>\n<body>\n<h1>" +
        title + "</h1>\n<p>" +
        say(said("Every run in this table was played again by the server before it counted.")) +
        "</p>\n";
    // TRANSLATORS: the score server's two boards, the people's first.
    page += BoardPart("human", say(said("Played by people")), "", human, say, watch);
    page += BoardPart("assisted", say(said("Assisted runs")),
                      say(said("In these runs many pictures were answered sooner than a person "
                               "can see them: a program helped.")),
                      assisted, say, watch);
    page += "<nav>";
    for (const Language& other : kLanguages) {
        page += std::string("<a href=\"/?lang=") + other.tag + "\" hreflang=\"" + other.tag +
                "\" lang=\"" + other.tag + "\">" + other.own + "</a>";
    }
    page += "</nav>\n</body>\n</html>\n";
    return page;
}

}  // namespace scores
