// One room on three chatd nodes (scripts/cluster.sh: a private PostgreSQL,
// nats-server and the nodes on free ports), with real clients spread over
// them.
#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "server_fixture.h"

namespace chatd_test {
namespace {

using wire::Field;

std::string RunScript(const std::string& command, int* status) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buf[512];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  const int rc = pclose(p);
  *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

class ClusterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/chatd-cluster.XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    dir_ = pattern;
    int status = -1;
    const std::string out = RunScript("CHATD=" CHAT_BINARY_DIR "/bin/chatd " + script_ + " start " + dir_ +
                                          " --moderator Boss --registrations-per-hour 0 --list-interval 50 2>&1",
                                      &status);
    if (status == 3) GTEST_SKIP() << "the cluster cannot run here: " << out;
    ASSERT_EQ(status, 0) << out;
    std::ifstream env(dir_ + "/cluster.env");
    for (std::string line; std::getline(env, line);) {
      const size_t eq = line.find('=');
      if (eq != std::string::npos) env_[line.substr(0, eq)] = line.substr(eq + 1);
    }
    for (int n = 1; n <= 3; ++n) ASSERT_GT(Port(n), 0) << out;
  }
  void TearDown() override {
    if (dir_.empty()) return;
    int status = 0;
    RunScript(script_ + " stop " + dir_ + " >/dev/null 2>&1", &status);
    if (getenv("KEEP_CLUSTER")) return;
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  int Port(int node) { return std::atoi(env_["NODE" + std::to_string(node) + "_PORT"].c_str()); }
  pid_t Pid(int node) { return std::atoi(env_["NODE" + std::to_string(node) + "_PID"].c_str()); }

  std::unique_ptr<LineClient> Join(int node, const std::string& name) {
    auto c = std::make_unique<LineClient>(Port(node));
    EXPECT_NE(c->Login(name, "pw"), "") << name << " at node " << node;
    return c;
  }

  // Reads online lists until one names exactly `names`; that list's line.
  static std::string WaitForList(LineClient& c, const std::set<std::string>& names) {
    std::string last;
    auto line = c.ReadUntil([&](const std::string& l) {
      if (!IsRecordWith(l, "User")) return false;
      last = l;
      std::set<std::string> listed;
      for (const auto& e : OnlineEntries(l)) listed.insert(Field(e, "User"));
      return listed == names;
    });
    EXPECT_TRUE(line) << "last list: " << last;
    return line.value_or("");
  }

  std::string Say(LineClient& from, const std::string& cln, const std::string& text, const std::string& mid) {
    from.Send("x\xA6" + (cln.empty() ? std::string() : "Cln=" + cln + ";") + "Mess=" + text + ";Mid=" + mid +
              ";\xA6\n");
    skipped_.clear();
    auto status = from.ReadUntil([](const std::string& l) { return IsRecordWith(l, "Status"); }, &skipped_);
    return status ? Field(*AsRecord(*status), "Status") : "<none>";
  }

  bool AddUser(const std::string& name) {
    int status = -1;
    RunScript("printf 'pw\\n' | " CHAT_BINARY_DIR "/bin/chatd --quiet --data " + dir_ + "/admin --store \"" +
                  Unquoted(env_["STORE"]) + "\" --add-user " + name + " >/dev/null 2>&1",
              &status);
    return status == 0;
  }
  static std::string Unquoted(const std::string& s) {
    return s.size() >= 2 && s.front() == '\'' && s.back() == '\'' ? s.substr(1, s.size() - 2) : s;
  }

  const std::string script_ = CHAT_SOURCE_DIR "/scripts/cluster.sh";
  std::string dir_;
  std::map<std::string, std::string> env_;
  std::vector<std::string> skipped_;  // what came before the last status
};

TEST_F(ClusterTest, PublicLinesAndTheOnlineListAreTheWholeRoomsOnEveryNode) {
  auto alice = Join(1, "Alice");
  auto bob = Join(2, "Bob");
  auto carol = Join(3, "Carol");
  const std::set<std::string> everyone = {"Robot", "Alice", "Bob", "Carol"};
  const std::string list = WaitForList(*alice, everyone);
  EXPECT_EQ(WaitForList(*bob, everyone), list) << "the same list, in the same order";
  EXPECT_EQ(WaitForList(*carol, everyone), list);

  EXPECT_EQ(Say(*bob, "", "hello all", "7"), "Ok");
  std::string lineTag;
  for (const std::string& l : skipped_) {
    if (l.find("hello all") != std::string::npos) lineTag = Field(*AsRecord(l), "Line");
  }
  ASSERT_FALSE(lineTag.empty()) << "the sender sees his own line before his Ok";
  // (The robot's greetings may come first.)
  for (LineClient* c : {alice.get(), carol.get()}) {
    auto line = c->ReadUntil([](const std::string& l) { return l.find("hello all") != std::string::npos; });
    ASSERT_TRUE(line);
    auto m = AsRecord(*line);
    ASSERT_TRUE(m);
    EXPECT_EQ(Field(*m, "FrName"), "Bob");
    EXPECT_NE(Field(*m, "Mess").find("hello all"), std::string::npos);
    EXPECT_EQ(Field(*m, "Line"), lineTag) << "one line, one number everywhere";
  }
  // Lines from two nodes never share a number.
  EXPECT_EQ(Say(*carol, "", "me too", "8"), "Ok");
  auto next = alice->ReadUntil([](const std::string& l) { return l.find("me too") != std::string::npos; });
  ASSERT_TRUE(next);
  EXPECT_NE(Field(*AsRecord(*next), "Line"), lineTag);

  // The robot at node 1 greets whoever comes in at another node, and a
  // user who leaves node 3 leaves every list.
  auto dan = Join(2, "Dan");
  EXPECT_TRUE(dan->ReadUntil([](const std::string& l) { return l.find("Dan!") != std::string::npos; }));
  carol.reset();
  WaitForList(*dan, {"Robot", "Alice", "Bob", "Dan"});
}

TEST_F(ClusterTest, PrivateMessagesTheirOkAndConfirmationCrossNodesAndOfflineOnesWaitForAnyNode) {
  ASSERT_TRUE(Join(3, "Dave")->connected());  // registered, then gone
  auto alice = Join(1, "Alice");
  auto bob = Join(2, "Bob");
  WaitForList(*alice, {"Robot", "Alice", "Bob"});

  EXPECT_EQ(Say(*alice, "Bob", "psst", "5"), "Ok");
  // (The robot's public greetings may come first.)
  auto line = bob->ReadUntil([](const std::string& l) {
    auto r = AsRecord(l);
    return r && Field(*r, "Public") == "0";
  });
  ASSERT_TRUE(line);
  auto got = AsRecord(*line);
  EXPECT_EQ(Field(*got, "FrName"), "Alice");
  bob->Send("x\xA6" "Cln=Alice;Podtv=1;Mid=5;Time=0;\xA6\n");
  auto podtv = NextRecordWith(*alice, "Podtv");
  ASSERT_TRUE(podtv);
  EXPECT_EQ(Field(*podtv, "Mid"), "5");
  EXPECT_EQ(Field(*podtv, "Cln"), "Bob");

  // Audio and picture packets go the same way.
  alice->Send("f\xA6" "Bob\xA6" "payload%7Cbytes\xA6\n");
  auto packet = bob->ReadUntil([](const std::string& l) { return text::StartsWith(l, "f|"); });
  ASSERT_TRUE(packet);
  EXPECT_EQ(*packet, "f|Alice|payload%7Cbytes");

  // Dave is offline: kept in the shared store, handed to him at node 3.
  EXPECT_EQ(Say(*alice, "Dave", "while you were out", "6"), "OkNr");
  auto dave = Join(3, "Dave");
  EXPECT_TRUE(dave->ReadUntil([](const std::string& l) { return l.find("while you were out") != std::string::npos; }));

  // The robot lives on node 1 only, and answers from there.
  EXPECT_EQ(Say(*bob, "Robot", "hello robot", "9"), "Ok");
  auto answer = bob->ReadUntil([](const std::string& l) {
    auto r = AsRecord(l);
    return r && Field(*r, "FrName") == "Robot" && Field(*r, "Public") == "0";
  });
  EXPECT_TRUE(answer);
}

TEST_F(ClusterTest, ASecondLoginAtAnotherNodeClosesTheFirst) {
  auto alice = Join(1, "Alice");
  auto first = Join(2, "Bob");
  WaitForList(*alice, {"Robot", "Alice", "Bob"});
  auto second = Join(3, "Bob");
  auto refusal = first->ReadUntil([](const std::string& l) { return l == "?5"; });
  EXPECT_TRUE(refusal) << "the older session is told to stop";
  EXPECT_TRUE(first->WaitClosed());
  // Whatever lists came meanwhile, Bob stays online once, at node 3.
  EXPECT_EQ(Say(*alice, "Bob", "which one", "3"), "Ok");
  EXPECT_TRUE(second->ReadUntil([](const std::string& l) { return l.find("which one") != std::string::npos; }));
}

TEST_F(ClusterTest, AFineGivenAtOneNodeHoldsAtAnother) {
  ASSERT_TRUE(AddUser("Boss"));
  auto boss = Join(1, "Boss");
  auto eve = Join(3, "Eve");
  WaitForList(*boss, {"Robot", "Boss", "Eve"});
  EXPECT_EQ(Say(*eve, "", "before", "1"), "Ok");
  boss->Send("x\xA6" "Fine;Cln=Eve;Fdate=2;Fprc=2;FchkIP=0;\xA6\n");
  ASSERT_TRUE(boss->ReadUntil([](const std::string& l) { return text::StartsWith(l, "T|"); }));
  // The fine reaches node 3 through the bus; until then Eve may still talk.
  std::string status;
  for (int i = 0; i < 50 && status != "Fined"; ++i) status = Say(*eve, "", "after", std::to_string(10 + i));
  EXPECT_EQ(status, "Fined");
}

TEST_F(ClusterTest, TheRoomComesTogetherAgainAfterTheBusWasKilledAndRestarted) {
  auto alice = Join(1, "Alice");
  auto bob = Join(2, "Bob");
  WaitForList(*alice, {"Robot", "Alice", "Bob"});
  int status = -1;
  const std::string out = RunScript(script_ + " restart-nats " + dir_ + " 2>&1", &status);
  ASSERT_EQ(status, 0) << out;
  // A line said before both nodes are back on the bus may miss the other
  // one (the bus keeps nothing for a node that is not there); soon they flow.
  auto carol = Join(3, "Carol");
  bool through = false;
  for (int i = 0; i < 40 && !through; ++i) {
    EXPECT_EQ(Say(*alice, "", "after the outage", std::to_string(100 + i)), "Ok");
    through = static_cast<bool>(bob->ReadUntil(
        [](const std::string& l) { return l.find("after the outage") != std::string::npos; }, nullptr, 500));
  }
  EXPECT_TRUE(through);
  // Every node knows everyone again, once.
  const std::string list = WaitForList(*carol, {"Robot", "Alice", "Bob", "Carol"});
  EXPECT_EQ(OnlineEntries(list).size(), 4u) << list;
  EXPECT_EQ(Say(*carol, "Bob", "still here", "2"), "Ok");
  EXPECT_TRUE(bob->ReadUntil([](const std::string& l) { return l.find("still here") != std::string::npos; }));
}

TEST_F(ClusterTest, ANodeKilledLosesNoAcknowledgedMessageAndItsUsersGoOnElsewhere) {
  auto bob = Join(2, "Bob");
  auto alice = Join(3, "Alice");
  WaitForList(*alice, {"Robot", "Alice", "Bob"});
  std::set<std::string> acknowledged;
  int mid = 1;
  for (; mid <= 30; ++mid) {
    if (Say(*alice, "Bob", "n" + std::to_string(mid), std::to_string(mid)) == "Ok")
      acknowledged.insert("n" + std::to_string(mid));
  }
  // Node 3 dies while Alice's next messages are on their way.
  for (int i = 0; i < 20; ++i, ++mid)
    alice->Send("x\xA6" "Cln=Bob;Mess=n" + std::to_string(mid) + ";Mid=" + std::to_string(mid) + ";\xA6\n");
  ASSERT_EQ(kill(Pid(3), SIGKILL), 0);
  std::vector<std::string> seen;
  while (auto line = alice->ReadLine(2000)) {
    auto r = AsRecord(*line);
    if (r && Field(*r, "Status") == "Ok") acknowledged.insert(wire::UnescapeField(Field(*r, "Mess")));
  }
  // She comes back at node 1 and goes on.
  alice = Join(1, "Alice");
  for (int i = 0; i < 10; ++i, ++mid) {
    if (Say(*alice, "Bob", "n" + std::to_string(mid), std::to_string(mid)) == "Ok")
      acknowledged.insert("n" + std::to_string(mid));
  }
  EXPECT_GE(acknowledged.size(), 40u);
  // Bob may also get messages whose "Ok" died with node 3; those count too,
  // but every acknowledged one must come, once.
  std::multiset<std::string> arrived;
  auto missing = [&] {
    for (const std::string& m : acknowledged)
      if (!arrived.count(m)) return true;
    return false;
  };
  while (missing()) {
    auto line = bob->ReadUntil([](const std::string& l) { return IsRecordWith(l, "Mess"); }, nullptr, 3000);
    if (!line) break;
    const std::string mess = wire::UnescapeField(Field(*AsRecord(*line), "Mess"));
    arrived.insert(mess.substr(mess.rfind(' ') + 1));
  }
  // Whatever else is on its way arrives now, so a second copy would show.
  while (auto line = bob->ReadLine(500)) {
    if (IsRecordWith(*line, "Mess")) {
      const std::string mess = wire::UnescapeField(Field(*AsRecord(*line), "Mess"));
      arrived.insert(mess.substr(mess.rfind(' ') + 1));
    }
  }
  for (const std::string& m : acknowledged) EXPECT_EQ(arrived.count(m), 1u) << m;
  // Node 3's copy of her is gone from the lists: she is there once.
  auto watcher = Join(2, "Watcher");
  const std::string list = WaitForList(*watcher, {"Robot", "Alice", "Bob", "Watcher"});
  EXPECT_EQ(OnlineEntries(list).size(), 4u) << list;
}

}  // namespace
}  // namespace chatd_test
