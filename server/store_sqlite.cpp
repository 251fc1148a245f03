#include "server/store_sqlite.h"

#include <sqlite3.h>

#include "server/log.h"
#include "server/password_hash.h"

namespace chatd {
namespace {

// A prepared statement that finalizes itself; binds and reads blobs.
class Stmt {
 public:
  Stmt(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
      Log(std::string("sqlite prepare failed: ") + sqlite3_errmsg(db));
      stmt_ = nullptr;
    }
  }
  ~Stmt() { sqlite3_finalize(stmt_); }
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;

  explicit operator bool() const { return stmt_ != nullptr; }
  Stmt& Bind(int i, const std::string& s) {
    if (stmt_) sqlite3_bind_blob(stmt_, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Stmt& Bind(int i, int64_t v) {
    if (stmt_) sqlite3_bind_int64(stmt_, i, v);
    return *this;
  }
  bool Step() { return stmt_ && sqlite3_step(stmt_) == SQLITE_ROW; }
  bool Run() {
    if (!stmt_) return false;
    int rc = sqlite3_step(stmt_);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
      Log(std::string("sqlite step failed: ") + sqlite3_errmsg(sqlite3_db_handle(stmt_)));
      return false;
    }
    return true;
  }
  std::string Text(int col) {
    const void* p = sqlite3_column_blob(stmt_, col);
    int n = sqlite3_column_bytes(stmt_, col);
    return p ? std::string(static_cast<const char*>(p), static_cast<size_t>(n)) : std::string();
  }
  int64_t Int(int col) { return sqlite3_column_int64(stmt_, col); }
  void Reset() {
    if (stmt_) sqlite3_reset(stmt_);
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

constexpr const char* kAccountColumns =
    "id, name, key, email, sex, back_color, text_color, info, photos, created, last_address";

Account ReadAccount(Stmt& s) {
  Account a;
  a.id = s.Int(0);
  a.name = s.Text(1);
  a.key = s.Text(2);
  a.email = s.Text(3);
  a.sex = static_cast<char>(s.Int(4));
  a.backColor = s.Text(5);
  a.textColor = s.Text(6);
  a.info = s.Text(7);
  a.photos = s.Text(8);
  a.created = s.Int(9);
  a.lastAddress = s.Text(10);
  return a;
}

Fine ReadFine(Stmt& s) {
  Fine f;
  f.id = s.Int(0);
  f.name = s.Text(1);
  f.key = s.Text(2);
  f.start = s.Int(3);
  f.periodCode = static_cast<int>(s.Int(4));
  f.seconds = s.Int(5);
  f.type = static_cast<int>(s.Int(6));
  f.checkIp = s.Int(7) != 0;
  f.address = s.Text(8);
  f.moderator = s.Text(9);
  return f;
}

constexpr const char* kFineColumns =
    "id, name, key, start, period_code, seconds, type, check_ip, address, moderator";

}  // namespace

std::unique_ptr<SqliteStore> SqliteStore::Open(const std::string& path, std::string* error) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    if (error) *error = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, 2000);
  std::unique_ptr<SqliteStore> store(new SqliteStore(db));
  const char* schema[] = {
      "PRAGMA journal_mode=WAL",
      "PRAGMA synchronous=NORMAL",
      "CREATE TABLE IF NOT EXISTS accounts (id INTEGER PRIMARY KEY AUTOINCREMENT, name BLOB NOT NULL,"
      " key BLOB NOT NULL UNIQUE, salt BLOB, hash BLOB, email BLOB, sex INTEGER DEFAULT 0,"
      " back_color BLOB, text_color BLOB, info BLOB, photos BLOB, created INTEGER, last_address BLOB)",
      "CREATE TABLE IF NOT EXISTS fines (id INTEGER PRIMARY KEY AUTOINCREMENT, name BLOB, key BLOB,"
      " start INTEGER, period_code INTEGER, seconds INTEGER, type INTEGER, check_ip INTEGER,"
      " address BLOB, moderator BLOB)",
      "CREATE INDEX IF NOT EXISTS fines_key ON fines(key)",
      "CREATE TABLE IF NOT EXISTS offline (id INTEGER PRIMARY KEY AUTOINCREMENT, recipient BLOB,"
      " line BLOB, created INTEGER)",
      "CREATE INDEX IF NOT EXISTS offline_recipient ON offline(recipient)",
      "CREATE TABLE IF NOT EXISTS public_lines (line_no INTEGER PRIMARY KEY, time INTEGER,"
      " back_color BLOB, text_color BLOB, mess BLOB)",
  };
  for (const char* sql : schema) {
    if (!store->Exec(sql)) {
      if (error) *error = sqlite3_errmsg(db);
      return nullptr;
    }
  }
  // Kept messages name their sender, so one sender's share can be bounded;
  // a file from before has no such column yet.
  bool hasSender = false;
  {
    Stmt columns(db, "PRAGMA table_info(offline)");
    while (columns.Step()) hasSender = hasSender || columns.Text(1) == "sender";
  }
  if ((!hasSender && !store->Exec("ALTER TABLE offline ADD COLUMN sender BLOB")) ||
      !store->Exec("CREATE INDEX IF NOT EXISTS offline_sender ON offline(sender)")) {
    if (error) *error = sqlite3_errmsg(db);
    return nullptr;
  }
  // AUTOINCREMENT numbers start after the largest one ever used; the first
  // account gets 1001 so numbers look like account numbers, not counters.
  store->Exec("INSERT INTO sqlite_sequence(name, seq) SELECT 'accounts', 1000"
              " WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = 'accounts')");
  return store;
}

SqliteStore::SqliteStore(sqlite3* db) : db_(db) {}
SqliteStore::~SqliteStore() { sqlite3_close(db_); }

bool SqliteStore::Exec(const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    Log(std::string("sqlite: ") + (message ? message : "error") + " in " + sql);
    sqlite3_free(message);
    return false;
  }
  return true;
}

std::optional<Account> SqliteStore::FindAccount(const std::string& key) {
  std::string sql = std::string("SELECT ") + kAccountColumns + " FROM accounts WHERE key = ?1";
  Stmt s(db_, sql.c_str());
  s.Bind(1, key);
  if (!s.Step()) return std::nullopt;
  return ReadAccount(s);
}

std::optional<Account> SqliteStore::CreateAccount(const Account& a, const std::string& password) {
  const std::string salt = NewSalt();
  Stmt s(db_,
         "INSERT INTO accounts (name, key, salt, hash, email, sex, back_color, text_color, info, photos,"
         " created, last_address) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)");
  s.Bind(1, a.name).Bind(2, a.key).Bind(3, salt).Bind(4, HashPassword(salt, password)).Bind(5, a.email);
  s.Bind(6, static_cast<int64_t>(a.sex)).Bind(7, a.backColor).Bind(8, a.textColor).Bind(9, a.info);
  s.Bind(10, a.photos).Bind(11, a.created).Bind(12, a.lastAddress);
  if (!s.Run()) return std::nullopt;
  return FindAccount(a.key);
}

bool SqliteStore::CheckPassword(const Account& account, const std::string& password) {
  Stmt s(db_, "SELECT salt, hash FROM accounts WHERE id = ?1");
  s.Bind(1, account.id);
  if (!s.Step()) return false;
  return HashPassword(s.Text(0), password) == s.Text(1);
}

void SqliteStore::SetPassword(int64_t id, const std::string& password) {
  const std::string salt = NewSalt();
  Stmt s(db_, "UPDATE accounts SET salt = ?1, hash = ?2 WHERE id = ?3");
  s.Bind(1, salt).Bind(2, HashPassword(salt, password)).Bind(3, id).Run();
}

void SqliteStore::UpdateLook(int64_t id, char sex, const std::string& backColor, const std::string& textColor) {
  Stmt s(db_, "UPDATE accounts SET sex = ?1, back_color = ?2, text_color = ?3 WHERE id = ?4");
  s.Bind(1, static_cast<int64_t>(sex)).Bind(2, backColor).Bind(3, textColor).Bind(4, id).Run();
}

void SqliteStore::UpdateInfo(int64_t id, const std::string& info) {
  Stmt s(db_, "UPDATE accounts SET info = ?1 WHERE id = ?2");
  s.Bind(1, info).Bind(2, id).Run();
}

void SqliteStore::UpdatePhotos(int64_t id, const std::string& photos) {
  Stmt s(db_, "UPDATE accounts SET photos = ?1 WHERE id = ?2");
  s.Bind(1, photos).Bind(2, id).Run();
}

void SqliteStore::UpdateAddress(int64_t id, const std::string& address) {
  Stmt s(db_, "UPDATE accounts SET last_address = ?1 WHERE id = ?2");
  s.Bind(1, address).Bind(2, id).Run();
}

std::vector<Account> SqliteStore::Accounts(int limit) {
  std::string sql = std::string("SELECT ") + kAccountColumns + " FROM accounts ORDER BY id LIMIT ?1";
  Stmt s(db_, sql.c_str());
  s.Bind(1, static_cast<int64_t>(limit));
  std::vector<Account> out;
  while (s.Step()) out.push_back(ReadAccount(s));
  return out;
}

void SqliteStore::AddFine(const Fine& f) {
  Stmt s(db_,
         "INSERT INTO fines (name, key, start, period_code, seconds, type, check_ip, address, moderator)"
         " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
  s.Bind(1, f.name).Bind(2, f.key).Bind(3, f.start).Bind(4, static_cast<int64_t>(f.periodCode));
  s.Bind(5, f.seconds).Bind(6, static_cast<int64_t>(f.type)).Bind(7, static_cast<int64_t>(f.checkIp));
  s.Bind(8, f.address).Bind(9, f.moderator).Run();
}

void SqliteStore::RemoveFines(const std::string& key) {
  Stmt s(db_, "DELETE FROM fines WHERE key = ?1");
  s.Bind(1, key).Run();
}

std::vector<Fine> SqliteStore::FinesOf(const std::string& key) {
  std::string sql = std::string("SELECT ") + kFineColumns + " FROM fines WHERE key = ?1 ORDER BY id";
  Stmt s(db_, sql.c_str());
  s.Bind(1, key);
  std::vector<Fine> out;
  while (s.Step()) out.push_back(ReadFine(s));
  return out;
}

std::vector<Fine> SqliteStore::IpFinesAt(const std::string& address) {
  std::string sql = std::string("SELECT ") + kFineColumns + " FROM fines WHERE check_ip = 1 AND address = ?1 ORDER BY id";
  Stmt s(db_, sql.c_str());
  s.Bind(1, address);
  std::vector<Fine> out;
  while (s.Step()) out.push_back(ReadFine(s));
  return out;
}

std::vector<Fine> SqliteStore::RecentFines(int limit) {
  std::string sql = std::string("SELECT * FROM (SELECT ") + kFineColumns +
                    " FROM fines ORDER BY id DESC LIMIT ?1) ORDER BY id";
  Stmt s(db_, sql.c_str());
  s.Bind(1, static_cast<int64_t>(limit));
  std::vector<Fine> out;
  while (s.Step()) out.push_back(ReadFine(s));
  return out;
}

void SqliteStore::KeepOffline(const std::string& recipientKey, const std::string& senderKey, const std::string& line,
                        int64_t now) {
  Stmt s(db_, "INSERT INTO offline (recipient, sender, line, created) VALUES (?1, ?2, ?3, ?4)");
  s.Bind(1, recipientKey).Bind(2, senderKey).Bind(3, line).Bind(4, now).Run();
}

Store::Kept SqliteStore::KeptFor(const std::string& recipientKey) {
  Stmt s(db_, "SELECT COUNT(*), COALESCE(SUM(LENGTH(line)), 0) FROM offline WHERE recipient = ?1");
  s.Bind(1, recipientKey);
  if (!s.Step()) return {};
  return {s.Int(0), s.Int(1)};
}

Store::Kept SqliteStore::KeptFrom(const std::string& senderKey) {
  Stmt s(db_, "SELECT COUNT(*), COALESCE(SUM(LENGTH(line)), 0) FROM offline WHERE sender = ?1");
  s.Bind(1, senderKey);
  if (!s.Step()) return {};
  return {s.Int(0), s.Int(1)};
}

std::vector<std::string> SqliteStore::TakeOffline(const std::string& recipientKey, size_t maxBytes, bool* more) {
  std::vector<std::string> out;
  int64_t lastId = 0;
  size_t bytes = 0;
  if (more) *more = false;
  {
    Stmt s(db_, "SELECT id, line FROM offline WHERE recipient = ?1 ORDER BY id");
    s.Bind(1, recipientKey);
    while (s.Step()) {
      std::string line = s.Text(1);
      if (!out.empty() && bytes + line.size() > maxBytes) {
        if (more) *more = true;
        break;
      }
      bytes += line.size();
      lastId = s.Int(0);
      out.push_back(std::move(line));
    }
  }
  if (!out.empty()) {
    Stmt d(db_, "DELETE FROM offline WHERE recipient = ?1 AND id <= ?2");
    d.Bind(1, recipientKey).Bind(2, lastId).Run();
  }
  return out;
}

void SqliteStore::AppendPublic(const std::vector<ArchiveLine>& lines) {
  Exec("BEGIN");
  {
    Stmt s(db_,
           "INSERT OR REPLACE INTO public_lines (line_no, time, back_color, text_color, mess)"
           " VALUES (?1, ?2, ?3, ?4, ?5)");
    for (const ArchiveLine& line : lines) {
      s.Bind(1, line.lineNo).Bind(2, line.time).Bind(3, line.backColor).Bind(4, line.textColor);
      s.Bind(5, line.mess).Run();
      s.Reset();
    }
  }
  Exec("COMMIT");
}

std::vector<ArchiveLine> SqliteStore::PublicLines(int count, int skip) {
  Stmt s(db_,
         "SELECT * FROM (SELECT line_no, time, back_color, text_color, mess FROM public_lines"
         " ORDER BY line_no DESC LIMIT ?1 OFFSET ?2) ORDER BY line_no");
  s.Bind(1, static_cast<int64_t>(count)).Bind(2, static_cast<int64_t>(skip));
  std::vector<ArchiveLine> out;
  while (s.Step()) {
    ArchiveLine l;
    l.lineNo = s.Int(0);
    l.time = s.Int(1);
    l.backColor = s.Text(2);
    l.textColor = s.Text(3);
    l.mess = s.Text(4);
    out.push_back(std::move(l));
  }
  return out;
}

int64_t SqliteStore::LastLineNo() {
  Stmt s(db_, "SELECT COALESCE(MAX(line_no), 0) FROM public_lines");
  return s.Step() ? s.Int(0) : 0;
}

void SqliteStore::TrimPublic(int keep) {
  Stmt s(db_, "DELETE FROM public_lines WHERE line_no <= (SELECT COALESCE(MAX(line_no), 0) FROM public_lines) - ?1");
  s.Bind(1, static_cast<int64_t>(keep)).Run();
}

}  // namespace chatd
