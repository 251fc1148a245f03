#pragma once
// chatd's database: accounts, fines, private messages kept for addressees
// who were offline, and the public room's recent lines.  One SQLite file in
// the data folder; every text is stored as a blob of Windows-1251 bytes.
#include <cstdint>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace chatd {

struct Account {
  int64_t id = 0;  // the number the client keeps as UserNum
  std::string name;
  std::string key;  // AccountKey(name)
  std::string email;
  char sex = 0;  // 0, 'm' or 'w'
  std::string backColor = "#ffffff";
  std::string textColor = "#000000";
  std::string info;    // the user's own information text
  std::string photos;  // comma-separated photo numbers, "" for none
  int64_t created = 0;
  std::string lastAddress;
};

struct Fine {
  int64_t id = 0;
  std::string name;  // as registered
  std::string key;
  int64_t start = 0;  // seconds since 1970
  int periodCode = 0;
  int64_t seconds = 0;  // length derived from periodCode
  int type = 0;         // 0 no access, 1 and 2 no sending, 3 private only
  bool checkIp = false;
  std::string address;
  std::string moderator;
  bool ActiveAt(int64_t now) const { return now < start + seconds; }
};

struct ArchiveLine {
  int64_t lineNo = 0;
  int64_t time = 0;
  std::string backColor, textColor;
  std::string mess;  // the relayed Mess value, escaped as on the wire
};

class Store {
 public:
  // Opens (creating when needed) the database file; nullptr and `error` set
  // when it cannot be opened.
  static std::unique_ptr<Store> Open(const std::string& path, std::string* error);
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  std::optional<Account> FindAccount(const std::string& key);
  std::optional<Account> CreateAccount(const Account& fields, const std::string& password);
  bool CheckPassword(const Account& account, const std::string& password);
  void SetPassword(int64_t id, const std::string& password);
  void UpdateLook(int64_t id, char sex, const std::string& backColor, const std::string& textColor);
  void UpdateInfo(int64_t id, const std::string& info);
  void UpdatePhotos(int64_t id, const std::string& photos);
  void UpdateAddress(int64_t id, const std::string& address);
  std::vector<Account> Accounts(int limit);

  void AddFine(const Fine& fine);
  void RemoveFines(const std::string& key);
  std::vector<Fine> FinesOf(const std::string& key);
  std::vector<Fine> IpFinesAt(const std::string& address);  // fines with the IP test for this address
  std::vector<Fine> RecentFines(int limit);  // oldest first

  // Private messages kept for an addressee who is offline, with who sent them.
  void KeepOffline(const std::string& recipientKey, const std::string& senderKey, const std::string& line,
                   int64_t now);
  // The oldest kept lines of the addressee, removed: as many as fit in
  // `maxBytes` (at least one); `more` tells whether others wait.
  std::vector<std::string> TakeOffline(const std::string& recipientKey, size_t maxBytes = SIZE_MAX,
                                       bool* more = nullptr);
  struct Kept {
    int64_t count = 0;
    int64_t bytes = 0;
  };
  Kept KeptFor(const std::string& recipientKey);
  Kept KeptFrom(const std::string& senderKey);

  void AppendPublic(const std::vector<ArchiveLine>& lines);  // in one transaction
  // Up to `count` public lines, skipping the `skip` newest ones; oldest first.
  std::vector<ArchiveLine> PublicLines(int count, int skip);
  int64_t LastLineNo();
  void TrimPublic(int keep);

 private:
  explicit Store(sqlite3* db);
  bool Exec(const char* sql);
  sqlite3_stmt* Prepare(const char* sql);

  sqlite3* db_;
};

}  // namespace chatd
