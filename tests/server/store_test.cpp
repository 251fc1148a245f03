// The store through its interface, run against every engine that
// implements it (a second engine adds itself to kEngines).
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <set>
#include <thread>

#include "private_postgres.h"
#include "server/name_rules.h"
#include "server/store_pg.h"
#include "server/store_sqlite.h"

namespace {

namespace fs = std::filesystem;
using chatd::Account;
using chatd::ArchiveLine;
using chatd::Fine;
using chatd::Store;

struct Engine {
  const char* name;
  // Empty when the engine can run here, else why not.
  std::function<std::string()> unavailable;
  std::function<std::unique_ptr<Store>(const fs::path& dir, std::string* error)> open;
};

const Engine kEngines[] = {
    {"SQLite", [] { return std::string(); },
     [](const fs::path& dir, std::string* error) -> std::unique_ptr<Store> {
       return chatd::SqliteStore::Open((dir / "chatd.sqlite").string(), error);
     }},
    // Each test starts from an empty database in the program's own cluster.
    {"PostgreSQL", [] { return chatd_test::SharedPostgres().why; },
     [](const fs::path&, std::string* error) -> std::unique_ptr<Store> {
       const std::string& uri = chatd_test::SharedPostgres().uri;
       if (!chatd_test::ResetPostgres(uri, error)) return nullptr;
       return chatd::PgStore::Open(uri, error);
     }},
};

void PrintTo(const Engine& engine, std::ostream* os) { *os << engine.name; }

class StoreTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    if (const std::string why = GetParam().unavailable(); !why.empty()) GTEST_SKIP() << why;
    dir_ = fs::temp_directory_path() / ("chatd-store-" + std::to_string(getpid()));
    fs::create_directories(dir_);
    std::string error;
    store_ = GetParam().open(dir_, &error);
    ASSERT_TRUE(store_) << error;
  }
  void TearDown() override {
    store_.reset();
    fs::remove_all(dir_);
  }
  Account Make(const std::string& name, const std::string& password = "pw") {
    Account a;
    a.name = name;
    a.key = chatd::AccountKey(name);
    a.created = 1700000000;
    auto made = store_->CreateAccount(a, password);
    EXPECT_TRUE(made) << name;
    return made.value_or(Account{});
  }

  fs::path dir_;
  std::unique_ptr<Store> store_;
};

TEST_P(StoreTest, AccountsAreNumberedFoundByKeyAndCheckedByPassword) {
  const Account alice = Make("Alice", "secret");
  const Account bob = Make("Bob");
  EXPECT_GE(alice.id, 1001);
  EXPECT_GT(bob.id, alice.id);
  EXPECT_FALSE(store_->CreateAccount(alice, "again")) << "one account per key";
  auto found = store_->FindAccount(chatd::AccountKey("ALICE"));
  ASSERT_TRUE(found);
  EXPECT_EQ(found->name, "Alice");
  EXPECT_TRUE(store_->CheckPassword(*found, "secret"));
  EXPECT_FALSE(store_->CheckPassword(*found, "Secret"));
  store_->SetPassword(found->id, "new\xE9");
  EXPECT_TRUE(store_->CheckPassword(*found, "new\xE9"));
  store_->UpdateLook(bob.id, 'w', "#112233", "#445566");
  store_->UpdateInfo(bob.id, std::string("info\0with a zero", 16));
  store_->UpdatePhotos(bob.id, "1,2");
  store_->UpdateAddress(bob.id, "10.0.0.1");
  auto b = store_->FindAccount(bob.key);
  ASSERT_TRUE(b);
  EXPECT_EQ(b->sex, 'w');
  EXPECT_EQ(b->backColor, "#112233");
  EXPECT_EQ(b->info, std::string("info\0with a zero", 16));
  EXPECT_EQ(b->photos, "1,2");
  EXPECT_EQ(b->lastAddress, "10.0.0.1");
  EXPECT_EQ(store_->Accounts(10).size(), 2u);
  EXPECT_EQ(store_->Accounts(1).front().name, "Alice");
  EXPECT_FALSE(store_->FindAccount("nobody"));
}

TEST_P(StoreTest, FinesByUserByAddressAndTheMostRecent) {
  for (int i = 0; i < 5; ++i) {
    Fine f;
    f.name = i % 2 ? "Bob" : "Eve";
    f.key = chatd::AccountKey(f.name);
    f.start = 1000 + i;
    f.periodCode = 2;
    f.seconds = 600;
    f.type = i % 4;
    f.checkIp = i == 4;
    f.address = "10.0.0." + std::to_string(i);
    store_->AddFine(f);
  }
  EXPECT_EQ(store_->FinesOf(chatd::AccountKey("Eve")).size(), 3u);
  ASSERT_EQ(store_->IpFinesAt("10.0.0.4").size(), 1u);
  EXPECT_TRUE(store_->IpFinesAt("10.0.0.2").empty()) << "without the IP test the address does not count";
  const auto recent = store_->RecentFines(2);
  ASSERT_EQ(recent.size(), 2u);
  EXPECT_EQ(recent[0].start, 1003);
  EXPECT_EQ(recent[1].start, 1004);
  store_->RemoveFines(chatd::AccountKey("Eve"));
  EXPECT_TRUE(store_->FinesOf(chatd::AccountKey("Eve")).empty());
  EXPECT_EQ(store_->FinesOf(chatd::AccountKey("Bob")).size(), 2u);
}

TEST_P(StoreTest, KeptMessagesAreCountedPerAddresseeAndSenderAndTakenInPages) {
  const std::string line(1000, 'k');
  for (int i = 0; i < 10; ++i) store_->KeepOffline("bob", i < 7 ? "eve" : "ann", line + std::to_string(i), 5);
  EXPECT_EQ(store_->KeptFor("bob").count, 10);
  EXPECT_EQ(store_->KeptFor("bob").bytes, 10 * 1001);
  EXPECT_EQ(store_->KeptFrom("eve").count, 7);
  EXPECT_EQ(store_->KeptFrom("nobody").bytes, 0);
  bool more = false;
  auto page = store_->TakeOffline("bob", 3500, &more);
  ASSERT_EQ(page.size(), 3u);
  EXPECT_TRUE(more);
  EXPECT_EQ(page[0], line + "0");
  auto tiny = store_->TakeOffline("bob", 1, &more);
  ASSERT_EQ(tiny.size(), 1u) << "at least one, however small the page";
  EXPECT_EQ(tiny[0], line + "3");
  auto rest = store_->TakeOffline("bob", SIZE_MAX, &more);
  EXPECT_EQ(rest.size(), 6u);
  EXPECT_FALSE(more);
  EXPECT_EQ(store_->KeptFor("bob").count, 0);
  EXPECT_EQ(store_->KeptFrom("eve").count, 0) << "delivered messages no longer count against the sender";
  EXPECT_TRUE(store_->TakeOffline("bob").empty());
}

TEST_P(StoreTest, PublicLinesAreAppendedPagedAndTrimmed) {
  std::vector<ArchiveLine> lines;
  for (int i = 1; i <= 20; ++i) lines.push_back({i, 1000 + i, "#ffffff", "#000000", "line " + std::to_string(i)});
  store_->AppendPublic(lines);
  EXPECT_EQ(store_->LastLineNo(), 20);
  auto page = store_->PublicLines(5, 3);
  ASSERT_EQ(page.size(), 5u);
  EXPECT_EQ(page.front().lineNo, 13);
  EXPECT_EQ(page.back().lineNo, 17);
  store_->TrimPublic(4);
  auto all = store_->PublicLines(100, 0);
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all.front().mess, "line 17");
}

INSTANTIATE_TEST_SUITE_P(Engines, StoreTest, ::testing::ValuesIn(kEngines),
                         [](const ::testing::TestParamInfo<Engine>& info) { return std::string(info.param.name); });

// Several nodes share one database: what one writes the other reads, and
// two nodes taking one addressee's kept messages at once never both get one.
TEST(PgStoreTest, NodesShareOneDatabaseAndNeverTakeAKeptMessageTwice) {
  const auto& pg = chatd_test::SharedPostgres();
  if (pg.uri.empty()) GTEST_SKIP() << pg.why;
  std::string error;
  ASSERT_TRUE(chatd_test::ResetPostgres(pg.uri, &error)) << error;
  auto one = chatd::PgStore::Open(pg.uri, &error);
  ASSERT_TRUE(one) << error;
  auto two = chatd::PgStore::Open(pg.uri, &error);
  ASSERT_TRUE(two) << error;
  Account a;
  a.name = "Alice";
  a.key = chatd::AccountKey(a.name);
  ASSERT_TRUE(one->CreateAccount(a, "pw"));
  EXPECT_FALSE(two->CreateAccount(a, "pw")) << "one account per name across nodes";
  ASSERT_TRUE(two->FindAccount(a.key));

  constexpr int kKept = 300;
  for (int i = 0; i < kKept; ++i) one->KeepOffline("bob", "eve", "m" + std::to_string(i), 1);
  std::vector<std::string> tookOne, tookTwo;
  auto drain = [](Store* store, std::vector<std::string>* took) {
    for (;;) {
      bool more = false;
      auto page = store->TakeOffline("bob", 1, &more);
      if (page.empty()) return;
      took->insert(took->end(), page.begin(), page.end());
    }
  };
  std::thread first(drain, one.get(), &tookOne), second(drain, two.get(), &tookTwo);
  first.join();
  second.join();
  std::set<std::string> all(tookOne.begin(), tookOne.end());
  all.insert(tookTwo.begin(), tookTwo.end());
  EXPECT_EQ(tookOne.size() + tookTwo.size(), static_cast<size_t>(kKept));
  EXPECT_EQ(all.size(), static_cast<size_t>(kKept));
}

// The database restarts under a running node: statements fail meanwhile
// (nothing crashes, nothing hangs), and the store finds it again.
TEST(PgStoreTest, ADatabaseThatGoesAwayIsFoundAgain) {
  const auto& pg = chatd_test::SharedPostgres();
  if (pg.uri.empty()) GTEST_SKIP() << pg.why;
  std::string error;
  ASSERT_TRUE(chatd_test::ResetPostgres(pg.uri, &error)) << error;
  auto store = chatd::PgStore::Open(pg.uri, &error);
  ASSERT_TRUE(store) << error;
  Account a;
  a.name = "Alice";
  a.key = chatd::AccountKey(a.name);
  ASSERT_TRUE(store->CreateAccount(a, "pw"));
  const std::string script = CHAT_SOURCE_DIR "/scripts/pg_private.sh ";
  ASSERT_EQ(std::system((script + "stop " + pg.dir + " >/dev/null 2>&1").c_str()), 0);
  EXPECT_FALSE(store->FindAccount(a.key));
  EXPECT_TRUE(store->TakeOffline(a.key).empty());
  store->KeepOffline(a.key, "eve", "lost", 1);
  ASSERT_EQ(std::system((script + "start " + pg.dir + " >/dev/null 2>&1").c_str()), 0);
  std::optional<Account> back;
  for (int i = 0; i < 100 && !back; ++i) {
    back = store->FindAccount(a.key);
    if (!back) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_TRUE(back);
  EXPECT_TRUE(store->CheckPassword(*back, "pw"));
}

TEST(SqliteStoreTest, AFileFromBeforeKeptMessagesNamedTheirSenderStillOpensAndKeepsItsMessages) {
  const fs::path dir = fs::temp_directory_path() / ("chatd-old-store-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string path = (dir / "chatd.sqlite").string();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "CREATE TABLE offline (id INTEGER PRIMARY KEY AUTOINCREMENT, recipient BLOB, line BLOB,"
                         " created INTEGER); INSERT INTO offline (recipient, line, created) VALUES (X'626f62', X'6f6c64', 1)",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  std::string error;
  auto store = chatd::SqliteStore::Open(path, &error);
  ASSERT_TRUE(store) << error;
  EXPECT_EQ(store->KeptFor("bob").count, 1);
  store->KeepOffline("bob", "eve", "new", 2);
  EXPECT_EQ(store->KeptFrom("eve").count, 1);
  EXPECT_EQ(store->TakeOffline("bob"), (std::vector<std::string>{"old", "new"}));
  store.reset();
  fs::remove_all(dir);
}

}  // namespace
