// The statements both stores share, and each store's migrations: the schema at version N is
// what the first N statements of its list make. A new version appends; none is ever edited.
#pragma once

#include <array>

namespace scores::sql {

// Each player's best run on each board (the highest score, of equal ones the first stored), as
// a table: made and filled from the runs by a migration, then kept by the stores.
#define TAVLO_SCORES_BESTS(ID)                                                                \
    "CREATE TABLE bests (player_id " ID                                                       \
    " NOT NULL REFERENCES players (id),"                                                      \
    "  board TEXT NOT NULL, run_id " ID                                                       \
    " NOT NULL REFERENCES runs (id),"                                                         \
    "  score INTEGER NOT NULL, PRIMARY KEY (player_id, board));"                              \
    "INSERT INTO bests (player_id, board, run_id, score) SELECT player_id, board, id, score " \
    "FROM (SELECT id, player_id, board, score, ROW_NUMBER() OVER (PARTITION BY player_id, "   \
    "board ORDER BY score DESC, id) AS n FROM runs) AS ranked WHERE n = 1;"                   \
    "CREATE INDEX bests_by_board ON bests (board, score DESC, run_id);"                       \
    "CREATE TABLE board_scores (board TEXT NOT NULL, score INTEGER NOT NULL,"                 \
    "  players INTEGER NOT NULL, PRIMARY KEY (board, score));"                                \
    "INSERT INTO board_scores (board, score, players) SELECT board, score, COUNT(*) FROM "    \
    "bests GROUP BY board, score;"

// How many bests each board has at each score, kept by triggers on bests: a rank adds up the
// scores above (a few hundred rows at most, however many players) instead of counting every
// best ahead.
#define TAVLO_SCORES_COUNT_IN(ROW)                                                 \
    "INSERT INTO board_scores (board, score, players) VALUES (" ROW ".board, " ROW \
    ".score, "                                                                     \
    "1) ON CONFLICT (board, score) DO UPDATE SET players = board_scores.players + 1"
#define TAVLO_SCORES_COUNT_OUT(ROW)                                    \
    "UPDATE board_scores SET players = players - 1 WHERE board = " ROW \
    ".board AND "                                                      \
    "score = " ROW ".score"

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
    // A table that costs the same at any size: each player's best per board kept in a table of
    // its own (filled from the runs here, kept by every add and verdict), ranked by its index;
    // the replays apart, so that a row of runs is small.
    "CREATE TABLE replays (run_id INTEGER PRIMARY KEY REFERENCES runs (id),"
    "  replay BLOB NOT NULL);"
    "INSERT INTO replays (run_id, replay) SELECT id, replay FROM runs;"
    "ALTER TABLE runs DROP COLUMN replay;" TAVLO_SCORES_BESTS("INTEGER")
    "CREATE TRIGGER bests_in AFTER INSERT ON bests BEGIN " TAVLO_SCORES_COUNT_IN("NEW") "; END;"
    "CREATE TRIGGER bests_out AFTER DELETE ON bests BEGIN " TAVLO_SCORES_COUNT_OUT("OLD") "; END;"
    "CREATE TRIGGER bests_moved AFTER UPDATE OF board, score ON bests BEGIN "
    TAVLO_SCORES_COUNT_OUT("OLD") "; " TAVLO_SCORES_COUNT_IN("NEW") "; END;",
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
    "CREATE TABLE replays (run_id BIGINT PRIMARY KEY REFERENCES runs (id),"
    "  replay BYTEA NOT NULL);"
    "INSERT INTO replays (run_id, replay) SELECT id, replay FROM runs;"
    "ALTER TABLE runs DROP COLUMN replay;" TAVLO_SCORES_BESTS("BIGINT")
    "CREATE FUNCTION count_board_scores() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
    "IF TG_OP IN ('DELETE', 'UPDATE') THEN " TAVLO_SCORES_COUNT_OUT("OLD") "; END IF; "
    "IF TG_OP IN ('INSERT', 'UPDATE') THEN " TAVLO_SCORES_COUNT_IN("NEW") "; END IF; "
    "RETURN NULL; END $$;"
    "CREATE TRIGGER bests_counted AFTER INSERT OR UPDATE OR DELETE ON bests FOR EACH ROW "
    "EXECUTE FUNCTION count_board_scores();",
    // Several servers over one database share the verification queue and the addresses' limits
    // (plays.h). Times are the database's clock, in Unix seconds, so that servers agree on them.
    // An address's row is held by each admission to its commit; its last_taken is its turn.
    "CREATE TABLE play_addresses (address TEXT PRIMARY KEY, last_taken DOUBLE PRECISION);"
    // The CPU seconds charged to each address: a play's limit when queued, what it took once
    // played.
    "CREATE TABLE play_charges (id BIGSERIAL PRIMARY KEY, address TEXT NOT NULL,"
    "  charged_at DOUBLE PRECISION NOT NULL, seconds DOUBLE PRECISION NOT NULL);"
    "CREATE INDEX play_charges_by_address ON play_charges (address, charged_at);"
    // Each admitted run with what its store step needs; 'queued', then 'playing' under a lease
    // its worker renews (one that lapses is taken again by anyone), then 'done' with the
    // outcome, which the server holding the request reads and removes.
    "CREATE TABLE queued_plays (id BIGSERIAL PRIMARY KEY, address TEXT NOT NULL,"
    "  address_key TEXT NOT NULL, charge_id BIGINT, cpu_seconds INTEGER NOT NULL,"
    "  replay BYTEA NOT NULL, name TEXT NOT NULL, name_key TEXT NOT NULL, skeleton TEXT NOT NULL,"
    "  secret_hash TEXT NOT NULL, new_secret_hash TEXT NOT NULL, hash TEXT NOT NULL,"
    "  program TEXT NOT NULL, queued_at DOUBLE PRECISION NOT NULL,"
    "  state TEXT NOT NULL DEFAULT 'queued', taken_by TEXT, lease_until DOUBLE PRECISION,"
    "  takes INTEGER NOT NULL DEFAULT 0, step INTEGER, outcome INTEGER, detail TEXT,"
    "  cpu_used DOUBLE PRECISION, added INTEGER, run_id BIGINT, holder TEXT,"
    "  secret_is_new BOOLEAN, new_best BOOLEAN, done_at DOUBLE PRECISION);"
    "CREATE INDEX queued_plays_by_state ON queued_plays (state, id);"
    "CREATE INDEX queued_plays_by_address ON queued_plays (address_key) WHERE state <> 'done';",
};

#undef TAVLO_SCORES_COUNT_OUT
#undef TAVLO_SCORES_COUNT_IN
#undef TAVLO_SCORES_BESTS

// The player holding a name key (?1), else one whose name has the skeleton (?2).
inline constexpr const char* kHolderSqlite =
    "SELECT name, name_key = ?1, COALESCE(secret_hash, '') FROM players WHERE name_key = ?1 OR "
    "skeleton = ?2 ORDER BY name_key = ?1 DESC LIMIT 1";
inline constexpr const char* kHolderPostgres =
    "SELECT name, name_key = $1, COALESCE(secret_hash, '') FROM players WHERE name_key = $1 OR "
    "skeleton = $2 ORDER BY name_key = $1 DESC LIMIT 1";

// A board's best runs, best first: the walk of bests_by_board, LIMIT rows long.
#define TAVLO_SCORES_TOP(LIMIT, BOARD)                                                             \
    "SELECT b.run_id, p.name, b.score, r.submitted_at, r.median_ms, r.fastest_ms FROM bests "      \
    "b JOIN runs r ON r.id = b.run_id JOIN players p ON p.id = b.player_id WHERE b.board = " BOARD \
    " ORDER BY b.score DESC, b.run_id LIMIT " LIMIT

inline constexpr const char* kTopSqlite = TAVLO_SCORES_TOP("?1", "?2");
inline constexpr const char* kTopPostgres = TAVLO_SCORES_TOP("$1", "$2");

// 1 + the other players' bests ahead of the run on its board: the bests at higher scores from
// board_scores, those at its score stored before it from a range of bests_by_board, less the
// player's own best when it is ahead.
#define TAVLO_SCORES_RANK(PARAM)                                                             \
    "SELECT 1 + COALESCE((SELECT SUM(s.players) FROM board_scores s WHERE s.board = "        \
    "me.board AND s.score > me.score), 0) + (SELECT COUNT(*) FROM bests b WHERE b.board = "  \
    "me.board AND b.score = me.score AND b.run_id < me.id) - (SELECT COUNT(*) FROM bests o " \
    "WHERE o.player_id = me.player_id AND o.board = me.board AND (o.score > me.score OR "    \
    "(o.score = me.score AND o.run_id < me.id))) FROM runs me WHERE me.id = " PARAM

inline constexpr const char* kRankSqlite = TAVLO_SCORES_RANK("?1");
inline constexpr const char* kRankPostgres = TAVLO_SCORES_RANK("$1");

// The run as a player's best on its board when it is one: more than the best there, or as much
// and stored first (two stored at once may commit in either order).
#define TAVLO_SCORES_KEEP_BEST(P)                                                             \
    "INSERT INTO bests (player_id, board, run_id, score) VALUES (" P "1, " P "2, " P "3, " P  \
    "4) ON CONFLICT (player_id, board) DO UPDATE SET run_id = excluded.run_id, score = "      \
    "excluded.score WHERE excluded.score > bests.score OR (excluded.score = bests.score AND " \
    "excluded.run_id < bests.run_id)"

inline constexpr const char* kKeepBestSqlite = TAVLO_SCORES_KEEP_BEST("?");
inline constexpr const char* kKeepBestPostgres = TAVLO_SCORES_KEEP_BEST("$") " RETURNING run_id";

// A player's bests made again from the player's runs (a verdict moved one between boards).
#define TAVLO_SCORES_REDO_BESTS(PARAM)                                                        \
    "INSERT INTO bests (player_id, board, run_id, score) SELECT player_id, board, id, score " \
    "FROM (SELECT id, player_id, board, score, ROW_NUMBER() OVER (PARTITION BY board ORDER "  \
    "BY score DESC, id) AS n FROM runs WHERE player_id = " PARAM ") AS ranked WHERE n = 1"

inline constexpr const char* kRedoBestsSqlite = TAVLO_SCORES_REDO_BESTS("?1");
inline constexpr const char* kRedoBestsPostgres = TAVLO_SCORES_REDO_BESTS("$1");

#define TAVLO_SCORES_RUN                                                                    \
    "SELECT r.id, p.name, r.score, r.program, r.hash, r.submitted_at, r.board, r.hits, "    \
    "r.median_ms, r.fastest_ms, r.unseen FROM runs r JOIN players p ON p.id = r.player_id " \
    "WHERE "

inline constexpr const char* kRunById = TAVLO_SCORES_RUN "r.id = ?1";
inline constexpr const char* kRunByHash = TAVLO_SCORES_RUN "r.hash = ?1";
inline constexpr const char* kRunByIdPostgres = TAVLO_SCORES_RUN "r.id = $1";
inline constexpr const char* kRunByHashPostgres = TAVLO_SCORES_RUN "r.hash = $1";

#undef TAVLO_SCORES_RUN
#undef TAVLO_SCORES_REDO_BESTS
#undef TAVLO_SCORES_KEEP_BEST
#undef TAVLO_SCORES_RANK
#undef TAVLO_SCORES_TOP

}  // namespace scores::sql
