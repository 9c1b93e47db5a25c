// The HTTP side: the routes of the API and the page over a store and a verification queue.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "http.h"
#include "plays.h"
#include "rate_limit.h"
#include "secrets.h"
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
    int leaseSeconds = 30;        // a shared queue's lease on a play under way (PostgreSQL)
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
    // The answer to a run the store took or refused.
    void Stored(const http::Request& request, http::Response& response, const AddResult& added,
                const std::string& name, const std::string& newSecret,
                const std::function<void(const StoredRun&)>& heldElsewhere);

    Store& store_;
    ServiceConfig config_;
    TableCache tables_;
    http::Router http_;
    std::unique_ptr<Plays> plays_;  // last: its workers, which use the rest, end first
};

// The verdict on reaction lines under `rule`; nullopt when they cannot be read.
std::optional<Verdict> Judge(const std::string& lines, const ReactionRule& rule);

// A run that has been played, stored when it verified (the store tried again for a while when it
// fails); every run not stored is logged. Any worker's step, in any process.
Finished StorePlayed(Store& store, const ReactionRule& rule, const QueuedRun& run,
                     const Verification& verified);

// Every stored run judged again from its stored lines under `rule`, none played. Returns how
// many changed board; runs whose lines cannot be read are left as they are.
int Rejudge(Store& store, const ReactionRule& rule);

}  // namespace scores
