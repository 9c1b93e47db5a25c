#include "test_postgres.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include <libpq-fe.h>

namespace scores::testing {

namespace {

std::string Bin() {
    // Debian's postgresql package: the programs of its one major version.
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", error)) {
        const std::filesystem::path bin = entry.path() / "bin";
        if (std::filesystem::exists(bin / "initdb") && std::filesystem::exists(bin / "pg_ctl")) {
            return bin.string();
        }
    }
    return {};
}

class Cluster {
  public:
    Cluster() {
        char pattern[] = "/tmp/tavlo-pg-XXXXXX";
        if (!mkdtemp(pattern)) throw std::runtime_error("no temporary folder for PostgreSQL");
        folder_ = pattern;
        std::string as;
        if (geteuid() == 0) {
            const passwd* user = getpwnam("postgres");
            if (!user) throw std::runtime_error("running as root, and there is no postgres user");
            if (chown(folder_.c_str(), user->pw_uid, user->pw_gid) != 0) {
                throw std::runtime_error("cannot give " + folder_ + " to postgres");
            }
            as = "runuser -u postgres -- ";
        }
        const std::string bin = Bin();
        const std::string data = folder_ + "/data";
        Run(as + bin + "/initdb -D " + data + " -A trust -U postgres -E UTF8 --locale=C -N >" +
            folder_ + "/initdb.log 2>&1");
        // No TCP at all: the socket in the folder is the only way in.
        start_ = as + bin + "/pg_ctl -D " + data + " -l " + folder_ + "/server.log -w -s -o \"" +
                 "-c listen_addresses='' -k " + folder_ + " -c fsync=off\" start";
        Run(start_);
        stop_ = as + bin + "/pg_ctl -D " + data + " -m immediate -w -s stop";
        pause_ = as + bin + "/pg_ctl -D " + data + " -m fast -w -s stop";
    }
    ~Cluster() {
        if (!stop_.empty() && std::system(stop_.c_str()) != 0) {  // NOLINT(cert-env33-c)
            std::fprintf(stderr, "PostgreSQL did not stop: %s\n", stop_.c_str());
        }
        std::error_code error;
        std::filesystem::remove_all(folder_, error);
    }
    Cluster(const Cluster&) = delete;
    Cluster& operator=(const Cluster&) = delete;

    std::string NewDatabase() {
        const std::string name = "run" + std::to_string(++databases_);
        const std::string admin = "host=" + folder_ + " user=postgres dbname=postgres";
        PGconn* conn = PQconnectdb(admin.c_str());
        PGresult* result = PQexec(conn, ("CREATE DATABASE " + name).c_str());
        const bool made = PQresultStatus(result) == PGRES_COMMAND_OK;
        const std::string message = PQerrorMessage(conn);
        PQclear(result);
        PQfinish(conn);
        if (!made) throw std::runtime_error("CREATE DATABASE: " + message);
        return "host=" + folder_ + " user=postgres dbname=" + name;
    }

    void Stop() { Run(pause_); }
    void Start() { Run(start_); }

  private:
    void Run(const std::string& command) {
        if (std::system(command.c_str()) != 0) {  // NOLINT(cert-env33-c)
            throw std::runtime_error("failed (logs in " + folder_ + "): " + command);
        }
    }

    std::string folder_;
    std::string start_;
    std::string stop_;
    std::string pause_;
    int databases_ = 0;
};

Cluster& TheCluster() {
    static const std::unique_ptr<Cluster> cluster = std::make_unique<Cluster>();
    return *cluster;
}

}  // namespace

std::string PostgresMissing() {
    if (!Bin().empty()) return {};
    return "PostgreSQL is not installed (Debian's postgresql package; scripts/deps.sh test "
           "installs it): the PostgreSQL store is not tested";
}

std::string NewPostgresDatabase() {
    return TheCluster().NewDatabase();
}

void StopPostgres() {
    TheCluster().Stop();
}

void StartPostgres() {
    TheCluster().Start();
}

}  // namespace scores::testing
