// Behaviour that depends on the passing of time, run in-process against a
// room with its own clock (the socket side is covered by the other tests).
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include <unistd.h>

#include "line_client.h"
#include "server/name_rules.h"
#include "server/room.h"
#include "server/store_sqlite.h"
#include "text/bytes.h"

namespace {

using chatd::ClientId;

class CapturedOutput : public chatd::RoomOutput {
 public:
  void Send(ClientId id, const std::string& line) override { lines[id].push_back(line); }
  void Close(ClientId id) override { closed.insert(id); }
  void Hold(ClientId id, int64_t ms) override { held[id] += ms; }
  void Later(int64_t ms, std::function<void()> task) override { tasks.emplace(*clockMs + ms, std::move(task)); }
  bool Backlogged(ClientId id) const override { return backlogged.count(id) > 0; }
  // Runs the tasks that are due by now, and those they schedule.
  void RunDue() {
    while (!tasks.empty() && tasks.begin()->first <= *clockMs) {
      auto task = std::move(tasks.begin()->second);
      tasks.erase(tasks.begin());
      task();
    }
  }
  // Lines of `id` holding `part`; clears what was captured for `id`.
  int Take(ClientId id, const std::string& part) {
    int n = 0;
    for (const auto& l : lines[id]) n += text::Contains(l, part) ? 1 : 0;
    lines[id].clear();
    return n;
  }
  std::map<ClientId, std::vector<std::string>> lines;
  std::set<ClientId> closed;
  std::map<ClientId, int64_t> held;
  std::multimap<int64_t, std::function<void()>> tasks;
  std::set<ClientId> backlogged;
  const int64_t* clockMs = nullptr;
};

class RoomClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("chatd-room-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    std::string error;
    store_ = chatd::SqliteStore::Open((dir_ / "db.sqlite").string(), &error);
    ASSERT_TRUE(store_) << error;
    chatd::Account mod;
    mod.name = "Mod";
    mod.key = chatd::AccountKey("Mod");
    ASSERT_TRUE(store_->CreateAccount(mod, "pw"));
    out_.clockMs = &nowMs_;
    options_.moderators = {"Mod"};
    options_.botName = "Robot";
    options_.now = [this] { return now_; };
    options_.nowMs = [this] { return nowMs_; };
    Restart();
  }
  void Restart() {
    out_.tasks.clear();  // they belong to the room that goes
    room_.reset();
    room_ = std::make_unique<chatd::Room>(*store_, options_, out_);
  }
  // Moves both clocks on and runs what has come due.
  void Pass(int64_t ms) {
    nowMs_ += ms;
    now_ += ms / 1000;
    out_.RunDue();
  }
  void TearDown() override {
    room_.reset();
    store_.reset();
    std::filesystem::remove_all(dir_);
  }
  void Login(ClientId id, const std::string& name) {
    room_->Connect(id, "127.0.0.1");
    std::string line = chatd_test::LineClient::LoginLine(name, "pw", "");
    line.pop_back();  // the socket side cuts the line feed off
    room_->Receive(id, line);
  }
  void Say(ClientId id, int mid) {
    std::string line = "x\xA6Mess=hello;Mid=" + std::to_string(mid) + ";\xA6";
    room_->Receive(id, line);
  }

  std::filesystem::path dir_;
  std::unique_ptr<chatd::Store> store_;
  CapturedOutput out_;
  std::unique_ptr<chatd::Room> room_;
  chatd::RoomOptions options_;
  int64_t now_ = 1700000000;
  int64_t nowMs_ = 5'000'000;
};

std::string WithoutLineFeed(std::string s) {
  if (!s.empty() && s.back() == '\n') s.pop_back();
  return s;
}

TEST_F(RoomClockTest, AFineEndsWhenItsPeriodHasPassed) {
  Login(1, "Mod");
  Login(2, "Bob");
  room_->Receive(1, WithoutLineFeed("x\xA6" "Fine;Cln=Bob;Fdate=1;Fprc=3;FchkIP=0;\xA6\n"));
  out_.Take(2, "");
  Say(2, 1);
  EXPECT_EQ(out_.Take(2, "Status=Fined;Mid=1;"), 1);
  now_ += 599;
  Say(2, 2);
  EXPECT_EQ(out_.Take(2, "Status=Fined;Mid=2;"), 1);
  now_ += 2;  // ten minutes and a second after the fine
  out_.Take(1, "");
  Say(2, 3);
  EXPECT_EQ(out_.Take(2, "Status=Ok;Mid=3;"), 1);
  EXPECT_EQ(out_.Take(1, "<b>Bob:</b> hello"), 1);
}

TEST_F(RoomClockTest, TheBotChattersNowAndThenAndGreetsAReturningUserOnlyAfterAWhile) {
  Login(1, "Alice");
  EXPECT_EQ(out_.Take(1, "Alice! "), 1);  // greeted at once
  int chatter = 0;
  for (int minute = 0; minute < 5; ++minute) {
    now_ += 60;
    room_->Tick();
    chatter += out_.Take(1, "FrName=Robot;");
  }
  EXPECT_EQ(chatter, 1);

  room_->Disconnect(1);
  Login(3, "Alice");
  EXPECT_EQ(out_.Take(3, "Alice! "), 0) << "greeted again within ten minutes";
  room_->Disconnect(3);
  now_ += 301;  // now ten minutes and a second after the greeting
  Login(4, "Alice");
  EXPECT_EQ(out_.Take(4, "Alice! "), 1);
}

}  // namespace

namespace {

// Names in an online list line, in order.
std::vector<std::string> ListNames(const std::string& line) {
  std::vector<std::string> names;
  for (size_t at = line.find("User="); at != std::string::npos; at = line.find("User=", at + 5)) {
    const size_t end = line.find(',', at);
    names.push_back(line.substr(at + 5, end - at - 5));
  }
  return names;
}

class RoomLimitsTest : public RoomClockTest {
 protected:
  // The online lists `id` got since the last call, oldest first.
  std::vector<std::vector<std::string>> Lists(ClientId id) {
    std::vector<std::vector<std::string>> lists;
    for (const auto& l : out_.lines[id])
      if (text::StartsWith(l, "x\xA6User=")) lists.push_back(ListNames(l));
    out_.lines[id].clear();
    return lists;
  }
  void LoginFrom(ClientId id, const std::string& name, const std::string& address, const std::string& password = "pw") {
    room_->Connect(id, address);
    std::string line = chatd_test::LineClient::LoginLine(name, password, "");
    line.pop_back();
    room_->Receive(id, line);
  }
  void Private(ClientId from, const std::string& to, const std::string& text, int mid) {
    room_->Receive(from, "x\xA6" "Cln=" + to + ";Mess=" + text + ";Mid=" + std::to_string(mid) + ";\xA6");
  }
  void Public(ClientId from, const std::string& text, int mid) {
    room_->Receive(from, "x\xA6Mess=" + text + ";Mid=" + std::to_string(mid) + ";\xA6");
  }
  bool LoggedIn(ClientId id) { return out_.Take(id, "NewUserNum=") == 1; }
};

TEST_F(RoomLimitsTest, AWaveOfLoginsCostsEachReaderOneListPerIntervalAndTheLastListIsRight) {
  options_.botName.clear();
  options_.login.registrationsPerHour = 0;
  Restart();
  // Thirty logins within one interval.
  for (ClientId id = 1; id <= 30; ++id) Login(id, "user" + std::to_string(id));
  Pass(0);
  Pass(250);
  for (ClientId id = 1; id <= 30; ++id) {
    const auto lists = Lists(id);
    // His own at login, and at most the one round that followed.
    ASSERT_FALSE(lists.empty());
    EXPECT_LE(lists.size(), 2u) << "user" << id;
    EXPECT_EQ(lists.back().size(), 30u) << "user" << id;
  }
  // Waves of departures and arrivals, each within an interval.
  std::set<std::string> online;
  for (int i = 1; i <= 30; ++i) online.insert("user" + std::to_string(i));
  ClientId next = 31;
  for (int wave = 0; wave < 4; ++wave) {
    for (ClientId id = 1 + static_cast<ClientId>(wave) * 5; id <= 4 + static_cast<ClientId>(wave) * 5; ++id) {
      room_->Disconnect(id);
      online.erase("user" + std::to_string(id));
    }
    for (int k = 0; k < 3; ++k, ++next) {
      Login(next, "late" + std::to_string(next));
      online.insert("late" + std::to_string(next));
    }
    Pass(10);  // within the interval: nothing more for those who had a list
    Pass(250);
  }
  for (ClientId id = 1; id < next; ++id) {
    if (out_.closed.count(id) || !room_->IsLoggedIn(id)) continue;
    const auto lists = Lists(id);
    ASSERT_FALSE(lists.empty()) << id;
    EXPECT_LE(lists.size(), 5u) << "one per wave at most, and the login's";
    EXPECT_EQ(std::set<std::string>(lists.back().begin(), lists.back().end()), online) << id;
  }
}

TEST_F(RoomLimitsTest, ABackloggedReaderGetsTheListOnceHeHasDrained) {
  Login(1, "Alice");
  Login(2, "Bob");
  Pass(300);
  Lists(1);
  out_.backlogged.insert(1);
  Login(3, "Carol");
  Pass(300);
  EXPECT_TRUE(Lists(1).empty());
  out_.backlogged.clear();
  Pass(100);
  const auto lists = Lists(1);
  ASSERT_EQ(lists.size(), 1u);
  EXPECT_EQ(lists.back().size(), 4u);  // with the bot
}

TEST_F(RoomLimitsTest, APublicFloodHoldsTheSenderOnlyPastHisBurst) {
  Login(1, "Alice");
  Login(2, "Bob");
  const std::string text(60000, 'a');
  for (int i = 0; i < 4; ++i) Public(1, text, i + 1);
  EXPECT_EQ(out_.held[1], 0) << "240 KB is within the burst";
  Public(1, text, 5);
  Public(1, text, 6);
  EXPECT_GT(out_.held[1], 1000) << "past 256 KiB the sender waits";
  EXPECT_EQ(out_.held.count(2), 0u) << "the readers are never held";
  EXPECT_EQ(out_.Take(2, "Public=1;FrName=Alice;"), 6) << "and get every line";
}

TEST_F(RoomLimitsTest, KeptMessagesAreBoundedPerSenderAndDeliveredInPagesAtLogin) {
  options_.maxKeptPerSender = 5;
  options_.login.registrationsPerHour = 0;
  Restart();
  for (int i = 0; i < 3; ++i) {
    Login(10 + static_cast<ClientId>(i), "away" + std::to_string(i));
    room_->Disconnect(10 + static_cast<ClientId>(i));
  }
  Login(1, "Spammer");
  Login(2, "Friend");
  out_.Take(1, "");
  for (int i = 0; i < 5; ++i) Private(1, "away" + std::to_string(i % 3), "hi", i + 1);
  EXPECT_EQ(out_.Take(1, "Status=OkNr"), 5);
  Private(1, "away0", "more", 7);
  EXPECT_EQ(out_.Take(1, "Status=NoUser;Mid=7;"), 1) << "the sender's share is used up";
  Private(2, "away0", "from a friend", 8);
  EXPECT_EQ(out_.Take(2, "Status=OkNr;Mid=8;"), 1) << "others may still leave a message";

  // A megabyte for one user arrives in pages, oldest first.
  options_.maxKeptPerSender = 100;
  options_.maxKeptBytesPerSender = 8 << 20;
  Restart();
  Login(1, "Spammer");
  const std::string text(60000, 'k');
  for (int i = 0; i < 20; ++i) Private(1, "away1", text + std::to_string(i), 100 + i);
  Login(20, "away1");
  int pages = 1;
  std::vector<std::string> got;
  auto collect = [&] {
    for (const auto& l : out_.lines[20])
      if (text::Contains(l, "FrName=Spammer")) got.push_back(l);
    out_.lines[20].clear();
  };
  collect();
  EXPECT_LT(got.size(), 20u) << "not all at once";
  while (got.size() < 22 && pages < 100) {
    Pass(options_.keptPageMs);
    collect();
    ++pages;
  }
  ASSERT_EQ(got.size(), 22u);  // two from before (the first five went round three users), twenty now
  for (int i = 0; i < 20; ++i) EXPECT_TRUE(text::Contains(got[2 + static_cast<size_t>(i)], text + std::to_string(i)));
  EXPECT_GE(pages, 8);
}

TEST_F(RoomLimitsTest, AnAddressGoesOnlyToAModeratorOrToWhoeverHadAPrivateWordLately) {
  Login(1, "Mod");
  LoginFrom(2, "Alice", "10.0.0.2");
  LoginFrom(3, "Eve", "10.0.0.3");
  out_.Take(1, "");
  out_.Take(3, "");
  room_->Receive(3, "p\xA6" "Alice\xA6");
  EXPECT_EQ(out_.Take(3, "p|Alice||"), 1) << "a stranger learns nothing";
  room_->Receive(1, "p\xA6" "Alice\xA6");
  EXPECT_EQ(out_.Take(1, "p|Alice|10.0.0.2|"), 1);
  Private(2, "Eve", "hello", 1);
  room_->Receive(3, "p\xA6" "Alice\xA6");
  EXPECT_EQ(out_.Take(3, "p|Alice|10.0.0.2|"), 1) << "she wrote to him";
  Pass(10 * 60 * 1000 + 1000);
  room_->Receive(3, "p\xA6" "Alice\xA6");
  EXPECT_EQ(out_.Take(3, "p|Alice||"), 1) << "ten minutes later it is forgotten";
}

TEST_F(RoomLimitsTest, AModeratorNameIsReservedUntilItsAccountIsMade) {
  options_.moderators = {"Boss"};
  Restart();
  Login(1, "Boss");
  EXPECT_EQ(out_.Take(1, "?5"), 1);
  EXPECT_TRUE(out_.closed.count(1));
  EXPECT_FALSE(store_->FindAccount(chatd::AccountKey("Boss")));
  chatd::Account boss;
  boss.name = "Boss";
  boss.key = chatd::AccountKey("Boss");
  ASSERT_TRUE(store_->CreateAccount(boss, "pw"));
  Login(2, "Boss");
  EXPECT_EQ(out_.Take(2, "Mod=1;"), 1);
}

TEST_F(RoomLimitsTest, RegistrationsPerAddressAreLimitedAndFailedLoginsWait) {
  for (ClientId id = 1; id <= 10; ++id) {
    LoginFrom(id, "new" + std::to_string(id), "10.0.0.9");
    EXPECT_TRUE(LoggedIn(id)) << id;
  }
  LoginFrom(11, "new11", "10.0.0.9");
  EXPECT_EQ(out_.Take(11, "?5"), 1);
  LoginFrom(12, "new12", "10.0.0.10");
  EXPECT_TRUE(LoggedIn(12));

  // A wrong password: the next attempt from there is held, not answered.
  LoginFrom(20, "new1", "10.0.0.11", "wrong");
  EXPECT_EQ(out_.Take(20, "?5"), 1);
  LoginFrom(21, "new1", "10.0.0.11", "pw");
  EXPECT_GT(out_.held[21], 0);
  EXPECT_TRUE(out_.lines[21].empty());
  room_->Receive(21, "p\xA6sync\xA6");  // a line after the login waits with it
  Pass(out_.held[21]);
  ASSERT_FALSE(out_.lines[21].empty());
  EXPECT_TRUE(text::Contains(out_.lines[21].front(), "NewUserNum="));
  EXPECT_TRUE(text::StartsWith(out_.lines[21].back(), "p|sync|"));
}

}  // namespace
