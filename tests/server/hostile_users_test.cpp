// chatd's defaults against one user who makes accounts in bulk, guesses
// passwords, floods the room or claims the moderator's name, over real
// sockets (the rules themselves are tested in-process with their own clock).
#include <poll.h>

#include "server_fixture.h"

namespace {

using chatd_test::ChatdProcess;
using chatd_test::LineClient;
using wire::Field;

// Nothing has arrived for `c` yet, without waiting for it.
bool NothingYet(LineClient& c) { return !c.ReadLine(0); }

TEST(HostileUsersTest, TenAccountsAnHourFromOneAddressByDefault) {
  ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {}, true);
  ASSERT_TRUE(chatd.ok());
  for (int i = 0; i < 10; ++i) {
    LineClient c(chatd.chatPort(), "127.0.0.5");
    EXPECT_NE(c.Login("maker" + std::to_string(i), "pw"), "") << i;
  }
  LineClient eleventh(chatd.chatPort(), "127.0.0.5");
  EXPECT_EQ(eleventh.Login("maker10", "pw"), "");
  // Accounts already made still log in, and other addresses still register.
  LineClient again(chatd.chatPort(), "127.0.0.5");
  EXPECT_NE(again.Login("maker3", "pw"), "");
  LineClient elsewhere(chatd.chatPort(), "127.0.0.6");
  EXPECT_NE(elsewhere.Login("maker10", "pw"), "");
}

TEST(HostileUsersTest, TheModeratorNameIsMadeOnlyByTheAdministrator) {
  ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {"--moderator", "boss"}, true);
  ASSERT_TRUE(chatd.ok());
  LineClient squatter(chatd.chatPort());
  EXPECT_EQ(squatter.Login("boss", "mine"), "") << "whoever registers first gets nothing";
  ASSERT_TRUE(chatd.AddUser("boss", "secret"));
  LineClient wrong(chatd.chatPort());
  EXPECT_EQ(wrong.Login("boss", "mine"), "");
  LineClient boss(chatd.chatPort());
  // The failed guess above makes this one wait a little; it still gets in.
  ASSERT_NE(boss.Login("boss", "secret"), "");
  // --add-user also gives an existing account a new password.
  ASSERT_TRUE(chatd.AddUser("boss", "changed"));
  LineClient later(chatd.chatPort(), "127.0.0.9");
  EXPECT_NE(later.Login("boss", "changed"), "");
}

TEST(HostileUsersTest, AfterFailedLoginsTheGuesserWaitsWhileOthersAreServed) {
  ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {}, true);
  ASSERT_TRUE(chatd.ok());
  { LineClient owner(chatd.chatPort(), "127.0.0.20"); ASSERT_NE(owner.Login("victim", "right"), ""); }
  for (int i = 0; i < 3; ++i) {
    LineClient guess(chatd.chatPort(), "127.0.0.21");
    EXPECT_EQ(guess.Login("victim", "guess" + std::to_string(i)), "");
  }
  // The next guess waits seconds; a login from elsewhere sent after it is
  // answered first, so the server was not blocked meanwhile.
  LineClient guess(chatd.chatPort(), "127.0.0.21");
  ASSERT_TRUE(guess.Send(LineClient::LoginLine("victim", "guess3", "")));
  LineClient other(chatd.chatPort(), "127.0.0.22");
  EXPECT_NE(other.Login("bystander", "pw"), "");
  EXPECT_TRUE(NothingYet(guess));
  EXPECT_EQ(guess.ReadLine(40000).value_or(""), "?5");
}

TEST(HostileUsersTest, AFloodingSenderIsHeldBackNotTheOthers) {
  // A small budget keeps the test short: 64 KiB at once, then 32 KiB/s.
  ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {"--public-rate", "32", "--public-burst", "64"}, true);
  ASSERT_TRUE(chatd.ok());
  LineClient flooder(chatd.chatPort()), talker(chatd.chatPort()), reader(chatd.chatPort());
  ASSERT_NE(flooder.Login("flooder", "pw"), "");
  ASSERT_NE(talker.Login("talker", "pw"), "");
  ASSERT_NE(reader.Login("reader", "pw"), "");
  const std::string text(30000, 'f');
  std::string flood;
  for (int i = 0; i < 8; ++i) flood += "x\xA6Mess=" + text + "#" + std::to_string(i) + ";\xA6\n";
  ASSERT_TRUE(flooder.Send(flood));  // 240 KB: about five seconds past the burst
  // The reader sees the start of the flood, then the talker's line before
  // the flood's end.
  ASSERT_TRUE(reader.ReadUntil([&](const std::string& l) { return text::Contains(l, "#0;"); }));
  ASSERT_TRUE(talker.Send("x\xA6Mess=still here;\xA6\n"));
  std::vector<std::string> before;
  ASSERT_TRUE(reader.ReadUntil([](const std::string& l) { return text::Contains(l, "still here"); }, &before));
  for (const auto& l : before) EXPECT_FALSE(text::Contains(l, "#7;")) << "the whole flood came first";
  // The flood arrives whole in the end.
  EXPECT_TRUE(reader.ReadUntil([](const std::string& l) { return text::Contains(l, "#7;"); }, nullptr, 30000));
}

}  // namespace
