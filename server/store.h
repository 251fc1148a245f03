#pragma once
// chatd's database: accounts, fines, private messages kept for addressees
// who were offline, and the public room's recent lines.  Every text is a
// string of Windows-1251 bytes.
#include <cstdint>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

// Where chatd keeps what outlives a connection.  One interface, so the room
// does not care which database holds it; SqliteStore (store_sqlite.h) is
// the one a single chatd uses, in its data folder.
class Store {
 public:
  Store() = default;
  virtual ~Store() = default;
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  virtual std::optional<Account> FindAccount(const std::string& key) = 0;
  virtual std::optional<Account> CreateAccount(const Account& fields, const std::string& password) = 0;
  virtual bool CheckPassword(const Account& account, const std::string& password) = 0;
  virtual void SetPassword(int64_t id, const std::string& password) = 0;
  virtual void UpdateLook(int64_t id, char sex, const std::string& backColor, const std::string& textColor) = 0;
  virtual void UpdateInfo(int64_t id, const std::string& info) = 0;
  virtual void UpdatePhotos(int64_t id, const std::string& photos) = 0;
  virtual void UpdateAddress(int64_t id, const std::string& address) = 0;
  virtual std::vector<Account> Accounts(int limit) = 0;

  virtual void AddFine(const Fine& fine) = 0;
  virtual void RemoveFines(const std::string& key) = 0;
  virtual std::vector<Fine> FinesOf(const std::string& key) = 0;
  // Fines with the IP test for this address.
  virtual std::vector<Fine> IpFinesAt(const std::string& address) = 0;
  virtual std::vector<Fine> RecentFines(int limit) = 0;  // oldest first

  // Private messages kept for an addressee who is offline, with who sent them.
  virtual void KeepOffline(const std::string& recipientKey, const std::string& senderKey, const std::string& line,
                           int64_t now) = 0;
  // The oldest kept lines of the addressee, removed: as many as fit in
  // `maxBytes` (at least one); `more` tells whether others wait.
  virtual std::vector<std::string> TakeOffline(const std::string& recipientKey, size_t maxBytes = SIZE_MAX,
                                               bool* more = nullptr) = 0;
  struct Kept {
    int64_t count = 0;
    int64_t bytes = 0;
  };
  virtual Kept KeptFor(const std::string& recipientKey) = 0;
  virtual Kept KeptFrom(const std::string& senderKey) = 0;

  virtual void AppendPublic(const std::vector<ArchiveLine>& lines) = 0;  // all or none
  // Up to `count` public lines, skipping the `skip` newest ones; oldest first.
  virtual std::vector<ArchiveLine> PublicLines(int count, int skip) = 0;
  virtual int64_t LastLineNo() = 0;
  virtual void TrimPublic(int keep) = 0;
};

}  // namespace chatd
