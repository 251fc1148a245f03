// Hostile input and clients that stop reading, while others keep chatting.
#include <cstdlib>
#include <random>

#include "server_fixture.h"

namespace chatd_test {
namespace {

using wire::Field;

// Senders here outrun their readers on purpose; their public budget is lifted.
class RobustnessTest : public ChatdTest {
 protected:
  void SetUp() override { StartChatd({"--quiet", "--public-rate", "0"}); }
};

std::string RandomBytes(std::mt19937& rng, size_t length) {
  std::string s(length, '\0');
  for (auto& c : s) c = static_cast<char>(rng() & 0xff);
  return s;
}

// A line meant to reach the handlers: a known prefix with junk after it.
std::string HostileLine(std::mt19937& rng) {
  static const char* prefixes[] = {"x\xA6", "l\xA6", "p\xA6", "m\xA6", "f\xA6", "x\xA6Mess=", "x\xA6" "Cln=",
                                   "x\xA6" "Fine;Cln=", "x\xA6Nastr=1;You=", "x\xA6GetInfo=1;Cln=", "T|", "?5",
                                   "x\xA6Podtv=1;Mid=", "x\xA6" "Cln=,,,;Mess=a;Mid=1;"};
  std::string line = prefixes[rng() % (sizeof prefixes / sizeof prefixes[0])];
  const size_t length = rng() % 8 == 0 ? rng() % 200000 : rng() % 300;
  std::string junk = RandomBytes(rng, length);
  // Mostly keep separators and escapes in play.
  static const char* pieces[] = {"\xA6", "|", ";", "=", "%", "%a", ",", "\r", "<b>", "</b>", "&gt;"};
  for (int i = 0; i < 8; ++i) junk.insert(rng() % (junk.size() + 1), pieces[rng() % 11]);
  line += junk;
  if (rng() % 2) line += "\xA6";
  return line + "\n";
}

TEST_F(RobustnessTest, GarbageAndOversizedLinesNeverDisturbTwoChattingClients) {
  std::random_device device;
  const unsigned seed = std::getenv("CHATD_GARBAGE_SEED") ? std::atoi(std::getenv("CHATD_GARBAGE_SEED")) : device();
  SCOPED_TRACE("CHATD_GARBAGE_SEED=" + std::to_string(seed));
  std::mt19937 rng(seed);

  auto a = Join("Alice");
  auto b = Join("Bob");
  // Garbage from a logged-in user reaches every handler; from a fresh
  // connection it meets the login rules.
  auto insider = Join("Mallory");
  std::vector<std::unique_ptr<LineClient>> strangers;
  for (int i = 0; i < 3; ++i) strangers.push_back(std::make_unique<LineClient>(chatd_->chatPort()));

  const int rounds = 400;
  int fromBob = 0, fromAlice = 0;
  for (int round = 0; round < rounds; ++round) {
    for (int k = 0; k < 4; ++k) insider->Send(rng() % 3 ? HostileLine(rng) : RandomBytes(rng, rng() % 4000));
    for (auto& s : strangers) {
      if (!s->Send(rng() % 2 ? HostileLine(rng) : RandomBytes(rng, rng() % 4000))) {
        s = std::make_unique<LineClient>(chatd_->chatPort());  // it was dropped: come back
      }
    }
    a->Send("x\xA6Mess=round " + std::to_string(round) + ";Mid=" + std::to_string(round + 1) + ";\xA6\n");
    b->Send("x\xA6" "Cln=Alice;Mess=private " + std::to_string(round) + ";Mid=" + std::to_string(round + 1) +
            ";\xA6\n");
    // Alice sees her public line and Bob's private one, in order.
    for (int seen = 0; seen < 2;) {
      auto r = NextRecordWith(*a, "Mess");
      ASSERT_TRUE(r) << "round " << round;
      const std::string mess = wire::UnescapeField(Field(*r, "Mess"));
      if (Field(*r, "FrName") == "Bob") {
        EXPECT_TRUE(text::EndsWith(mess, "private " + std::to_string(fromBob++)));
        ++seen;
      } else if (Field(*r, "FrName") == "Alice") {
        EXPECT_TRUE(text::EndsWith(mess, "round " + std::to_string(fromAlice++)));
        ++seen;
      }
    }
    auto r = b->ReadUntil([&](const std::string& l) {
      auto rec = AsRecord(l);
      return rec && Field(*rec, "FrName") == "Alice";
    });
    ASSERT_TRUE(r) << "round " << round;
    EXPECT_TRUE(text::EndsWith(wire::UnescapeField(Field(*AsRecord(*r), "Mess")), "round " + std::to_string(round)));
    // The insider never reads; drain a little so only the bound matters.
    if (round % 10 == 0) insider->Sync();
  }
  EXPECT_EQ(fromAlice, rounds);
  EXPECT_EQ(fromBob, rounds);

  // A line of more than 16 MiB without a line feed closes that connection
  // and only that one.
  LineClient flooder(chatd_->chatPort());
  const std::string chunk(1 << 20, 'z');
  for (int i = 0; i < 17 && flooder.Send(chunk); ++i) {
  }
  EXPECT_TRUE(flooder.WaitClosed());
  // A long but terminated line is simply handled once the client has
  // logged in; before that, a login line is all it may send, and more than
  // 64 KiB of it closes the connection.
  LineClient big(chatd_->chatPort());
  EXPECT_NE(big.Login("Bigline", "pw"), "");
  big.Send(std::string(2 << 20, 'q') + "\n");
  EXPECT_FALSE(AnyRecordWith(big.Sync(), "Mess")) << "the long line is dropped, the connection stays";
  LineClient early(chatd_->chatPort());
  early.Send(std::string(2 << 20, 'q') + "\n");
  EXPECT_TRUE(early.WaitClosed());

  a->Send("x\xA6" "Cln=Bob;Mess=still here;Mid=999;\xA6\n");
  auto lastLine = b->ReadUntil([](const std::string& l) {
    auto rec = AsRecord(l);
    return rec && Field(*rec, "FrName") == "Alice" && Field(*rec, "Public") != "1";
  });
  ASSERT_TRUE(lastLine);
  auto last = AsRecord(*lastLine);
  EXPECT_TRUE(text::EndsWith(wire::UnescapeField(Field(*last, "Mess")), "still here"));
  EXPECT_TRUE(chatd_->Running());
  LineClient fresh(chatd_->chatPort());
  EXPECT_FALSE(fresh.Login("Newcomer", "pw").empty());
}

TEST_F(RobustnessTest, AClientThatStopsReadingIsDroppedWhileOthersGetEveryMessage) {
  auto a = Join("Alice");
  auto b = Join("Bob");
  auto stuck = Join("Sleepy");  // never reads again
  const std::string text(60000, 'w');
  // About 60 MB for every reader: past the queue bound and the kernel's
  // socket buffers together.
  const int messages = 1000;
  std::vector<std::string> other;  // Bob's lines that are not Alice's messages
  for (int i = 0; i < messages; ++i) {
    a->Send("x\xA6Mess=" + text + std::to_string(i) + ";Mid=" + std::to_string(i + 1) + ";\xA6\n");
    auto status = NextRecordWith(*a, "Status");
    ASSERT_TRUE(status) << i;
    auto got = b->ReadUntil([&](const std::string& l) {
      auto rec = AsRecord(l);
      return rec && Field(*rec, "FrName") == "Alice";
    }, &other);
    ASSERT_TRUE(got) << i;
    ASSERT_TRUE(text::EndsWith(*got, std::to_string(i) + ";Public=1;FrName=Alice;Line=" +
                                        Field(*AsRecord(*got), "Line") + ";Mid=" + std::to_string(i + 1) +
                                        ";CBacg=#ffffff;CText=#000000;\xA6"));
  }
  // Bob is told that Sleepy left once chatd has seen him take nothing for a
  // while; Sleepy reads nothing before that.
  std::optional<std::string> list;
  for (const auto& l : other)
    if (IsRecordWith(l, "User")) list = l;
  if (!list || OnlineEntries(*list).size() != 2)
    list = b->ReadUntil(
        [](const std::string& l) { return IsRecordWith(l, "User") && OnlineEntries(l).size() == 2; }, &other, 60000);
  ASSERT_TRUE(list);
  for (const auto& e : OnlineEntries(*list)) EXPECT_NE(Field(e, "User"), "Sleepy");
  EXPECT_TRUE(stuck->WaitClosed());
}

}  // namespace
}  // namespace chatd_test
