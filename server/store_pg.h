#pragma once
// The store in PostgreSQL, shared by every chatd that serves one room.
// Every text is a bytea; statements are parameterised, so no byte of a
// name or message is ever part of the SQL.
#include <chrono>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "server/store.h"

struct pg_conn;

namespace chatd {

class PgStore final : public Store {
 public:
  // Connects with a libpq connection string or "postgresql://…" URI and
  // makes the tables when they are missing; nullptr and `error` set when it
  // cannot.
  static std::unique_ptr<PgStore> Open(const std::string& conninfo, std::string* error);
  ~PgStore() override;

  std::optional<Account> FindAccount(const std::string& key) override;
  std::optional<Account> CreateAccount(const Account& fields, const std::string& password) override;
  bool CheckPassword(const Account& account, const std::string& password) override;
  void SetPassword(int64_t id, const std::string& password) override;
  void UpdateLook(int64_t id, char sex, const std::string& backColor, const std::string& textColor) override;
  void UpdateInfo(int64_t id, const std::string& info) override;
  void UpdatePhotos(int64_t id, const std::string& photos) override;
  void UpdateAddress(int64_t id, const std::string& address) override;
  std::vector<Account> Accounts(int limit) override;

  void AddFine(const Fine& fine) override;
  void RemoveFines(const std::string& key) override;
  std::vector<Fine> FinesOf(const std::string& key) override;
  std::vector<Fine> IpFinesAt(const std::string& address) override;
  std::vector<Fine> RecentFines(int limit) override;

  void KeepOffline(const std::string& recipientKey, const std::string& senderKey, const std::string& line,
                   int64_t now) override;
  std::vector<std::string> TakeOffline(const std::string& recipientKey, size_t maxBytes = SIZE_MAX,
                                       bool* more = nullptr) override;
  Kept KeptFor(const std::string& recipientKey) override;
  Kept KeptFrom(const std::string& senderKey) override;

  void AppendPublic(const std::vector<ArchiveLine>& lines) override;
  std::vector<ArchiveLine> PublicLines(int count, int skip) override;
  int64_t LastLineNo() override;
  void TrimPublic(int keep) override;

  class Query;  // one statement and its rows

 private:
  explicit PgStore(pg_conn* db);
  bool Exec(const char* sql);
  // A lost connection is opened again before the next statement; false
  // while there is none.
  bool Reconnect();
  // The name of `sql` prepared on this connection; nullptr when it cannot be.
  const std::string* Prepared(const std::string& sql, const std::vector<unsigned>& types);

  pg_conn* db_;
  std::unordered_map<std::string, std::string> prepared_;  // SQL -> statement name
  std::chrono::steady_clock::time_point lastReset_{};
};

}  // namespace chatd
