// Moderator requests and fines, over real sockets.
#include "server_fixture.h"

namespace chatd_test {
namespace {

using wire::Field;

struct ListedFine {
  std::string name, start, address, moderator, period, type, ipTest;
};

// Reads a fine-list line the way the client does: data from the sixth
// byte, positional fields, every name after the first without its first byte.
std::vector<ListedFine> ReadFineList(const std::string& line) {
  std::vector<ListedFine> fines;
  std::string data = line.size() > 5 ? line.substr(5) : "";
  std::string name = wire::TakeField(data);
  while (!data.empty()) {
    ListedFine f;
    f.name = wire::UnescapeField(name);
    f.start = wire::TakeField(data);
    f.address = wire::TakeField(data);
    f.moderator = wire::TakeField(data);
    f.period = wire::TakeField(data);
    f.type = wire::TakeField(data);
    f.ipTest = wire::TakeField(data);
    std::string next = wire::TakeField(data);
    name = next.empty() ? next : next.substr(1);
    fines.push_back(f);
  }
  return fines;
}

std::string FineLine(const std::string& target, int period, int type, bool checkIp) {
  return "x\xA6" "Fine;Cln=" + wire::EscapeField(target) + ";Fdate=" + std::to_string(period) +
         ";Fprc=" + std::to_string(type) + ";FchkIP=" + (checkIp ? "1" : "0") + ";\xA6\n";
}

class ModeratorTest : public ChatdTest {
 protected:
  void SetUp() override {
    StartChatd({"--moderator", "Mod"});
    ASSERT_TRUE(chatd_->AddUser("Mod", "pw"));
    mod = Join("Mod");
    alice = Join("Alice");
    bob = Join("Bob");
  }
  // Sends a message and returns the status the sender gets.
  std::string Say(LineClient& from, const std::string& cln, const std::string& mid) {
    from.Send("x\xA6" + (cln.empty() ? std::string() : "Cln=" + cln + ";") + "Mess=text;Mid=" + mid + ";\xA6\n");
    auto status = NextRecordWith(from, "Status");
    return status ? Field(*status, "Status") : "<none>";
  }
  std::vector<ListedFine> Fine(const std::string& target, int period, int type, bool checkIp = false) {
    mod->Send(FineLine(target, period, type, checkIp));
    auto line = mod->ReadUntil([](const std::string& l) { return text::StartsWith(l, "T|"); });
    EXPECT_TRUE(line);
    return line ? ReadFineList(*line) : std::vector<ListedFine>{};
  }
  std::unique_ptr<LineClient> mod, alice, bob;
};

TEST_F(ModeratorTest, OnlyModeratorsGetModAndTheirRequestsAnswered) {
  LineClient other(chatd_->chatPort());
  other.Send(LineClient::LoginLine("Mod", "pw", ""));
  auto welcome = AsRecord(other.ReadLine().value_or(""));
  ASSERT_TRUE(welcome);
  EXPECT_EQ(Field(*welcome, "Mod"), "1");
  LineClient plain(chatd_->chatPort());
  plain.Send(LineClient::LoginLine("Carol", "pw", ""));
  welcome = AsRecord(plain.ReadLine().value_or(""));
  ASSERT_TRUE(welcome);
  EXPECT_TRUE(welcome->count("Nastr"));
  EXPECT_FALSE(welcome->count("Mod"));

  // Alice is no moderator: nothing answers, nothing happens to Bob.
  alice->Send("x\xA6GetIP=1;Cln=Bob;\xA6\n");
  alice->Send("x\xA6Whois=1;Cln=Bob;\xA6\n");
  alice->Send(FineLine("Bob", 5, 0, false));
  for (const auto& line : alice->Sync()) {
    EXPECT_FALSE(IsRecordWith(line, "GetIP") || IsRecordWith(line, "Whois") || text::StartsWith(line, "T|")) << line;
  }
  EXPECT_EQ(Say(*bob, "", "1"), "Ok");
}

TEST_F(ModeratorTest, AddressAndWhoisAnswers) {
  mod->Send("x\xA6GetIP=1;Cln=Bob;\xA6\n");
  auto ip = NextRecordWith(*mod, "GetIP");
  ASSERT_TRUE(ip);
  EXPECT_EQ(Field(*ip, "GetIP"), "127.0.0.1");
  EXPECT_EQ(Field(*ip, "Cln"), "Bob");
  mod->Send("x\xA6Whois=1;Cln=Bob;\xA6\n");
  auto whois = NextRecordWith(*mod, "Whois");
  ASSERT_TRUE(whois);
  EXPECT_EQ(Field(*whois, "Cln"), "Bob");
  EXPECT_TRUE(text::Contains(wire::UnescapeField(Field(*whois, "WhoIs")), "Bob"));
}

TEST_F(ModeratorTest, PrivateOnlyFineRefusesPublicMessagesAndIsListed) {
  auto fines = Fine("Bob", 2, 3);
  ASSERT_EQ(fines.size(), 1u);
  EXPECT_EQ(fines[0].name, "Bob");
  EXPECT_EQ(fines[0].period, "2");
  EXPECT_EQ(fines[0].type, "3");
  EXPECT_EQ(fines[0].ipTest, "0");
  EXPECT_EQ(fines[0].address, "127.0.0.1");
  EXPECT_EQ(fines[0].moderator, "Mod");
  EXPECT_GT(text::ParseIntOr(fines[0].start, 0), 1600000000);

  EXPECT_EQ(Say(*bob, "", "1"), "Fined");
  EXPECT_FALSE(AnyRecordWith(alice->Sync(), "Mess"));
  EXPECT_EQ(Say(*bob, "Alice", "2"), "Ok");
  EXPECT_TRUE(NextRecordWith(*alice, "Mess"));

  // A second fine is listed after the first; the name survives the list's
  // one-byte prefix.
  fines = Fine("Alice", 365, 1);
  ASSERT_EQ(fines.size(), 2u);
  EXPECT_EQ(fines[1].name, "Alice");
  EXPECT_EQ(fines[1].period, "365");
  EXPECT_EQ(Say(*alice, "Bob", "3"), "Fined");
  EXPECT_EQ(Say(*alice, "", "4"), "Fined");

  // Period 0 takes the fines away.
  fines = Fine("Alice", 0, 1);
  EXPECT_EQ(fines.size(), 1u);
  EXPECT_EQ(Say(*alice, "", "5"), "Ok");
}

TEST_F(ModeratorTest, AFineWithTheIpTestCoversEveryoneAtThatAddressButModerators) {
  auto fines = Fine("Bob", 2, 3, true);
  ASSERT_EQ(fines.size(), 1u);
  EXPECT_EQ(fines[0].ipTest, "1");
  EXPECT_EQ(Say(*alice, "", "1"), "Fined");  // Alice shares Bob's address
  EXPECT_EQ(Say(*alice, "Bob", "2"), "Ok");
  EXPECT_EQ(Say(*mod, "", "3"), "Ok");

  Fine("Bob", 4, 0, true);
  for (LineClient* gone : {alice.get(), bob.get()}) {
    EXPECT_TRUE(gone->ReadUntil([](const std::string& l) { return l == "?5"; }));
    EXPECT_TRUE(gone->WaitClosed());
  }
  EXPECT_EQ(Say(*mod, "", "4"), "Ok");
  LineClient carol(chatd_->chatPort());
  carol.Send(LineClient::LoginLine("Carol", "pw", ""));
  EXPECT_EQ(carol.ReadLine().value_or(""), "?5");

  Fine("Bob", 0, 0);
  LineClient later(chatd_->chatPort());
  EXPECT_FALSE(later.Login("Carol", "pw").empty());
}

TEST_F(ModeratorTest, NoAccessFineDropsTheUserAndRefusesLoginUntilRemoved) {
  Fine("Bob", 4, 0);
  EXPECT_TRUE(bob->ReadUntil([](const std::string& l) { return l == "?5"; }));
  EXPECT_TRUE(bob->WaitClosed());
  // Alice's list ends up with Mod and her, without Bob (whom she may or
  // may not have seen, as lists go out at most once per interval).
  auto list = alice->ReadUntil([](const std::string& l) { return IsRecordWith(l, "User") && OnlineEntries(l).size() == 2; });
  ASSERT_TRUE(list);
  for (const auto& e : OnlineEntries(*list)) EXPECT_NE(Field(e, "User"), "Bob");

  LineClient again(chatd_->chatPort());
  again.Send(LineClient::LoginLine("Bob", "pw", ""));
  EXPECT_EQ(again.ReadLine().value_or(""), "?5");

  Fine("Bob", 0, 0);
  LineClient forgiven(chatd_->chatPort());
  EXPECT_FALSE(forgiven.Login("Bob", "pw").empty());
}

TEST_F(ModeratorTest, FinesForUnknownUsersOrTypesChangeNothing) {
  EXPECT_TRUE(Fine("Nobody", 3, 0).empty());
  EXPECT_TRUE(Fine("Bob", 3, 7).empty());
  EXPECT_EQ(Say(*bob, "", "1"), "Ok");
}

}  // namespace
}  // namespace chatd_test
