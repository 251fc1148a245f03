#pragma once
// A private PostgreSQL cluster for the tests, started once per test program
// by scripts/pg_private.sh in a temporary folder and stopped at exit.
#include <string>

namespace chatd_test {

struct PrivatePostgres {
  std::string uri;   // for --store and PgStore::Open; empty when none runs
  std::string why;   // why none runs
  std::string dir;   // its folder, for scripts/pg_private.sh stop|start
};

// Starts the cluster on first use.
const PrivatePostgres& SharedPostgres();

// Empties the database: every table of the store dropped.
bool ResetPostgres(const std::string& uri, std::string* error);

}  // namespace chatd_test
