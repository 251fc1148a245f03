// Two rooms of one cluster in one process, each with its own clock, the
// bus between them a queue: what the nodes decide from each other's
// messages when their clocks disagree or a node lies.  (The real bus is
// exercised by the cluster tests.)
#include <gtest/gtest.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <map>
#include <set>

#include "line_client.h"
#include "server/room.h"
#include "server/store_sqlite.h"
#include "text/bytes.h"

namespace {

using chatd::ClientId;

struct Output : chatd::RoomOutput {
  void Send(ClientId id, const std::string& line) override { lines[id].push_back(line); }
  void Close(ClientId id) override { closed.insert(id); }
  void Hold(ClientId, int64_t) override {}
  void Later(int64_t, std::function<void()> task) override { tasks.push_back(std::move(task)); }
  bool Backlogged(ClientId) const override { return false; }
  std::map<ClientId, std::vector<std::string>> lines;
  std::set<ClientId> closed;
  std::vector<std::function<void()>> tasks;
};

// Every payload a node sends waits here until Pump hands it over.
struct Bus {
  struct Link : chatd::RoomPeers {
    Bus* bus;
    void ToAll(const std::string& payload) override { bus->queue.push_back(payload); }
    void ToNode(int, const std::string& payload) override { bus->queue.push_back(payload); }
  };
  std::deque<std::string> queue;
  std::vector<chatd::Room*> rooms;
  void Pump() {
    for (int guard = 0; !queue.empty() && guard < 1000; ++guard) {
      const std::string payload = queue.front();
      queue.pop_front();
      for (chatd::Room* room : rooms) room->FromPeer(payload);  // a node ignores its own
    }
  }
};

class RoomClusterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("chatd-rooms-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    std::string error;
    store_ = chatd::SqliteStore::Open((dir_ / "db.sqlite").string(), &error);
    ASSERT_TRUE(store_) << error;
    for (int n = 0; n < 2; ++n) {
      chatd::RoomOptions options;
      options.login.registrationsPerHour = 0;
      options.now = [this, n] { return now_[n]; };
      options.nowMs = [this, n] { return now_[n] * 1000; };
      rooms_[n] = std::make_unique<chatd::Room>(*store_, options, out_[n]);
      links_[n].bus = &bus_;
      rooms_[n]->SetPeers(&links_[n], n + 1);
      bus_.rooms.push_back(rooms_[n].get());
    }
    for (auto& room : rooms_) room->PeerHello();
    bus_.Pump();
  }
  void TearDown() override {
    for (auto& room : rooms_) room.reset();
    store_.reset();
    std::filesystem::remove_all(dir_);
  }
  void Login(int node, ClientId id, const std::string& name) {
    rooms_[node]->Connect(id, "10.0.0." + std::to_string(node + 1));
    std::string line = chatd_test::LineClient::LoginLine(name, "pw", "");
    line.pop_back();
    rooms_[node]->Receive(id, line);
    bus_.Pump();
  }
  std::vector<std::string> Names(int node) {
    std::vector<std::string> names;
    for (const auto& u : rooms_[node]->Online()) names.push_back(u.name);
    return names;
  }

  std::filesystem::path dir_;
  std::unique_ptr<chatd::SqliteStore> store_;
  int64_t now_[2] = {1700000000, 1700000000};
  Output out_[2];
  Bus bus_;
  Bus::Link links_[2];
  std::unique_ptr<chatd::Room> rooms_[2];
};

TEST_F(RoomClusterTest, TheLaterLoginWinsEvenWhenTheFirstNodesClockIsAnHourAhead) {
  now_[0] += 3600;
  Login(0, 1, "Alice");
  ASSERT_EQ(Names(1), std::vector<std::string>{"Alice"}) << "node 2 knows her from node 1";
  Login(1, 7, "Alice");
  EXPECT_TRUE(out_[0].closed.count(1)) << "the older session, at node 1, is closed";
  ASSERT_FALSE(out_[0].lines[1].empty());
  EXPECT_EQ(out_[0].lines[1].back(), "?5\n");
  EXPECT_FALSE(out_[1].closed.count(7)) << "the newer one stays";
  EXPECT_EQ(Names(0), std::vector<std::string>{"Alice"});
  EXPECT_EQ(Names(1), std::vector<std::string>{"Alice"});
}

TEST_F(RoomClusterTest, ANodeSilentForAWhileLosesItsUsersAndGetsThemBackWhenHeardAgain) {
  Login(1, 7, "Bob");
  ASSERT_EQ(Names(0), std::vector<std::string>{"Bob"});
  now_[0] += 6;  // node 2 says nothing for 6 s (its loop was stuck, say)
  rooms_[0]->PeerBeat();
  EXPECT_TRUE(Names(0).empty()) << "his node is taken for dead";
  rooms_[1]->PeerBeat();  // it lives after all
  bus_.Pump();
  EXPECT_EQ(Names(0), std::vector<std::string>{"Bob"});
}

TEST_F(RoomClusterTest, PresenceThatDoesNotAddUpIsNotBelieved) {
  Login(0, 1, "Alice");
  // A name whose key is not the one given, a name no account may have, an
  // address that would break the lists, a node out of range.
  for (const std::string& bad : std::initializer_list<std::string>{
           "on\n2\nmallory\nAlice\n2.8\nm\n1\n0\n10.0.0.9\n5\n0\n",
           "on\n2\n--x\n--x\n2.8\nm\n1\n0\n10.0.0.9\n5\n0\n",
           "on\n2\neve\nEve\n2.8\nm\n1\n0\n10.0.0.9;User=Fake\n5\n0\n",
           "on\n99\neve\nEve\n2.8\nm\n1\n0\n10.0.0.9\n5\n0\n",
       }) {
    rooms_[0]->FromPeer(bad);
  }
  EXPECT_EQ(Names(0), std::vector<std::string>{"Alice"});
  EXPECT_FALSE(out_[0].closed.count(1));
  // A well-formed one is.
  rooms_[0]->FromPeer("on\n2\neve\nEve\n2.8\nw\n0\n1\n10.0.0.9\n5\n0\n");
  now_[0] += 1;  // past the list interval
  for (int round = 0; round < 3; ++round) {
    std::vector<std::function<void()>> due;
    due.swap(out_[0].tasks);
    for (auto& task : due) task();
  }
  ASSERT_FALSE(out_[0].lines[1].empty());
  EXPECT_EQ(out_[0].lines[1].back(), "x\xA6User=Eve,Ver=2.8,Sex=w,Inf=T;User=Alice,Ver=2.8,Sex=m,Sound=1,Inf=F;\xA6\n")
      << "the whole room, ordered by login time";
}

}  // namespace
