// The HTTP side: the routes of the API and the page over a store and a verification queue.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "http.h"
#include "rate_limit.h"
#include "store.h"
#include "table_cache.h"
#include "verifier.h"

namespace scores {

struct ServiceConfig {
    VerifierConfig verifier;
    std::string version;         // the program version runs must come from ("1.0.0")
    int workers = 2;             // plays at once
    int queue = 16;              // plays waiting at most; more answer 503
    int playsPerAddress = 2;     // plays an address may have waiting or under way; 0: any
    double cpuPerAddress = 300;  // CPU seconds of plays an address may have in the window; 0: any
    int cpuWindowSeconds = 600;
    int maxGameMinutes = 60;      // the longest run the table takes, in the game's minutes
    bool trustForwarded = false;  // the address is the last of X-Forwarded-For (behind a proxy)
    std::string watch = "/api/runs/";  // each table row's link, the run's id appended
    std::string site;   // the game's page (build-web/site), served under /play/; empty: none
    ReactionRule rule;  // which runs go on the assisted board
    // How old the table's copy in memory may grow before it is read again: how soon a change
    // this server did not make (another server's, --rejudge's) shows. Within Cache-Control's
    // max-age, so that a cache in front adds no more than that.
    std::chrono::milliseconds tableTimeToLive{2000};
};

class Service {
  public:
    // `work` plays a replay; by default Verify with the configuration's verifier.
    Service(Store& store, ServiceConfig config, VerifyQueue::Work work = nullptr);
    // The routes, for a front to serve (http::Front).
    const http::Router& Http() const { return http_; }

  private:
    void Submit(const http::Request& request, http::Response& response);
    std::string Address(const http::Request& request) const;

    Store& store_;
    ServiceConfig config_;
    TableCache tables_;
    CpuBudget budget_;
    VerifyQueue queue_;
    http::Router http_;
};

// The verdict on reaction lines under `rule`; nullopt when they cannot be read.
std::optional<Verdict> Judge(const std::string& lines, const ReactionRule& rule);

// Every stored run judged again from its stored lines under `rule`, none played. Returns how
// many changed board; runs whose lines cannot be read are left as they are.
int Rejudge(Store& store, const ReactionRule& rule);

// SHA-256 of `bytes` as 64 lower-case hex digits.
std::string Sha256Hex(const std::string& bytes);

}  // namespace scores
