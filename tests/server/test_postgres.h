// A PostgreSQL of the test's own: a cluster made by initdb in a temporary folder, served by
// pg_ctl on a Unix socket there only, stopped and removed when the process ends. Run as the
// package's `postgres` user when the test runs as root (initdb refuses root).
#pragma once

#include <string>

namespace scores::testing {

// Empty when PostgreSQL's programs are installed; else why the PostgreSQL tests are skipped.
std::string PostgresMissing();

// The connection string of a new, empty database in the test's cluster, started on first use.
// Fails the test (through a thrown std::runtime_error) when the cluster cannot be started.
std::string NewPostgresDatabase();

// Stops the test's cluster (fast: its connections are cut) and starts it again, on the same
// socket, for a test of a database that goes away.
void StopPostgres();
void StartPostgres();

}  // namespace scores::testing
