// The deployment's proxy in front: Debian's Caddy with packaging/server/Caddyfile (its site
// name, its upstream's port and `tls internal` the test's own), on loopback, in a folder of its
// own. The table, the API and the page through it, under its headers, and the players' own
// addresses reaching their budgets of plays.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <curl/curl.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <utility>

#include <gtest/gtest.h>

#include "loopback.h"
#include "test_server.h"

namespace scores {
namespace {

struct Reply {
    long status = 0;
    std::string headers;  // as received, lower-cased names
    std::string body;
    std::string Header(const std::string& name) const {
        std::smatch match;
        const std::regex line("(^|\n)" + name + ": ([^\r\n]*)", std::regex::icase);
        return std::regex_search(headers, match, line) ? match[2].str() : "";
    }
};

size_t Append(char* data, size_t size, size_t count, void* to) {
    static_cast<std::string*>(to)->append(data, size * count);
    return size * count;
}

// One request over HTTPS, the certificate checked against Caddy's own root, from `from`.
Reply Fetch(const std::string& url, const std::string& caFile, const char* from = "127.0.0.1",
            const std::string& body = "", const char* extraHeader = nullptr) {
    Reply reply;
    CURL* curl = curl_easy_init();
    curl_slist* headers = nullptr;
    if (extraHeader) headers = curl_slist_append(headers, extraHeader);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.c_str());
    curl_easy_setopt(curl, CURLOPT_INTERFACE, from);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Append);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, Append);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &reply.headers);
    if (!body.empty() || url.find("/api/runs") != std::string::npos) {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    }
    if (curl_easy_perform(curl) == CURLE_OK) {
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return reply;
}

// The sources a policy allows for `directive`, by CSP's fallbacks (the first present of the
// directive itself and those after it).
std::string SourcesFor(const std::string& policy, std::vector<std::string> directives) {
    directives.push_back("default-src");
    for (const std::string& directive : directives) {
        std::smatch match;
        if (std::regex_search(policy, match, std::regex("(^|;)\\s*" + directive + "([^;]*)"))) {
            return match[2].str() + " ";
        }
    }
    return "";
}

TEST(CaddyTest, TheTableTheApiAndThePageWorkThroughTheProxyUnderItsHeaders) {
    if (std::system("command -v caddy >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "caddy is not installed (scripts/deps.sh server installs it)";
    }
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tavlo-scores-caddy-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder / "site");
    std::ofstream(folder / "site" / "index.html") << "<title>the page</title>";
    std::unique_ptr<Store> store = OpenSqliteStore((folder / "scores.sqlite").string());
    ServiceConfig config = TestConfig();
    config.trustForwarded = true;
    // Each play says it took 10 CPU seconds, an address's whole share.
    config.cpuPerAddress = 10;
    config.site = (folder / "site").string();
    http::Limits limits;
    limits.perAddress = 0;  // as the unit runs it: every connection is the proxy's
    const VerifyQueue::Work tenSeconds = [](const PlayRequest&) {
        Verification played;
        played.outcome = Verification::Outcome::DidNotVerify;
        played.detail = "stand-in";
        played.cpuUsed = 10;
        return played;
    };
    Running server(*store, config, tenSeconds, limits);

    // The packaged site, its name and upstream made the test's.
    std::string site = ReadFile(std::string(TAVLO_SOURCE_DIR) + "/packaging/server/Caddyfile");
    const int https = loopback::FreePort(), plain = loopback::FreePort();
    const std::string name = "localhost:" + std::to_string(https);
    ASSERT_NE(site.find("scores.example.org {"), std::string::npos);
    ASSERT_NE(site.find("127.0.0.1:8015"), std::string::npos);
    site.replace(site.find("scores.example.org {"), 20, name + " {\n\ttls internal");
    site.replace(site.find("127.0.0.1:8015"), 14, "127.0.0.1:" + std::to_string(server.Port()));
    const std::string global = "{\n\tadmin off\n\tskip_install_trust\n\thttp_port " +
                               std::to_string(plain) + "\n\thttps_port " + std::to_string(https) +
                               "\n\tstorage file_system " + (folder / "caddy").string() + "\n}\n";
    std::ofstream(folder / "Caddyfile") << global << site;

    const std::string home = (folder / "home").string();
    const pid_t caddy = loopback::Spawn(
        {"caddy", "run", "--adapter", "caddyfile", "--config", (folder / "Caddyfile").string()},
        (folder / "caddy.log").string(),
        {{"HOME", home}, {"XDG_DATA_HOME", home}, {"XDG_CONFIG_HOME", home}});
    const std::string root = (folder / "caddy/pki/authorities/local/root.crt").string();
    const std::string base = "https://" + name;
    Reply table;
    for (int i = 0; i < 100 && table.status != 200; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (std::filesystem::exists(root)) table = Fetch(base + "/", root);
    }
    ASSERT_EQ(table.status, 200) << ReadFile((folder / "caddy.log").string());
    EXPECT_NE(table.body.find("<h1>"), std::string::npos) << table.body;

    const Reply top = Fetch(base + "/api/top?limit=5", root);
    EXPECT_EQ(top.status, 200);
    EXPECT_EQ(top.body, "[]\n");
    EXPECT_EQ(top.Header("access-control-allow-origin"), "*");
    const Reply page = Fetch(base + "/play/", root);
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.body, "<title>the page</title>");
    for (const Reply* reply : {&std::as_const(table), &std::as_const(top), &std::as_const(page)}) {
        EXPECT_EQ(reply->Header("strict-transport-security"), "max-age=31536000");
        EXPECT_EQ(reply->Header("x-content-type-options"), "nosniff");
        EXPECT_NE(reply->Header("content-security-policy"), "");
    }
    // What the page needs of its policy: its scripts and their WebAssembly, its inline style,
    // its files fetched, its service worker and its manifest, all from its own site.
    const std::string policy = page.Header("content-security-policy");
    struct Need {
        std::vector<std::string> directives;
        const char* source;
    };
    const Need needs[] = {
        {{"script-src"}, "'self' "},
        {{"script-src"}, "'wasm-unsafe-eval' "},
        {{"style-src"}, "'unsafe-inline' "},
        {{"connect-src"}, "'self' "},
        {{"worker-src", "script-src"}, "'self' "},
        {{"manifest-src"}, "'self' "},
        {{"img-src"}, "'self' "},
    };
    for (const Need& need : needs) {
        EXPECT_NE(SourcesFor(policy, need.directives).find(need.source), std::string::npos)
            << need.directives[0] << " lacks " << need.source << " in " << policy;
    }
    // The table's page runs no script: it keeps a policy that allows none.
    EXPECT_EQ(SourcesFor(table.Header("content-security-policy"), {"script-src"}).find("'self'"),
              std::string::npos);

    // Each player's address is its own budget of CPU seconds, whatever X-Forwarded-For it
    // sends: one play spends it (the stand-in's run did not verify), the next is 429.
    const std::string submit = base + "/api/runs?name=Ana";
    const std::string run = Golden("wrong");
    EXPECT_EQ(Fetch(submit, root, "127.0.0.2", run).status, 422);
    EXPECT_EQ(Fetch(submit, root, "127.0.0.2", run, "X-Forwarded-For: 10.0.0.1").status, 429);
    EXPECT_EQ(Fetch(submit, root, "127.0.0.3", run).status, 422);

    kill(caddy, SIGTERM);
    waitpid(caddy, nullptr, 0);
    std::error_code error;
    std::filesystem::remove_all(folder, error);
}

}  // namespace
}  // namespace scores
