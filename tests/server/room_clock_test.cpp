// Behaviour that depends on the passing of time, run in-process against a
// room with its own clock (the socket side is covered by the other tests).
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include <unistd.h>

#include "line_client.h"
#include "server/room.h"
#include "server/store.h"
#include "text/bytes.h"

namespace {

using chatd::ClientId;

class CapturedOutput : public chatd::RoomOutput {
 public:
  void Send(ClientId id, const std::string& line) override { lines[id].push_back(line); }
  void Close(ClientId id) override { closed.insert(id); }
  // Lines of `id` holding `part`; clears what was captured for `id`.
  int Take(ClientId id, const std::string& part) {
    int n = 0;
    for (const auto& l : lines[id]) n += text::Contains(l, part) ? 1 : 0;
    lines[id].clear();
    return n;
  }
  std::map<ClientId, std::vector<std::string>> lines;
  std::set<ClientId> closed;
};

class RoomClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("chatd-room-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    std::string error;
    store_ = chatd::Store::Open((dir_ / "db.sqlite").string(), &error);
    ASSERT_TRUE(store_) << error;
    chatd::RoomOptions options;
    options.moderators = {"Mod"};
    options.botName = "Robot";
    options.now = [this] { return now_; };
    room_ = std::make_unique<chatd::Room>(*store_, options, out_);
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
  int64_t now_ = 1700000000;
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
