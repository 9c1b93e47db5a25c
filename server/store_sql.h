// The statements both stores share, and each store's migrations: the schema at version N is
// what the first N statements of its list make. A new version appends; none is ever edited.
#pragma once

#include <array>

namespace scores::sql {

inline constexpr std::array kSqliteMigrations = {
    "CREATE TABLE players (id INTEGER PRIMARY KEY, name TEXT NOT NULL,"
    "  name_key TEXT NOT NULL UNIQUE);"
    "CREATE TABLE runs (id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  player_id INTEGER NOT NULL REFERENCES players (id), hash TEXT NOT NULL UNIQUE,"
    "  score INTEGER NOT NULL, program TEXT NOT NULL, submitted_at INTEGER NOT NULL,"
    "  replay BLOB NOT NULL);"
    "CREATE INDEX runs_by_player ON runs (player_id, score DESC, id);",
    // Each run's reaction lines and the verdict on them: runs stored before have none, and stand
    // on the human board until they are judged.
    "ALTER TABLE runs ADD COLUMN reactions TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE runs ADD COLUMN hits INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE runs ADD COLUMN median_ms INTEGER;"
    "ALTER TABLE runs ADD COLUMN fastest_ms INTEGER;"
    "ALTER TABLE runs ADD COLUMN unseen INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE runs ADD COLUMN board TEXT NOT NULL DEFAULT 'human';"
    "CREATE INDEX runs_by_board ON runs (board, player_id, score DESC, id);",
    // Names that belong to their players: the SHA-256 of each name's secret (NULL for a name
    // stored before, until its next run claims it) and its look-alike skeleton, one player a
    // skeleton (NULL until the store fills it in when opened).
    "ALTER TABLE players ADD COLUMN secret_hash TEXT;"
    "ALTER TABLE players ADD COLUMN skeleton TEXT;"
    "CREATE UNIQUE INDEX players_by_skeleton ON players (skeleton);",
};

inline constexpr std::array kPostgresMigrations = {
    "CREATE TABLE players (id BIGSERIAL PRIMARY KEY, name TEXT NOT NULL,"
    "  name_key TEXT NOT NULL UNIQUE);"
    "CREATE TABLE runs (id BIGSERIAL PRIMARY KEY,"
    "  player_id BIGINT NOT NULL REFERENCES players (id), hash TEXT NOT NULL UNIQUE,"
    "  score INTEGER NOT NULL, program TEXT NOT NULL, submitted_at BIGINT NOT NULL,"
    "  replay BYTEA NOT NULL);"
    "CREATE INDEX runs_by_player ON runs (player_id, score DESC, id);",
    "ALTER TABLE runs ADD COLUMN reactions TEXT NOT NULL DEFAULT '',"
    "  ADD COLUMN hits INTEGER NOT NULL DEFAULT 0, ADD COLUMN median_ms INTEGER,"
    "  ADD COLUMN fastest_ms INTEGER, ADD COLUMN unseen INTEGER NOT NULL DEFAULT 0,"
    "  ADD COLUMN board TEXT NOT NULL DEFAULT 'human';"
    "CREATE INDEX runs_by_board ON runs (board, player_id, score DESC, id);",
    "ALTER TABLE players ADD COLUMN secret_hash TEXT;"
    "ALTER TABLE players ADD COLUMN skeleton TEXT;"
    "CREATE UNIQUE INDEX players_by_skeleton ON players (skeleton);",
};

// The player holding a name key (?1), else one whose name has the skeleton (?2).
inline constexpr const char* kHolderSqlite =
    "SELECT name, name_key = ?1, COALESCE(secret_hash, '') FROM players WHERE name_key = ?1 OR "
    "skeleton = ?2 ORDER BY name_key = ?1 DESC LIMIT 1";
inline constexpr const char* kHolderPostgres =
    "SELECT name, name_key = $1, COALESCE(secret_hash, '') FROM players WHERE name_key = $1 OR "
    "skeleton = $2 ORDER BY name_key = $1 DESC LIMIT 1";

// Each player's best run on each board: the highest score, of equal ones the first stored.
#define TAVLO_SCORES_BEST                                                                    \
    "WITH best AS (SELECT id, player_id, score, submitted_at, board, median_ms, "            \
    "fastest_ms, ROW_NUMBER() OVER (PARTITION BY player_id, board ORDER BY score DESC, id) " \
    "AS n FROM runs) "

inline constexpr const char* kTopSqlite = TAVLO_SCORES_BEST
    "SELECT b.id, p.name, b.score, b.submitted_at, b.median_ms, b.fastest_ms FROM best b JOIN "
    "players p ON p.id = b.player_id WHERE b.n = 1 AND b.board = ?2 ORDER BY b.score DESC, b.id "
    "LIMIT ?1";
inline constexpr const char* kTopPostgres = TAVLO_SCORES_BEST
    "SELECT b.id, p.name, b.score, b.submitted_at, b.median_ms, b.fastest_ms FROM best b JOIN "
    "players p ON p.id = b.player_id WHERE b.n = 1 AND b.board = $2 ORDER BY b.score DESC, b.id "
    "LIMIT $1";

#define TAVLO_SCORES_RANK(PARAM)                                                              \
    TAVLO_SCORES_BEST                                                                         \
    ", me AS (SELECT id, player_id, score, board FROM runs WHERE id = " PARAM                 \
    ") SELECT 1 + (SELECT COUNT(*) FROM best b, me WHERE b.n = 1 AND b.board = me.board AND " \
    "b.player_id <> me.player_id AND (b.score > me.score OR (b.score = me.score AND b.id < "  \
    "me.id))) FROM me"

inline constexpr const char* kRankSqlite = TAVLO_SCORES_RANK("?1");
inline constexpr const char* kRankPostgres = TAVLO_SCORES_RANK("$1");

#define TAVLO_SCORES_RUN                                                                    \
    "SELECT r.id, p.name, r.score, r.program, r.hash, r.submitted_at, r.board, r.hits, "    \
    "r.median_ms, r.fastest_ms, r.unseen FROM runs r JOIN players p ON p.id = r.player_id " \
    "WHERE "

inline constexpr const char* kRunById = TAVLO_SCORES_RUN "r.id = ?1";
inline constexpr const char* kRunByHash = TAVLO_SCORES_RUN "r.hash = ?1";
inline constexpr const char* kRunByIdPostgres = TAVLO_SCORES_RUN "r.id = $1";
inline constexpr const char* kRunByHashPostgres = TAVLO_SCORES_RUN "r.hash = $1";

#undef TAVLO_SCORES_RUN
#undef TAVLO_SCORES_RANK
#undef TAVLO_SCORES_BEST

}  // namespace scores::sql
