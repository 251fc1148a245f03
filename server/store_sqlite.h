#pragma once
// The store in one SQLite file (WAL, so another process such as
// chatd --add-user may write while chatd runs); every text is a blob.
#include <memory>
#include <string>

#include "server/store.h"

struct sqlite3;

namespace chatd {

class SqliteStore final : public Store {
 public:
  // Opens (creating when needed) the database file; nullptr and `error` set
  // when it cannot be opened.
  static std::unique_ptr<SqliteStore> Open(const std::string& path, std::string* error);
  ~SqliteStore() override;

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

 private:
  explicit SqliteStore(sqlite3* db);
  bool Exec(const char* sql);

  sqlite3* db_;
};

}  // namespace chatd
