// The page's few words, one row a language, written for the game's players in each.
#include "page.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <ctime>

namespace scores {

namespace {

struct Words {
    const char* code;
    const char* own;  // the language's name in itself, for the links between them
    const char* title;
    const char* lead;
    const char* rank;
    const char* name;
    const char* score;
    const char* when;
    const char* none;
    const char* watch;
    const char* human;  // the boards' headings, the people's first
    const char* assisted;
    const char* assistedLead;
    const char* median;  // reaction times, in ms
    const char* fastest;
};

constexpr std::array<Words, 6> kLanguages = {{
    {"en", "English", "Tavlo — verified high scores",
     "Every run in this table was played again by the server before it counted.", "Rank", "Name",
     "Score", "When", "No runs yet.", "Watch", "Played by people", "Assisted runs",
     "In these runs many pictures were answered sooner than a person can see them: a program "
     "helped.",
     "Median reaction", "Fastest"},
    {"ja", "日本語", "Tavlo — 検証済みハイスコア",
     "この表の記録は、すべてサーバーがリプレイを再生して確かめたものです。", "順位", "名前",
     "スコア", "日時", "まだ記録がありません。", "再生", "人が遊んだ記録", "支援付きの記録",
     "人が見てから押せるより早く答えた絵が多い記録です。プログラムの助けを借りています。",
     "反応時間の中央値", "最速"},
    {"de", "Deutsch", "Tavlo – geprüfte Bestenliste",
     "Jeder Lauf in dieser Liste wurde vom Server nachgespielt, bevor er gezählt hat.", "Platz",
     "Name", "Punkte", "Datum", "Noch keine Einträge.", "Ansehen", "Von Menschen gespielt",
     "Mit Hilfe gespielt",
     "In diesen Läufen wurden viele Bilder schneller beantwortet, als ein Mensch sie sehen kann: "
     "ein Programm hat geholfen.",
     "Reaktion (Median)", "Schnellste"},
    {"fr", "Français", "Tavlo — meilleurs scores vérifiés",
     "Chaque partie de ce tableau a été rejouée par le serveur avant d’être comptée.", "Rang",
     "Nom", "Score", "Date", "Aucune partie pour l’instant.", "Regarder", "Parties humaines",
     "Parties assistées",
     "Dans ces parties, beaucoup d’images ont reçu une réponse plus vite qu’un humain ne peut les "
     "voir : un programme a aidé.",
     "Réaction médiane", "La plus rapide"},
    {"es", "Español", "Tavlo: mejores puntuaciones verificadas",
     "El servidor ha vuelto a jugar cada partida de esta tabla antes de contarla.", "Puesto",
     "Nombre", "Puntos", "Fecha", "Todavía no hay partidas.", "Ver", "Jugadas por personas",
     "Partidas asistidas",
     "En estas partidas muchas imágenes se respondieron antes de que una persona pudiera verlas: "
     "ayudó un programa.",
     "Reacción mediana", "La más rápida"},
    {"zh-Hans", "简体中文", "Tavlo 已验证高分榜", "榜上的每一局都经服务器重新回放验证后才计入。",
     "排名", "玩家", "得分", "时间", "暂无记录。", "观看", "真人榜", "辅助榜",
     "这些记录中有许多图片在人来得及看清之前就被回答了：有程序相助。", "反应中位数", "最快"},
}};

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// The language we have for a tag (en-GB → en, zh-CN → zh-Hans); empty when none. Traditional
// Chinese is not Simplified: zh-TW, zh-HK and zh-Hant find nothing.
std::string Known(std::string_view tag) {
    const std::string lower = Lower(tag);
    if (lower == "zh" || lower.starts_with("zh-hans") || lower == "zh-cn" || lower == "zh-sg") {
        return "zh-Hans";
    }
    if (lower.starts_with("zh")) return {};
    const std::string primary = lower.substr(0, lower.find('-'));
    for (const Words& w : kLanguages) {
        if (primary == w.code) return w.code;
    }
    return {};
}

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
    if (std::string known = Known(asked); !known.empty()) return known;
    std::string best = "en";
    double bestWeight = 0;
    std::size_t at = 0;
    while (at <= acceptLanguage.size()) {
        std::size_t end = acceptLanguage.find(',', at);
        if (end == std::string_view::npos) end = acceptLanguage.size();
        std::string_view item = acceptLanguage.substr(at, end - at);
        at = end + 1;
        double weight = 1;
        if (const std::size_t semi = item.find(';'); semi != std::string_view::npos) {
            const std::string_view params = item.substr(semi + 1);
            if (const std::size_t q = params.find("q="); q != std::string_view::npos) {
                weight = std::strtod(std::string(params.substr(q + 2)).c_str(), nullptr);
            }
            item = item.substr(0, semi);
        }
        while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
        while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
        const std::string known = Known(item);
        if (!known.empty() && weight > bestWeight) {
            best = known;
            bestWeight = weight;
        }
    }
    return best;
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

// One board's table, or its line that it is empty.
std::string BoardPart(const char* id, const char* heading, const char* lead,
                      const std::vector<TableRow>& rows, const Words& w, const std::string& watch) {
    std::string part = std::string("<section id=\"") + id + "\">\n<h2>" + heading + "</h2>\n";
    if (lead) part += std::string("<p>") + lead + "</p>\n";
    if (rows.empty()) return part + "<p>" + w.none + "</p>\n</section>\n";
    part += std::string("<table>\n<thead><tr><th>") + w.rank + "</th><th>" + w.name + "</th><th>" +
            w.score + "</th><th>" + w.median + "</th><th>" + w.fastest + "</th><th>" + w.when +
            "</th><th></th></tr></thead>\n<tbody>\n";
    for (const TableRow& row : rows) {
        part += "<tr><td class=\"n\">" + std::to_string(row.rank) + "</td><td>" + Escape(row.name) +
                "</td><td class=\"n\">" + std::to_string(row.score) + "</td><td class=\"n\">" +
                Milliseconds(row.medianMs) + "</td><td class=\"n\">" + Milliseconds(row.fastestMs) +
                "</td><td>" + FormatWhen(row.when) + "</td><td><a href=\"" +
                Escape(watch + std::to_string(row.id)) + "\">" + w.watch + "</a></td></tr>\n";
    }
    return part + "</tbody>\n</table>\n</section>\n";
}

}  // namespace

std::string TablePage(const std::vector<TableRow>& human, const std::vector<TableRow>& assisted,
                      const std::string& language, const std::string& watch) {
    const Words* w = &kLanguages[0];
    for (const Words& candidate : kLanguages) {
        if (language == candidate.code) w = &candidate;
    }
    std::string page = std::string("<!DOCTYPE html>\n<html lang=\"") + w->code +
                       "\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                       "<title>" +
                       w->title +
                       "</title>\n<style>\n"
                       "body{font-family:sans-serif;max-width:48em;margin:2em auto;padding:0 1em}\n"
                       "table{border-collapse:collapse;width:100%}\n"
                       "th,td{padding:.3em .6em;border-bottom:1px solid #ccc;text-align:left}\n"
                       "td.n{text-align:right}\nnav a{margin-right:1em}\n"
                       "</style>\n</head>\n<body>\n<h1>" +
                       w->title + "</h1>\n<p>" + w->lead + "</p>\n";
    page += BoardPart("human", w->human, nullptr, human, *w, watch);
    page += BoardPart("assisted", w->assisted, w->assistedLead, assisted, *w, watch);
    page += "<nav>";
    for (const Words& other : kLanguages) {
        page += std::string("<a href=\"/?lang=") + other.code + "\" hreflang=\"" + other.code +
                "\" lang=\"" + other.code + "\">" + other.own + "</a>";
    }
    page += "</nav>\n</body>\n</html>\n";
    return page;
}

}  // namespace scores
