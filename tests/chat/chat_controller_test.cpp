#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <map>
#include <memory>
#include <set>

#include "chatd_process.h"
#include "fixed_metrics.h"
#include "line_client.h"
#include "markup/markup_document.h"
#include "settings/settings.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "text/line_file.h"
#include "text/shown_text.h"
#include "games/game_traffic.h"
#include "chat/chat_controller.h"
#include "archive/archive_format.h"

using text::W;
using namespace window;

namespace {

const std::string BB = "\xA6";

// Records the effects the chat logic asks for.
class Effects : public ChatEnvironment {
 public:
  void SendLine(const std::string& line) override { sent.push_back(line); }
  bool SocketOpen() override { return true; }
  void Trace(const std::string& t) override { traces.push_back(t); }
  void Beep() override { ++beeps; }
  void PlayWave(const std::string& f) override { waves.push_back(f); }
  void BringToFront() override { ++fronts; }
  bool NoSound() override { return noSound; }
  void Refused() override { ++refusals; }
  void OpenUrl(const std::string& url) override { urls.push_back(url); }
  std::vector<std::string> sent, traces, waves, urls;
  int beeps = 0, fronts = 0, refusals = 0;
  bool noSound = false;
};

// Records the game traffic handed to the games.
class Games : public games::GameTraffic {
 public:
  void GameMessage(games::GameKind kind, const std::string& text, const std::string& sender, const std::string&,
                   uint32_t, uint32_t) override {
    messages.push_back(std::string(games::PrefixOf(kind)) + "|" + sender + "|" + text);
  }
  void OwnGameEcho(games::GameKind kind, const std::string& text, const std::string& addressee, uint32_t,
                   uint32_t) override {
    echoes.push_back(std::string(games::PrefixOf(kind)) + "|" + addressee + "|" + text);
  }
  void SetGameOnline(bool) override {}
  void CloseAllGames() override {}
  std::vector<std::string> messages, echoes;
};

class ChatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::make_unique<QTemporaryDir>();
    programDir = dir->path().toStdString() + "/";
    settings.Load(programDir);
    settings.UserName = "me";
    settings.AnswerType = {1, 1, 1, 1};
    settings.StealFocus = {false, true, true, false};
    for (auto* d : {&comm, &priv, &users, &towhom, &prev}) d->SetViewSize(400, 300);
    chat = std::make_unique<ChatController>(settings, ChatPanes{comm, priv, users, towhom, prev}, fx);
  }

  static std::string Msg(const std::string& fields) { return "x" + BB + fields + BB; }
  // The entries of private.arc without their time stamps, "|" as callers
  // give it.
  std::vector<std::string> Archive() const {
    std::vector<std::string> out;
    for (const std::string& line : text::ReadLineFile(programDir + "private.arc"))
      out.push_back(text::ReplaceAll(line.substr(line.find(BB) + 1), BB, "|"));
    return out;
  }
  static std::vector<std::string> Lines(const markup::MarkupDocument& d) {
    std::vector<std::string> out;
    for (const auto& l : d.lines()) out.push_back(l->source);
    return out;
  }

  std::unique_ptr<QTemporaryDir> dir;
  std::string programDir;
  settings::Settings settings;
  markup_test::FixedMeasurer measurer;
  markup::MarkupDocument comm{measurer}, priv{measurer}, users{measurer}, towhom{measurer}, prev{measurer};
  Effects fx;
  std::unique_ptr<ChatController> chat;
};

TEST_F(ChatTest, PublicMessageMarkupAndDuplicateTest) {
  const std::string line = Msg("Mess=12:00:01 <b>bob:</b> hi %3b there;Public=1;FrName=bob;Line=1234;Mid=3;CText=#ff0000;CBacg=#ffffff;");
  chat->Dispatch(line);
  ASSERT_EQ(Lines(comm).size(), 1u);
  EXPECT_EQ(Lines(comm)[0], "<fcol=000000><bcol=FFFFFF>34 - 12:00:01 <b><link=\"bob:\"" + W("Для bob(34):") +
                                "></b> <fcol=0000FF><bcol=FFFFFF>hi ; there");
  EXPECT_TRUE(fx.sent.empty());  // public messages are not confirmed
  EXPECT_EQ(fx.beeps, 1);
  EXPECT_EQ(fx.fronts, 0);

  // The same tag and lead again: not shown, but it still sounds.
  chat->Dispatch(line);
  EXPECT_EQ(Lines(comm).size(), 1u);
  EXPECT_EQ(fx.beeps, 2);
  // Once the pane is cleared, the line may be shown again.
  comm.Clear();
  chat->Dispatch(line);
  EXPECT_EQ(Lines(comm).size(), 1u);
}

TEST_F(ChatTest, FieldPrecedenceAndNewUserNumber) {
  chat->Dispatch(Msg("Status=Ok;Mid=99;Mess=12:00 <b>x:</b> t;Public=1;"));
  EXPECT_TRUE(comm.lines().empty());  // an acknowledgement only
  chat->Dispatch(Msg("NewUserNum=41;Mess=12:00 <b>x:</b> t;Public=1;FrName=x;Line=7;User=y;"));
  EXPECT_EQ(settings.UserNum, "41");
  ASSERT_EQ(Lines(comm).size(), 1u);
  EXPECT_TRUE(text::StartsWith(Lines(comm)[0], "<fcol=000000><bcol=FFFFFF>7 - 12:00 <b>"));  // whole one-byte tag
  EXPECT_TRUE(users.lines().empty());  // the online list was not rebuilt from it
  chat->Dispatch("?5");
  EXPECT_EQ(fx.refusals, 1);
}

TEST_F(ChatTest, ModeratorRightsTurnOnTheDebugTrace) {
  settings.DebugMode = true;
  chat->Dispatch("junk|x");
  EXPECT_TRUE(fx.traces.empty());  // not a moderator
  chat->Dispatch(Msg("Nastr=1;Mod=1;"));
  EXPECT_TRUE(chat->Moderator());
  chat->Dispatch("junk%7cx");
  ASSERT_EQ(fx.traces.size(), 2u);
  EXPECT_EQ(fx.traces[0], W("Приняли: ") + "junk|x");
  EXPECT_EQ(fx.traces[1], W("Неизвестная команда: ") + "junk|x");
  chat->Dispatch(Msg("Status=Ok;Mid=404;"));
  EXPECT_EQ(fx.traces.back(), W("Неизвестная команда: ") + "x" + BB + "Status=Ok;Mid=404;" + BB);
  // The trace speaks the interface language; what the peer sent stays as sent.
  text::SetEnglishShown(true);
  chat->Dispatch(W("junk|Привет"));
  text::SetEnglishShown(false);
  EXPECT_EQ(fx.traces[fx.traces.size() - 2], "Received: " + W("junk|Привет"));
  EXPECT_EQ(fx.traces.back(), "Unknown command: " + W("junk|Привет"));
}

TEST_F(ChatTest, NamesMentioningMeAndMyOwnMessages) {
  chat->Dispatch(Msg("Mess=1 <b>bob:</b> hello me;Public=1;FrName=bob;Line=10;"));
  EXPECT_NE(Lines(comm)[0].find("<a href=\"" + W("Для bob(10):") + "\"><fcol=0000ff>bob:</a></b> "), std::string::npos);
  EXPECT_EQ(fx.fronts, 1);  // personal: reaction set 1
  chat->Dispatch(Msg("Mess=2 <b>me:</b> mine;Public=1;FrName=me;Line=11;"));
  EXPECT_NE(Lines(comm)[1].find("<fcol=008000>me:</a>"), std::string::npos);
  EXPECT_EQ(fx.fronts, 1);  // own message: reaction set 0
  EXPECT_EQ(fx.beeps, 2);
  fx.noSound = true;
  chat->Dispatch(Msg("Mess=3 <b>bob:</b> x;Public=1;FrName=bob;Line=12;"));
  EXPECT_EQ(fx.beeps, 2);
}

TEST_F(ChatTest, PrivateMessagesAreConfirmedArchivedAndFiltered) {
  chat->Dispatch(Msg("Mess=1 <b>bob:</b> psst|x;Public=0;FrName=bob;Mid=8;"));
  ASSERT_EQ(fx.sent.size(), 1u);
  EXPECT_EQ(fx.sent[0], "x" + BB + "Cln=bob;Podtv=1;Mid=8;Time=0;" + BB + "\n");
  ASSERT_EQ(Lines(priv).size(), 1u);
  EXPECT_EQ(Lines(priv)[0], "<fcol=000000><bcol=FFFFFF>1 <b><link=\"bob:\"" + W("Для bob:") +
                                "></b> <fcol=000000><bcol=FFFFFF>psst|x");
  ASSERT_EQ(Archive().size(), 1u);
  EXPECT_EQ(Archive()[0], "#ffffff|#000000|1 <b>bob:</b> psst%7cx");

  // Black-listed: confirmed all the same, then dropped without reaction.
  chat->Contacts().blackList = {"eve"};
  const int fronts = fx.fronts;
  chat->Dispatch(Msg("Mess=2 <b>eve:</b> spam;Public=0;FrName=eve;Mid=9;"));
  EXPECT_EQ(fx.sent.back(), "x" + BB + "Cln=eve;Podtv=1;Mid=9;Time=0;" + BB + "\n");
  EXPECT_EQ(Lines(priv).size(), 1u);
  EXPECT_EQ(fx.fronts, fronts);
  // With an answer text she gets it, but an answer carrying no number does not.
  settings.GoAwayText = "go\naway;";
  chat->Dispatch(Msg("Mess=3 <b>eve:</b> spam;Public=0;FrName=eve;Mid=10;"));
  EXPECT_EQ(fx.sent.back(), "x" + BB + "Cln=eve;Mess=go away%3b;" + BB + "\n");
  const size_t count = fx.sent.size();
  chat->Dispatch(Msg("Mess=4 <b>eve:</b> auto;Public=0;FrName=eve;"));
  EXPECT_EQ(fx.sent.size(), count);
}

TEST_F(ChatTest, TheArchiveViewerShowsAReceivedOrSentTextAsThePaneShowedIt) {
  const media::CodeConverter same = [](const std::string& t) { return t; };
  // The wire text and what the pane shows of it.
  const std::vector<std::pair<std::string, std::string>> texts = {{"%257c", "%7c"},
                                                                  {"%2525", "%25"},
                                                                  {"a%7cb then more", "a|b then more"},
                                                                  {"x &amp%3bgt%3b &gt%3b", "x &amp;gt; >"},
                                                                  {"semi%3b %a6 %7c", "semi; " + BB + " |"}};
  for (const auto& [wireText, shown] : texts) {
    chat->Dispatch(Msg("Mess=1 <b>bob:</b> " + wireText + ";Public=0;FrName=bob;"));
    ASSERT_TRUE(text::EndsWith(Lines(priv).back(), "<fcol=000000><bcol=FFFFFF>" + shown)) << Lines(priv).back();
    const std::string stored = text::ReadLineFile(programDir + "private.arc").back();
    const media::ViewLine line = media::FormatPrivateArchiveLine(stored, same);
    EXPECT_TRUE(text::EndsWith(line.markup, "<fcol=000000><bcol=FFFFFF>" + shown)) << line.markup;
  }
  // An own message confirmed by the server is kept the same way.
  settings.CurrentAckID = 40;
  chat->Addressees().Add("bob");
  chat->Say("100%25 &amp; x");
  chat->Dispatch(Msg("Status=Ok;Mid=40;Cln=bob;Mess=x;"));
  ASSERT_TRUE(text::EndsWith(Lines(priv).back(), "100%25 &amp; x")) << Lines(priv).back();
  const std::string stored = text::ReadLineFile(programDir + "private.arc").back();
  EXPECT_TRUE(text::EndsWith(media::FormatPrivateArchiveLine(stored, same).markup, "100%25 &amp; x"))
      << media::FormatPrivateArchiveLine(stored, same).markup;
  // A line of an earlier version, its text stored decoded, reads as before.
  EXPECT_TRUE(text::EndsWith(
      media::FormatPrivateArchiveLine("01.01.26 10.00.00 (Thu)" + BB + "#ffffff" + BB + "#000000" + BB +
                                          "1 <b>bob:</b> plain %41 text",
                                      same)
          .markup,
      "plain A text"));
}

TEST_F(ChatTest, BlackListInTheCommonPaneOnlyWithFilterAll) {
  chat->Contacts().blackList = {"eve"};
  chat->Dispatch(Msg("Mess=1 <b>eve:</b> a;Public=1;FrName=eve;Line=21;"));
  EXPECT_NE(Lines(comm)[0].find("eve:"), std::string::npos);
  settings.FilterAll = true;
  const int beeps = fx.beeps;
  chat->Dispatch(Msg("Mess=2 <b>eve:</b> a;Public=1;FrName=eve;Line=22;"));
  EXPECT_EQ(Lines(comm)[1], "<fcol=000000><bcol=FFFFFF>22 - 2 <b>" + W("</b> --------------- черный список ---------------"));
  EXPECT_EQ(fx.beeps, beeps);
}

TEST_F(ChatTest, GameTrafficGoesToTheGames) {
  // Without games it is dropped, never shown.
  chat->Dispatch(Msg("Mess=1 <b>bob:</b> Gm:Chs:Move:1;Public=0;FrName=bob;"));
  EXPECT_TRUE(priv.lines().empty());
  Games games;
  chat->SetGameTraffic(&games);
  chat->Dispatch(Msg("Mess=1 <b>bob:</b> Gm:Chk:Move:1;Public=0;FrName=bob;Mid=5;"));
  EXPECT_TRUE(priv.lines().empty());
  ASSERT_EQ(games.messages.size(), 1u);
  EXPECT_EQ(games.messages[0], "Gm:Chk:|bob|Gm:Chk:Move:1");
  EXPECT_EQ(fx.sent.size(), 1u);  // the arrival was still confirmed
  EXPECT_EQ(fx.beeps, 0);
  chat->Dispatch(Msg("Mess=1 <b>bob:</b> DirectLink::TryToConnect;Public=0;FrName=" + W("Вова") + ";"));
  EXPECT_TRUE(priv.lines().empty());
  EXPECT_EQ(chat->lastDirectLinkSender, "Bo" + W("в") + "a");

  // The server's Ok for one's own game chat goes back to that game, and
  // the echo of a move does not.
  settings.CurrentAckID = 40;
  chat->SendChatMessage("bob", "Gm:Rvs:Chat:hi", false);
  chat->SendChatMessage("bob", "Gm:Rvs:Move:3", false);
  chat->Dispatch(Msg("Status=Ok;Mid=40;Cln=bob;Mess=12:00 <b>me:</b> Gm:Rvs:Chat:hi;"));
  chat->Dispatch(Msg("Status=Ok;Mid=41;Cln=bob;Mess=12:00 <b>me:</b> Gm:Rvs:Move:3;"));
  EXPECT_EQ(games.echoes, (std::vector<std::string>{"Gm:Rvs:|bob|Gm:Rvs:Chat:hi"}));
  EXPECT_TRUE(chat->Acks().Waiting().empty());
  chat->SetGameTraffic(nullptr);
}

TEST_F(ChatTest, HostileMessageSizeIsShownCut) {
  chat->Dispatch(Msg("Mess=1 <b>bob:</b> " + std::string(100000, 'a') + ";Public=0;FrName=bob;"));
  const std::string line = Lines(priv)[0];
  EXPECT_TRUE(text::EndsWith(line, std::string(10, 'a') + "\x85"));
  EXPECT_LT(line.size(), 70000u);
}

TEST_F(ChatTest, HostileLeadAndSenderNameAreShownCut) {
  const std::string longWord(300000, 'w');
  const std::string longName(300000, 'n');
  chat->Dispatch(Msg("Mess=" + longWord + " hi;Public=1;FrName=" + longName + ";Line=5;"));
  chat->Dispatch(Msg("Mess=" + longWord + " hi;Public=0;FrName=" + longName + ";Mid=9;"));
  ASSERT_EQ(Lines(comm).size(), 1u);
  ASSERT_EQ(Lines(priv).size(), 1u);
  const std::string lead(session::Dispatcher::kMaxLead, 'w');
  const std::string name(session::Dispatcher::kMaxSenderName, 'n');
  EXPECT_TRUE(text::StartsWith(Lines(comm)[0], "<fcol=000000><bcol=FFFFFF>5 - " + lead + " <b><link=\"" + name + ":\""));
  EXPECT_LT(Lines(comm)[0].size(), 2000u);
  EXPECT_TRUE(text::EndsWith(Lines(priv)[0], "hi"));
  EXPECT_LT(Lines(priv)[0].size(), 2000u);
  // The archive and the confirmation carry the cut name as well.
  ASSERT_EQ(Archive().size(), 1u);
  EXPECT_LT(Archive()[0].size(), 2000u);
  ASSERT_EQ(fx.sent.size(), 1u);
  EXPECT_LT(fx.sent[0].size(), 2000u);
  // The cut line is still a duplicate of itself, and leaves the test with the pane.
  chat->Dispatch(Msg("Mess=" + longWord + " hi;Public=1;FrName=" + longName + ";Line=5;"));
  EXPECT_EQ(Lines(comm).size(), 1u);
  comm.Clear();
  chat->Dispatch(Msg("Mess=" + longWord + " hi;Public=1;FrName=" + longName + ";Line=5;"));
  EXPECT_EQ(Lines(comm).size(), 1u);
}

TEST_F(ChatTest, DuplicateTestComparesTheWholeLineNumber) {
  // Line 1234 and 1334 share the shown tag "34" and the lead: both are shown.
  chat->Dispatch(Msg("Mess=12:00:01 <b>bob:</b> one;Public=1;FrName=bob;Line=1234;"));
  chat->Dispatch(Msg("Mess=12:00:01 <b>bob:</b> two;Public=1;FrName=bob;Line=1334;"));
  ASSERT_EQ(Lines(comm).size(), 2u);
  EXPECT_TRUE(text::StartsWith(Lines(comm)[1], "<fcol=000000><bcol=FFFFFF>34 - 12:00:01 <b>"));
  // The same number again is a repeat, whatever its text.
  chat->Dispatch(Msg("Mess=12:00:01 <b>bob:</b> two again;Public=1;FrName=bob;Line=1334;"));
  EXPECT_EQ(Lines(comm).size(), 2u);
  // Without a number, tag and lead are all there is: "" and lead repeat.
  chat->Dispatch(Msg("Mess=12:00:02 <b>bob:</b> a;Public=1;FrName=bob;"));
  chat->Dispatch(Msg("Mess=12:00:02 <b>bob:</b> b;Public=1;FrName=bob;"));
  EXPECT_EQ(Lines(comm).size(), 3u);

  // A line leaving the pane takes its own number out of the test, so the
  // newer line with the same tag stays a repeat.
  comm.DeleteStr(">one");
  ASSERT_EQ(Lines(comm).size(), 2u);
  chat->Dispatch(Msg("Mess=12:00:01 <b>bob:</b> two;Public=1;FrName=bob;Line=1334;"));
  EXPECT_EQ(Lines(comm).size(), 2u);
  chat->Dispatch(Msg("Mess=12:00:01 <b>bob:</b> one;Public=1;FrName=bob;Line=1234;"));
  ASSERT_EQ(Lines(comm).size(), 3u);
  EXPECT_TRUE(text::EndsWith(Lines(comm).back(), "one"));
}

// The test keeps only the newest lines in mind, so its memory does not grow
// with the pane: a repeat of a recent line is caught, one of a line far
// older than any repeat a server sends is shown again, and clearing the
// pane forgets the lines it still remembered.
TEST_F(ChatTest, DuplicateTestRemembersTheNewestLinesOnly) {
  const int total = int(session::Dispatcher::kRemembered) + 300;
  auto line = [](int n) {
    return Msg("Mess=12:00:" + std::to_string(n % 60) + " <b>bob:</b> number " + std::to_string(n) +
               ";Public=1;FrName=bob;Line=" + std::to_string(n) + ";");
  };
  for (int n = 1; n <= total; ++n) chat->Dispatch(line(n));
  ASSERT_EQ(Lines(comm).size(), size_t(total));
  chat->Dispatch(line(total));
  chat->Dispatch(line(total - 100));
  EXPECT_EQ(Lines(comm).size(), size_t(total));
  chat->Dispatch(line(1));
  EXPECT_EQ(Lines(comm).size(), size_t(total + 1));
  comm.Clear();
  chat->Dispatch(line(total));
  EXPECT_EQ(Lines(comm).size(), 1u);
  chat->Dispatch(line(total));
  EXPECT_EQ(Lines(comm).size(), 1u);
}

// Through a real chatd: a burst of public messages, far more than 100 in
// one second, reaches the pane whole; the archive chatd replays to a
// newcomer is recognised and not shown twice.
TEST_F(ChatTest, BurstOfPublicMessagesWithinOneSecondIsShownWhole) {
  chatd_test::ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {}, true);
  ASSERT_TRUE(chatd.ok());
  chatd_test::LineClient reader(chatd.chatPort());
  ASSERT_FALSE(reader.Login("reader", "pw").empty());
  chatd_test::LineClient sender(chatd.chatPort());
  ASSERT_FALSE(sender.Login("sender", "pw").empty());
  constexpr int kCount = 300;
  std::string burst;
  for (int i = 0; i < kCount; ++i) burst += "x\xA6Mess=m" + std::to_string(i) + ";\xA6\n";
  ASSERT_TRUE(sender.Send(burst));

  std::map<std::string, int> perLead;
  int received = 0;
  while (received < kCount) {
    const std::optional<std::string> line = reader.ReadLine();
    ASSERT_TRUE(line) << received << " messages came";
    const std::optional<wire::Record> r = chatd_test::AsRecord(*line);
    if (!r || wire::Field(*r, "Public") != "1") continue;
    ++received;
    ++perLead[wire::Field(*r, "Mess").substr(0, wire::Field(*r, "Mess").find(' '))];
    chat->Dispatch(*line);
  }
  int busiest = 0;
  for (const auto& [lead, n] : perLead) busiest = std::max(busiest, n);
  EXPECT_GT(busiest, 100) << "the burst should fill one second";
  std::set<std::string> shown;
  for (const std::string& l : Lines(comm)) shown.insert(l.substr(l.rfind('m')));
  EXPECT_EQ(Lines(comm).size(), size_t{kCount});
  EXPECT_EQ(shown.size(), size_t{kCount});

  // The room archive sent at the next login repeats lines already shown.
  chatd_test::LineClient again(chatd.chatPort());
  std::string number = again.Login("late", "pw");
  ASSERT_FALSE(number.empty());
  for (const std::string& line : again.Sync()) chat->Dispatch(line);
  EXPECT_EQ(Lines(comm).size(), size_t{kCount});
}

TEST_F(ChatTest, HugeOnlineListIsCutWithOneTraceLine) {
  chat->Contacts().friends = {"u3", "far"};
  std::string body;
  const size_t total = OnlineList::kMaxEntries + 1500;
  for (size_t i = 0; i < total; ++i) body += "User=u" + std::to_string(i) + ",Ver=2.8;";
  chat->ShowOnlineList(body);
  const auto rows = Lines(users);
  // Heading, the kept entries, then "far" offline ("u3" is online).
  ASSERT_EQ(rows.size(), 1 + OnlineList::kMaxEntries + 3);
  EXPECT_NE(rows[OnlineList::kMaxEntries].find(" u" + std::to_string(OnlineList::kMaxEntries - 1) + "<"), std::string::npos);
  EXPECT_NE(rows.back().find(" far</nobr>"), std::string::npos);
  ASSERT_EQ(fx.traces.size(), 1u);
  EXPECT_TRUE(text::EndsWith(fx.traces[0], ": 1500"));
  // An entry past the limit is not online for the rest of the program either.
  EXPECT_TRUE(chat->Online().PeerHasGameClient("u3"));
  EXPECT_FALSE(chat->Online().PeerHasGameClient("u" + std::to_string(total - 1)));
  // A list within the limit is no news for the trace.
  chat->ShowOnlineList("User=ann,Ver=2.8;");
  EXPECT_EQ(fx.traces.size(), 1u);
  EXPECT_EQ(chat->Online().DroppedEntries(), 0u);
}

TEST_F(ChatTest, SendingNumbersEscapesAndEchoes) {
  settings.CurrentAckID = 7;
  chat->Say("a|b");
  EXPECT_EQ(fx.sent.back(), "x" + BB + "Mess=a%7cb;Mid=7;" + BB + "\n");
  chat->Addressees().Add("A");
  chat->Addressees().Add("B");
  chat->Say("x" + BB + "y|z");
  EXPECT_EQ(fx.sent.back(), "x" + BB + "Cln=A,B;Mess=x!y!z;Mid=8;" + BB + "\n");
  ASSERT_EQ(Lines(priv).size(), 1u);
  EXPECT_EQ(Lines(priv)[0], "<fcol=000000><bcol=FFFFFF><id=8><pict=-15>" + W("(Послано для <link=\"A,B\"Для A,B:>) ") +
                                "<fcol=000000><bcol=FFFFFF>x!y!z");
  EXPECT_EQ(settings.CurrentAckID, 9);
  // Both addressees became friends; a black-listed one would not.
  EXPECT_EQ(chat->Contacts().friends, (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(chat->Acks().Waiting().size(), 2u);
}

TEST_F(ChatTest, DeliveryStatesChangeTheEchoAndTheArchive) {
  settings.CurrentAckID = 20;
  chat->Addressees().Add("bob");
  chat->Say("one");
  chat->Say("two");
  // A confirmation before the server's Ok changes nothing in the pane.
  chat->Dispatch(Msg("Podtv=1;Mid=20;Cln=bob;"));
  EXPECT_TRUE(text::Contains(Lines(priv)[0], "<pict=-15>"));
  chat->Dispatch(Msg("Status=Ok;Mid=20;Cln=bob;Mess=one;"));
  EXPECT_TRUE(text::StartsWith(Lines(priv)[0], "<fcol=000000><bcol=FFFFFF><id=20><pict=-16>"));
  EXPECT_EQ(Archive().back(), "#ffffff|#000000|<id=20><pict=-16>" + W("(Послано-->bob): ") + "one");
  chat->Dispatch(Msg("Podtv=1;Mid=20;Cln=bob;"));
  EXPECT_TRUE(text::StartsWith(Lines(priv)[0], "<fcol=000000><bcol=FFFFFF><id=20><pict=-17>"));
  // Kept for an offline addressee, later delivered.
  chat->Dispatch(Msg("Status=OkNr;Mid=21;Cln=bob;Mess=two;"));
  EXPECT_TRUE(text::Contains(Lines(priv)[1], "<id=21><pict=-18>"));
  chat->Dispatch(Msg("Podtv=1;Mid=21;Cln=bob;"));
  EXPECT_TRUE(text::Contains(Lines(priv)[1], "<id=21><pict=-17>"));
  EXPECT_TRUE(chat->Acks().Waiting().empty());
  // An Ok nobody waits for changes nothing.
  chat->Dispatch(Msg("Status=Ok;Mid=555;"));
  EXPECT_EQ(Lines(priv).size(), 2u);
}

TEST_F(ChatTest, WaitingMessagesSurviveARestart) {
  settings.CurrentAckID = 30;
  chat->Say("public");
  chat->Addressees().Add("bob");
  chat->Say("private");
  chat->SaveFiles();
  EXPECT_EQ(text::ReadLineFile(programDir + "waitacq.dat"), (std::vector<std::string>{"private", "31", "bob"}));

  priv.Clear();
  ChatController later(settings, ChatPanes{comm, priv, users, towhom, prev}, fx);
  later.LoadFiles();
  ASSERT_EQ(later.Acks().Waiting().size(), 1u);
  later.Dispatch(Msg("Status=Ok;Mid=31;Cln=bob;Mess=private;"));
  ASSERT_EQ(Lines(priv).size(), 1u);  // a new echo line at the end
  EXPECT_TRUE(text::StartsWith(Lines(priv)[0], "<fcol=000000><bcol=FFFFFF><id=31><pict=-16>"));
  later.Dispatch(Msg("Podtv=1;Mid=31;"));
  EXPECT_TRUE(text::StartsWith(Lines(priv)[0], "<fcol=000000><bcol=FFFFFF><id=31><pict=-17>"));
}

TEST_F(ChatTest, OnlineListRowsSectionsAndFriendReaction) {
  chat->Contacts().friends = {"ann", "zed"};
  chat->ConnectionStarting();  // friends online now are no newcomers
  chat->ShowOnlineList("User=ann,Ver=2.8,Sex=w,Sound=1,Inf=T;User=bob,Ver=html5,Sex=m;User=cy,Ver=2.10,Sound=1;User=,Ver=x;");
  auto rows = Lines(users);
  ASSERT_EQ(rows.size(), 7u);
  EXPECT_EQ(rows[0], "<fcol=808000><bcol=FFFFFF><nobr> <b>-- OnLine --</b></nobr>");
  EXPECT_EQ(rows[1], "<fcol=000000><bcol=FFFFFF><nobr><b><link=\"PR\"ann></b><fcol=FF00FF><bcol=FFFFFF> ann <pict=-20> <pict=-12>"
                     "<a href=\"--INFO--ann\"><pict=-22></a></nobr>");
  EXPECT_NE(rows[2].find("<fcol=000000><bcol=FFFFFF> bob <pict=-19></nobr>"), std::string::npos);  // lower-case html: black
  EXPECT_NE(rows[3].find(" cy <pict=-21>"), std::string::npos);  // "2.10" sorts before "2.8"
  EXPECT_EQ(rows[4], "<fcol=000000><bcol=FFFFFF>");
  EXPECT_EQ(rows[5], "<fcol=808000><bcol=FFFFFF><nobr> <b>-- OffLine --</b></nobr>");
  EXPECT_EQ(rows[6], "<fcol=000000><bcol=FFFFFF><nobr><b><link=\"PR\"zed></b><fcol=000000><bcol=FFFFFF> zed</nobr>");
  EXPECT_EQ(fx.fronts, 0);
  // zed logs in later: reaction set 2, once.
  chat->ShowOnlineList("User=ann,Ver=2.8;User=zed,Ver=2.8;");
  EXPECT_EQ(fx.fronts, 1);
  chat->ShowOnlineList("User=ann,Ver=2.8;User=zed,Ver=2.8;");
  EXPECT_EQ(fx.fronts, 1);
  // Audio and game clients come from the field form.
  EXPECT_EQ(chat->Online().ClientInfo("ann"), "");
  chat->ShowOnlineList("User=ann,Ver=2.8,Sound=1;User=web,Ver=HTML,Sound=1;");
  EXPECT_EQ(chat->Online().ClientInfo("ann"), "2.8");
  EXPECT_EQ(chat->Online().ClientInfo("web"), "");
  EXPECT_TRUE(chat->Online().PeerHasGameClient("ann"));
  EXPECT_FALSE(chat->Online().PeerHasGameClient("web"));
  // The compact form: "cp" and "cf" are both this program's clients, with
  // or without a version; only "cf" carries an audio version.
  chat->ShowOnlineList("..ann<cfm2p8>;bob<cp2p8>;cy<cf>;dan<ht1>;e%3bv<cp>;fay<ht>;fay<cp>;g<c>;");
  EXPECT_EQ(chat->Online().ClientInfo("ann"), "2.8");
  EXPECT_EQ(chat->Online().ClientInfo("bob"), "");
  EXPECT_EQ(chat->Online().ClientInfo("cy"), "");
  for (const char* peer : {"ann", "bob", "cy", "e;v", "fay"}) EXPECT_TRUE(chat->Online().PeerHasGameClient(peer)) << peer;
  for (const char* peer : {"dan", "g", "nobody"}) EXPECT_FALSE(chat->Online().PeerHasGameClient(peer)) << peer;
  // Black-listed users are left out only with FilterAll.
  chat->Contacts().blackList = {"web"};
  settings.FilterAll = true;
  chat->ShowOnlineList("User=ann,Ver=2.8;User=web,Ver=HTML;");
  EXPECT_EQ(Lines(users).size(), 2u + 3u);  // heading, ann, blank, heading, zed
}

TEST_F(ChatTest, LinkClicksChooseAddresseesAndWriteAddresses) {
  LineEdit edit;
  edit = chat->LinkAction(W("Для A(12):"), edit, false);
  edit = chat->LinkAction(W("Для B(34):"), edit, false);
  EXPECT_EQ(edit.text, W("Для A(12), B(34): "));
  EXPECT_EQ(edit.caret, static_cast<int>(edit.text.size()));
  EXPECT_EQ(chat->LinkAction(W("Для A(12):"), LineEdit{}, true).text, W("Для A: "));
  settings.Translit = true;
  EXPECT_EQ(chat->LinkAction(W("Для A(12):"), LineEdit{}, false).text, W("[Для A(12):] "));
  LineEdit t = chat->LinkAction(W("Для A(12):"), LineEdit{}, false);
  t = chat->LinkAction(W("Для B(34):"), t, false);
  EXPECT_EQ(t.text, W("[Для A(12), B(34):] "));
  settings.Translit = false;
  // Web addresses open; the same letters in capitals are text.
  EXPECT_EQ(chat->LinkAction("www.example.org", LineEdit{}, false).text, "");
  EXPECT_EQ(chat->LinkAction("WWW.example.org", LineEdit{}, false).text, "WWW.example.org ");
  EXPECT_EQ(OpenableUrl("www.x.ru/" + W("я")), "http://www.x.ru/%FF");
  // The photo links of the own information window change nothing.
  chat->UsersLink("ann", nullptr);
  const LineEdit typed{"hello", 5, 0, 5};
  for (const char* photo : {"--DelPict--1", "--AddPict--3"}) {
    const LineEdit after = chat->LinkAction(photo, typed, false);
    EXPECT_EQ(after.text, "hello") << photo;
    EXPECT_EQ(after.caret, 5) << photo;
    EXPECT_EQ(chat->Addressees().Joined(), "ann") << photo;
  }
  chat->TowhomLink("ann");

  // A name in priv becomes an addressee; towhom removes every copy.
  chat->PrivLink(W("Для bob:"), LineEdit{}, false);
  chat->UsersLink("ann", nullptr);
  chat->UsersLink("bob", nullptr);  // no duplicates from clicks
  EXPECT_EQ(chat->Addressees().Joined(), "bob,ann");
  EXPECT_EQ(Lines(towhom)[0], "<fcol=000000><bcol=FFFFFF><link=\"bob\"bob> <link=\"ann\"ann> ");
  chat->TowhomLink("bob");
  EXPECT_EQ(chat->Addressees().Joined(), "ann");
  // A written address empties the addressee list.
  chat->LinkAction(W("Для A(12):"), LineEdit{}, false);
  EXPECT_TRUE(chat->Addressees().Names().empty());
  // The information link asks the server.
  chat->UsersLink("--INFO--b;b", nullptr);
  EXPECT_EQ(fx.sent.back(), "x" + BB + "GetInfo=1;Cln=b%3bb;" + BB + "\n");
}

TEST_F(ChatTest, WebAddressesInThePrivatePaneOpenAndChooseNoAddressee) {
  LineEdit typed;
  typed.text = "hi ";
  typed.caret = 3;
  const std::string site = "http://example.org/" + W("я");
  for (const std::string& target : {site, std::string("www.x.ru"), std::string("ftp.x.ru"),
                                    std::string("mailto:a@x.ru"), std::string("ftp://x.ru/f")}) {
    const LineEdit after = chat->PrivLink(target, typed, false);
    EXPECT_EQ(after.text, "hi ") << target;
    EXPECT_EQ(after.caret, 3) << target;
  }
  EXPECT_EQ(fx.urls, (std::vector<std::string>{"http://example.org/%FF", "http://www.x.ru", "ftp://ftp.x.ru",
                                               "mailto:a@x.ru", "ftp://x.ru/f"}));
  EXPECT_TRUE(chat->Addressees().Names().empty());
  // Capitals are not an address: a name, as before.
  chat->PrivLink("WWW.x", typed, false);
  EXPECT_EQ(chat->Addressees().Joined(), "WWW.x");
  EXPECT_EQ(fx.urls.size(), 5u);
  // The online list opens its web links with or without a message line.
  LineEdit edit = typed;
  chat->UsersLink("http://a.ru", &edit);
  chat->UsersLink("http://b.ru", nullptr);
  EXPECT_EQ(edit.text, "hi ");
  EXPECT_EQ(fx.urls.back(), "http://b.ru");
  EXPECT_EQ(fx.urls.size(), 7u);
  EXPECT_EQ(chat->Addressees().Joined(), "WWW.x");
  // The WHOIS page opens as links do: bytes above 127 percent-encoded, for
  // an answer that was asked for; one nobody asked for opens nothing.
  chat->Dispatch(Msg("Whois=" + W("Ян") + ";"));
  ASSERT_EQ(fx.urls.size(), 7u);
  chat->Replies().PushWhoisRequest();
  chat->Dispatch(Msg("Whois=" + W("Ян") + ";"));
  ASSERT_EQ(fx.urls.size(), 8u);
  EXPECT_NE(fx.urls.back().find("/perl/whois?form_type=simple&full_query_string=&searchtext="), std::string::npos);
  EXPECT_EQ(fx.urls.back().find('\xDF'), std::string::npos);
  EXPECT_NE(fx.urls.back().find("%DF%ED"), std::string::npos) << fx.urls.back();
}

}  // namespace

namespace {

// Records what the chat hands to audio, pictures and the direct links.
class Media : public window::MediaTraffic {
 public:
  void MediaLine(const std::string& line) override { lines.push_back(line); }
  bool AddressAnswer(const std::string& line) override {
    answers.push_back(line);
    return text::StartsWith(line, "p|linked|");
  }
  void LinkNotice(const std::string& sender) override { notices.push_back(sender); }
  void AudioLink(const std::string& target) override { links.push_back(target); }
  std::vector<std::string> lines, answers, notices, links;
};

TEST_F(ChatTest, MediaTrafficGoesToTheMediaAndAnswersForLinksAreUsedUp) {
  Media media;
  chat->SetMediaTraffic(&media);
  chat->Dispatch("f|bob|0" + std::string("\x0F\x01", 2) + "data");
  chat->Dispatch("f|bob|1");
  EXPECT_EQ(media.lines, (std::vector<std::string>{"f|bob|0" + std::string("\x0F\x01", 2) + "data", "f|bob|1"}));
  EXPECT_TRUE(priv.lines().empty());

  // An answer naming a link is used up; any other reaches the moderator's
  // address queue as before.
  chat->Dispatch("p|linked|127.0.0.3|");
  chat->Dispatch("p|other|127.0.0.4|");
  EXPECT_EQ(media.answers.size(), 2u);

  chat->Dispatch(Msg("Mess=1 <b>bob:</b> DirectLink::TryToConnect;Public=0;FrName=bob;"));
  EXPECT_EQ(media.notices, (std::vector<std::string>{"bob"}));
  EXPECT_TRUE(priv.lines().empty());

  // The action links of audio messages, from the pane and from the archive.
  for (const char* t : {"::Play3", "::Stop3", "::Delt3", "::Save3", "::Arch3-bob"}) chat->PrivLink(t, {}, false);
  chat->LinkAction("12:00 ::PlArbob1", {}, false);
  EXPECT_EQ(media.links,
            (std::vector<std::string>{"::Play3", "::Stop3", "::Delt3", "::Save3", "::Arch3-bob", "::PlArbob1"}));
  EXPECT_TRUE(chat->Addressees().Names().empty());  // no addressee was chosen by them
  chat->SetMediaTraffic(nullptr);
  chat->Dispatch("f|bob|1");  // without media: dropped
  EXPECT_TRUE(priv.lines().empty());
}

}  // namespace
