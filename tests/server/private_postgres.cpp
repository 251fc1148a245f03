#include "private_postgres.h"

#include <libpq-fe.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace chatd_test {
namespace {

std::string Run(const std::string& command, int* status) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) {
    *status = -1;
    return out;
  }
  char buf[512];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  const int rc = pclose(p);
  *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

class Cluster {
 public:
  Cluster() {
    char pattern[] = "/tmp/chatd-pg.XXXXXX";
    if (!mkdtemp(pattern)) {
      state_.why = "no temporary folder";
      return;
    }
    dir_ = pattern;
    int status = 0;
    const std::string out = Run(script_ + " start " + dir_ + " 2>&1", &status);
    state_.dir = dir_;
    if (status == 0) {
      state_.uri = out.substr(out.rfind('\n') == std::string::npos ? 0 : out.rfind('\n') + 1);
    } else {
      state_.why = (status == 3 ? "PostgreSQL cannot run here: " : "PostgreSQL did not start: ") + out;
    }
  }
  ~Cluster() {
    if (dir_.empty()) return;
    int status = 0;
    Run(script_ + " stop " + dir_ + " >/dev/null 2>&1", &status);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  const PrivatePostgres& state() const { return state_; }

 private:
  const std::string script_ = CHAT_SOURCE_DIR "/scripts/pg_private.sh";
  std::string dir_;
  PrivatePostgres state_;
};

}  // namespace

const PrivatePostgres& SharedPostgres() {
  static Cluster cluster;
  return cluster.state();
}

bool ResetPostgres(const std::string& uri, std::string* error) {
  std::unique_ptr<PGconn, decltype(&PQfinish)> db(PQconnectdb(uri.c_str()), &PQfinish);
  if (PQstatus(db.get()) != CONNECTION_OK) {
    *error = PQerrorMessage(db.get());
    return false;
  }
  PGresult* r = PQexec(db.get(),
                       "SET client_min_messages = warning;"
                       "DROP TABLE IF EXISTS accounts, fines, offline, public_lines");
  const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
  if (!ok) *error = PQresultErrorMessage(r);
  PQclear(r);
  return ok;
}

}  // namespace chatd_test
