// The chat side as a client sees it, over real sockets.
#include <regex>

#include "server_fixture.h"
#include "text/binary_escape.h"

namespace chatd_test {
namespace {

using text::W;
using wire::Field;

class ProtocolTest : public ChatdTest {
 protected:
  void SetUp() override { StartChatd(); }
};

TEST_F(ProtocolTest, RegistrationGivesANumberThatLaterLoginsGetBackWhateverNumSays) {
  const std::string name = W("Анна");
  std::string number;
  {
    LineClient first(chatd_->chatPort());
    number = first.Login(name, "secret");
    ASSERT_FALSE(number.empty());
    EXPECT_TRUE(std::all_of(number.begin(), number.end(), ::isdigit)) << number;
  }
  for (const std::string& sent : {number, std::string("424242"), std::string()}) {
    LineClient again(chatd_->chatPort());
    EXPECT_EQ(again.Login(name, "secret", sent), number) << "Num=" << sent;
  }
  // Another registration gets another number.
  LineClient other(chatd_->chatPort());
  const std::string second = other.Login("Boris", "pw");
  ASSERT_FALSE(second.empty());
  EXPECT_NE(second, number);
}

TEST_F(ProtocolTest, WrongPasswordUnknownNumberAndBadNamesAreRefusedWithQuestion5) {
  { LineClient c(chatd_->chatPort()); ASSERT_FALSE(c.Login("Anna", "secret").empty()); }
  struct Case { std::string name, password, number; };
  const std::vector<Case> refused = {
      {"Anna", "wrong", ""},          {"Anna", "", "1001"},          {"Nobody", "pw", "1234"},
      {"two,names", "pw", ""},        {"http:spam", "pw", ""},       {"www.site", "pw", ""},
      {"--x", "pw", ""},              {"::x", "pw", ""},             {" lead", "pw", ""},
      {"trail ", "pw", ""},           {std::string(33, 'n'), "pw", ""}, {"a<b>", "pw", ""},
      {"quote\"", "pw", ""},          {"NewName", "", ""},
      // Look-alike letters and case do not make a second account.
      {W("АNNА"), "other", ""},
  };
  for (const auto& c : refused) {
    LineClient client(chatd_->chatPort());
    client.Send(LineClient::LoginLine(c.name, c.password, c.number));
    EXPECT_EQ(client.ReadLine().value_or("<nothing>"), "?5") << c.name;
    EXPECT_TRUE(client.WaitClosed()) << c.name;
  }
  // 32 bytes is still a name.
  LineClient longest(chatd_->chatPort());
  EXPECT_FALSE(longest.Login(std::string(32, 'n'), "pw").empty());
}

TEST_F(ProtocolTest, PublicMessageReachesEveryoneWithTheRecordFields) {
  auto a = Join("Alice");
  auto b = Join("Bob");
  auto c = Join("Carol");
  a->Send("x\xA6Nastr=1;Color_Bacg=#102030;Color_Text=#A0B0C0;Sex=w;\xA6\n");
  ASSERT_TRUE(NextRecordWith(*a, "Nastr"));
  a->Send("x\xA6Mess=hi%3b there %a6;Mid=7;\xA6\n");
  std::string firstLine;
  for (LineClient* receiver : {a.get(), b.get(), c.get()}) {
    auto r = NextRecordWith(*receiver, "Mess");
    ASSERT_TRUE(r);
    const std::string mess = wire::UnescapeField(Field(*r, "Mess"));
    EXPECT_TRUE(std::regex_match(mess, std::regex(R"(\d\d:\d\d:\d\d <b>Alice:</b> hi; there \xA6)"))) << mess;
    EXPECT_EQ(Field(*r, "Public"), "1");
    EXPECT_EQ(Field(*r, "FrName"), "Alice");
    EXPECT_EQ(Field(*r, "Mid"), "7");
    EXPECT_EQ(Field(*r, "CBacg"), "#102030");
    EXPECT_EQ(Field(*r, "CText"), "#a0b0c0");
    EXPECT_FALSE(r->count("Status"));
    if (firstLine.empty()) firstLine = Field(*r, "Line");
    EXPECT_EQ(Field(*r, "Line"), firstLine);
  }
  auto status = NextRecordWith(*a, "Status");
  ASSERT_TRUE(status);
  EXPECT_EQ(Field(*status, "Status"), "Ok");
  EXPECT_EQ(Field(*status, "Mid"), "7");
  EXPECT_FALSE(status->count("Cln"));
  // The next public line counts up, so the client's duplicate test never
  // mistakes it for the first.
  b->Send("x\xA6Mess=again;Mid=1;\xA6\n");
  auto next = NextRecordWith(*c, "Mess");
  ASSERT_TRUE(next);
  EXPECT_EQ(text::ParseIntOr(Field(*next, "Line"), 0), text::ParseIntOr(firstLine, 0) + 1);
}

TEST_F(ProtocolTest, PrivateMessageGoesOnlyToTheAddresseeAndTheConfirmationBack) {
  auto a = Join("Alice");
  auto b = Join("Bob");
  auto c = Join("Carol");
  a->Send("x\xA6" "Cln=Bob;Mess=secret|x;Mid=5;\xA6\n");
  auto r = NextRecordWith(*b, "Mess");
  ASSERT_TRUE(r);
  EXPECT_NE(Field(*r, "Public"), "1");
  EXPECT_EQ(Field(*r, "FrName"), "Alice");
  EXPECT_EQ(Field(*r, "Mid"), "5");
  EXPECT_TRUE(text::EndsWith(wire::UnescapeField(Field(*r, "Mess")), " <b>Alice:</b> secret|x"));
  auto status = NextRecordWith(*a, "Status");
  ASSERT_TRUE(status);
  EXPECT_EQ(Field(*status, "Status"), "Ok");
  EXPECT_EQ(Field(*status, "Mid"), "5");
  EXPECT_EQ(Field(*status, "Cln"), "Bob");
  EXPECT_EQ(wire::UnescapeField(Field(*status, "Mess")), "secret|x");
  // Neither the sender nor a third user gets the message itself.
  for (const auto& line : c->Sync()) EXPECT_FALSE(IsRecordWith(line, "Mess")) << line;
  for (const auto& line : a->Sync()) EXPECT_FALSE(IsRecordWith(line, "Mess")) << line;

  b->Send("x\xA6" "Cln=Alice;Podtv=1;Mid=5;Time=0;\xA6\n");
  auto podtv = NextRecordWith(*a, "Podtv");
  ASSERT_TRUE(podtv);
  EXPECT_EQ(Field(*podtv, "Mid"), "5");
  EXPECT_EQ(Field(*podtv, "Cln"), "Bob");
  EXPECT_FALSE(podtv->count("Mess"));
}

TEST_F(ProtocolTest, MessageForAnOfflineUserIsKeptAnsweredOkNrAndDeliveredAtLogin) {
  { auto bob = Join("Bob"); }
  auto a = Join("Alice");
  // Bob's leaving may still be on its way: wait for a list with Alice alone.
  ASSERT_TRUE(a->ReadUntil([](const std::string& l) { return IsRecordWith(l, "User") && OnlineEntries(l).size() == 1; }));
  a->Send("x\xA6" "Cln=Bob,Nobody;Mess=while you were out;Mid=9;\xA6\n");
  auto status = NextRecordWith(*a, "Status");
  ASSERT_TRUE(status);
  EXPECT_EQ(Field(*status, "Status"), "OkNr");
  EXPECT_EQ(Field(*status, "Mid"), "9");
  // A message nobody can get is not reported as accepted.
  a->Send("x\xA6" "Cln=Nobody;Mess=into the void;Mid=8;\xA6\n");
  status = NextRecordWith(*a, "Status");
  ASSERT_TRUE(status);
  EXPECT_EQ(Field(*status, "Status"), "NoUser");

  auto b = std::make_unique<LineClient>(chatd_->chatPort());
  ASSERT_FALSE(b->Login("Bob", "pw").empty());
  auto kept = NextRecordWith(*b, "Mess");
  ASSERT_TRUE(kept);
  EXPECT_EQ(Field(*kept, "FrName"), "Alice");
  EXPECT_EQ(Field(*kept, "Mid"), "9");
  EXPECT_TRUE(text::EndsWith(wire::UnescapeField(Field(*kept, "Mess")), "while you were out"));
  // Delivered once only.
  b.reset();
  b = std::make_unique<LineClient>(chatd_->chatPort());
  ASSERT_FALSE(b->Login("Bob", "pw").empty());
  EXPECT_FALSE(AnyRecordWith(b->Sync(), "Mess"));
  // Now that Bob is online the same kind of message is plain "Ok".
  a->Send("x\xA6" "Cln=Bob;Mess=now;Mid=10;\xA6\n");
  status = NextRecordWith(*a, "Status");
  ASSERT_TRUE(status);
  EXPECT_EQ(Field(*status, "Status"), "Ok");
}

TEST_F(ProtocolTest, OnlineListFollowsLoginsLogoutsAndSettings) {
  auto a = Join("Alice");
  auto list = a->ReadUntil([](const std::string& l) { return IsRecordWith(l, "User"); });
  ASSERT_TRUE(list);
  auto entries = OnlineEntries(*list);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(Field(entries[0], "User"), "Alice");
  EXPECT_EQ(Field(entries[0], "Ver"), "2.8");
  EXPECT_EQ(Field(entries[0], "Sex"), "m");
  EXPECT_EQ(Field(entries[0], "Sound"), "1");
  EXPECT_EQ(Field(entries[0], "Inf"), "F");

  auto b = Join("Bob", "pw", "Sex=w;");
  list = a->ReadUntil([](const std::string& l) { return IsRecordWith(l, "User"); });
  ASSERT_TRUE(list);
  entries = OnlineEntries(*list);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(Field(entries[1], "User"), "Bob");
  EXPECT_EQ(Field(entries[1], "Sex"), "w");
  EXPECT_FALSE(wire::Has(entries[1], "Sound"));

  // Information text turns Inf to "T" for everyone.  This settings line
  // ends with ";" and no closing broken bar.
  b->Send("x\xA6Nastr=1;You=" + wire::EscapeField(W("Привет; я Боб")) + "<br>;\n");
  list = a->ReadUntil([](const std::string& l) { return IsRecordWith(l, "User"); });
  ASSERT_TRUE(list);
  entries = OnlineEntries(*list);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(Field(entries[1], "Inf"), "T");
  a->Send("x\xA6GetInfo=1;Cln=Bob;\xA6\n");
  auto info = NextRecordWith(*a, "GetInfo");
  ASSERT_TRUE(info);
  EXPECT_EQ(wire::UnescapeField(Field(*info, "GetInfo")), W("Привет; я Боб") + "<br>");
  EXPECT_EQ(Field(*info, "Cln"), "Bob");

  b.reset();
  list = a->ReadUntil([](const std::string& l) { return IsRecordWith(l, "User"); });
  ASSERT_TRUE(list);
  entries = OnlineEntries(*list);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(Field(entries[0], "User"), "Alice");
}

TEST_F(ProtocolTest, ASecondLoginOfTheSameAccountReplacesTheFirst) {
  auto first = Join("Alice");
  auto observer = Join("Bob");
  // Under another spelling of the same account, and under the same one: the
  // newer login wins either way, and the list names it as it logged in.
  for (const std::string& spelling : {std::string("alice"), std::string("alice"), W("АLICЕ")}) {
    auto second = std::make_unique<LineClient>(chatd_->chatPort());
    ASSERT_FALSE(second->Login(spelling, "pw").empty()) << spelling;
    EXPECT_TRUE(first->ReadUntil([](const std::string& l) { return l == "?5"; })) << spelling;
    EXPECT_TRUE(first->WaitClosed()) << spelling;
    auto list = observer->ReadUntil([&](const std::string& l) {
      // The list sent for the new login: Bob first, as the earlier login.
      return IsRecordWith(l, "User") && OnlineEntries(l).size() == 2 && Field(OnlineEntries(l)[0], "User") == "Bob";
    });
    ASSERT_TRUE(list) << spelling;
    EXPECT_EQ(Field(OnlineEntries(*list)[1], "User"), spelling);
    first = std::move(second);
  }
}

TEST_F(ProtocolTest, AUserIsNamedAsHeTypedHisNameNotAsTheAccountIsSpelt) {
  { LineClient c(chatd_->chatPort()); ASSERT_FALSE(c.Login("Bob", "pw").empty()); }
  auto alice = Join("Alice");
  auto bob = Join("bob");
  auto list = alice->ReadUntil([](const std::string& l) { return IsRecordWith(l, "User") && OnlineEntries(l).size() == 2; });
  ASSERT_TRUE(list);
  EXPECT_EQ(Field(OnlineEntries(*list)[1], "User"), "bob");

  bob->Send("x\xA6Mess=hello;Mid=1;\xA6\n");
  for (LineClient* receiver : {alice.get(), bob.get()}) {
    auto r = NextRecordWith(*receiver, "Mess");
    ASSERT_TRUE(r);
    EXPECT_EQ(Field(*r, "FrName"), "bob");
    EXPECT_TRUE(text::EndsWith(wire::UnescapeField(Field(*r, "Mess")), " <b>bob:</b> hello"));
  }
  bob->Send("x\xA6" "Cln=Alice;Mess=psst;Mid=2;\xA6\n");
  auto priv = NextRecordWith(*alice, "Mess");
  ASSERT_TRUE(priv);
  EXPECT_EQ(Field(*priv, "FrName"), "bob");
  // Addressed under any spelling, the message reaches him; the
  // confirmation names him as he is online.
  alice->Send("x\xA6" "Cln=BOB;Mess=back;Mid=3;\xA6\n");
  ASSERT_TRUE(NextRecordWith(*bob, "Mess"));
  bob->Send("x\xA6" "Cln=Alice;Podtv=1;Mid=3;Time=0;\xA6\n");
  auto podtv = NextRecordWith(*alice, "Podtv");
  ASSERT_TRUE(podtv);
  EXPECT_EQ(Field(*podtv, "Cln"), "bob");
  // His own information comes back as his; someone else asking hears the
  // account's spelling.
  bob->Send("x\xA6GetInfo=1;\xA6\n");
  auto own = NextRecordWith(*bob, "GetInfo");
  ASSERT_TRUE(own);
  EXPECT_EQ(Field(*own, "Cln"), "bob");
  alice->Send("x\xA6GetInfo=1;Cln=bob;\xA6\n");
  auto other = NextRecordWith(*alice, "GetInfo");
  ASSERT_TRUE(other);
  EXPECT_EQ(Field(*other, "Cln"), "Bob");
}

TEST_F(ProtocolTest, AddressNoticeAndRelayLines) {
  auto a = Join("Alice");
  auto b = Join("Bob");
  // Alice's address is hers until she has had a private word with Bob.
  b->Send("p\xA6" "Alice\xA6\n");
  EXPECT_EQ(b->ReadUntil([](const std::string& l) { return text::StartsWith(l, "p|"); }).value_or(""),
            "p|Alice||");
  a->Send("x\xA6" "Cln=Bob;Mess=hi;Mid=1;\xA6\n");
  ASSERT_TRUE(NextRecordWith(*b, "Mess"));
  b->Send("p\xA6" "Alice\xA6\n");
  EXPECT_EQ(b->ReadUntil([](const std::string& l) { return text::StartsWith(l, "p|"); }).value_or(""),
            "p|Alice|127.0.0.1|");
  b->Send("p\xA6" "Nobody\xA6\n");
  EXPECT_EQ(b->ReadUntil([](const std::string& l) { return text::StartsWith(l, "p|"); }).value_or(""),
            "p|Nobody||");

  a->Send(wire::DirectLinkNoticeLine("Bob", "12"));
  auto notice = NextRecordWith(*b, "Mess");
  ASSERT_TRUE(notice);
  EXPECT_NE(Field(*notice, "Public"), "1");
  EXPECT_EQ(Field(*notice, "FrName"), "Alice");
  EXPECT_TRUE(text::EndsWith(wire::UnescapeField(Field(*notice, "Mess")), "<b>Alice:</b> DirectLink::TryToConnect"));

  // Every byte value, the separators and line feeds included, survives the
  // relay once escaped.
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  const std::string payload = text::EscapeBinary(bytes, '0');
  a->Send("f\xA6" "Bob\xA6" + payload + "\xA6\n");
  a->Send("f\xA6" "Bob\xA6" "1\xA6\n");
  auto data = b->ReadUntil([](const std::string& l) { return text::StartsWith(l, "f|"); });
  ASSERT_TRUE(data);
  EXPECT_EQ(*data, "f|Alice|" + payload);
  EXPECT_EQ(text::UnescapeBinary(data->substr(8), 1024).value_or(""), bytes);
  EXPECT_EQ(b->ReadUntil([](const std::string& l) { return text::StartsWith(l, "f|"); }).value_or(""), "f|Alice|1");
  // The sender gets nothing back.
  for (const auto& line : a->Sync()) EXPECT_FALSE(text::StartsWith(line, "f|")) << line;
}

TEST(ProtocolBotTest, TheBotIsOnlineGreetsAndAnswersWithAConfirmation) {
  ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {"--bot", "Robot"});
  ASSERT_TRUE(chatd.ok());
  LineClient a(chatd.chatPort());
  ASSERT_FALSE(a.Login("Alice", "pw").empty());
  auto list = a.ReadUntil([](const std::string& l) { return IsRecordWith(l, "User"); });
  ASSERT_TRUE(list);
  auto entries = OnlineEntries(*list);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(Field(entries[0], "User"), "Robot");
  auto greeting = NextRecordWith(a, "Mess");
  ASSERT_TRUE(greeting);
  EXPECT_EQ(Field(*greeting, "FrName"), "Robot");
  EXPECT_EQ(Field(*greeting, "Public"), "1");
  EXPECT_TRUE(text::Contains(wire::UnescapeField(Field(*greeting, "Mess")), "Alice"));

  a.Send("x\xA6" "Cln=Robot;Mess=hello robot;Mid=3;\xA6\n");
  auto podtv = NextRecordWith(a, "Podtv");
  ASSERT_TRUE(podtv);
  EXPECT_EQ(Field(*podtv, "Mid"), "3");
  auto answer = NextRecordWith(a, "Mess");
  ASSERT_TRUE(answer);
  EXPECT_EQ(Field(*answer, "FrName"), "Robot");
  EXPECT_NE(Field(*answer, "Public"), "1");
  EXPECT_TRUE(text::Contains(wire::UnescapeField(Field(*answer, "Mess")), "hello robot"));
  // An automatic answer (no Mid) gets no answer back.
  a.Send("x\xA6" "Cln=Robot;Mess=auto reply;\xA6\n");
  EXPECT_FALSE(AnyRecordWith(a.Sync(), "Mess"));

  a.Send("x\xA6GetInfo=1;Cln=Robot;\xA6\n");
  auto info = NextRecordWith(a, "GetInfo");
  ASSERT_TRUE(info);
  EXPECT_TRUE(text::EndsWith(wire::UnescapeField(Field(*info, "GetInfo")), "<InfF1,2>"));
}

TEST(ProtocolRestartTest, AccountsKeptMessagesAndTheArchiveSurviveARestart) {
  ChatdProcess keeper(CHAT_BINARY_DIR "/bin/chatd", {});  // owns the data folder
  ASSERT_TRUE(keeper.ok());
  std::string number, lastLine;
  {
    LineClient a(keeper.chatPort());
    number = a.Login("Alice", "pw");
    {
      // Alice's lists: herself, with Bob, and alone again once Bob is gone
      // (a list that changes back within its interval is not sent at all).
      LineClient b(keeper.chatPort());
      ASSERT_FALSE(b.Login("Bob", "pw").empty());
      ASSERT_TRUE(a.ReadUntil([](const std::string& l) { return IsRecordWith(l, "User") && OnlineEntries(l).size() == 2; }));
    }
    ASSERT_TRUE(a.ReadUntil([](const std::string& l) { return IsRecordWith(l, "User") && OnlineEntries(l).size() == 1; }));
    a.Send("x\xA6" "Cln=Bob;Mess=kept over a restart;Mid=1;\xA6\n");
    a.Send("x\xA6Mess=public before the restart;Mid=2;\xA6\n");
    auto copy = NextRecordWith(a, "Line");
    ASSERT_TRUE(copy);
    lastLine = Field(*copy, "Line");
  }
  keeper.Stop();
  {
    // The same data folder, a new process on new ports.
    ChatdProcess restarted(CHAT_BINARY_DIR "/bin/chatd", {}, false, keeper.dataDir());
    ASSERT_TRUE(restarted.ok());
    LineClient a(restarted.chatPort());
    EXPECT_EQ(a.Login("Alice", "pw", number), number);
    LineClient b(restarted.chatPort());
    ASSERT_FALSE(b.Login("Bob", "pw").empty());
    auto kept = NextRecordWith(b, "Mess");
    ASSERT_TRUE(kept);
    EXPECT_TRUE(text::EndsWith(wire::UnescapeField(Field(*kept, "Mess")), "kept over a restart"));
    // Public lines go on counting where they stopped.
    a.Send("x\xA6Mess=after;Mid=3;\xA6\n");
    auto next = NextRecordWith(a, "Line");
    ASSERT_TRUE(next);
    EXPECT_EQ(text::ParseIntOr(Field(*next, "Line"), 0), text::ParseIntOr(lastLine, 0) + 1);
    auto archive = HttpGet(restarted.httpPort(), "/cgi-bin/chat/arx.cgi?arx=1", false);
    ASSERT_TRUE(archive);
    EXPECT_TRUE(text::Contains(archive->body, "public before the restart"));
  }
}

}  // namespace
}  // namespace chatd_test
