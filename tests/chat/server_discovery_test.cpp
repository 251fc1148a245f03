// The background remedies of a failing connection: reading announcement
// pages, asking once for a new address, and a session that finds its
// server again after it moved to another port.
#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTemporaryDir>

#include "chatd_process.h"
#include "fixed_metrics.h"
#include "line_client.h"
#include "markup/markup_document.h"
#include "qt_wait.h"
#include "recording_view.h"
#include "session/service_replies.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "text/bytes.h"
#include "text/line_file.h"
#include "chat/server_remedies.h"

using namespace window;

namespace {

const std::string BB = "\xA6";

TEST(Announcement, KeysValuesAndTheMarkers) {
  // A key right after the marker, CR LF endings, blanks around the value.
  const auto a = ReadAnnouncement("<html>BEGIN_INFOsip" + BB + " 10.0.0.7 \r\nport" + BB + "8090\r\nhref" + BB +
                                  "http://h/c/\r\nEND_INFO</html>");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->sip, "10.0.0.7");
  EXPECT_EQ(a->port, 8090);
  EXPECT_EQ(a->href, "http://h/c/");
  // A key found only at the start of a line, not inside another key.
  EXPECT_EQ(AnnouncementValue("xsip" + BB + "no\nsip" + BB + "yes", "sip"), "yes");
  EXPECT_FALSE(AnnouncementValue("xsip" + BB + "no", "sip"));
  // Without a line feed the value is at most 100 characters.
  EXPECT_EQ(AnnouncementValue("href" + BB + std::string(150, 'a'), "href"), std::string(100, 'a'));
  // A missing marker, key or numeric port: no address.
  EXPECT_FALSE(ReadAnnouncement("sip" + BB + "h\nport" + BB + "1\nhref" + BB + "u\nEND_INFO"));
  EXPECT_FALSE(ReadAnnouncement("BEGIN_INFOsip" + BB + "h\nhref" + BB + "u\nEND_INFO"));
  EXPECT_FALSE(ReadAnnouncement("BEGIN_INFOsip" + BB + "h\nport" + BB + "80a\nhref" + BB + "u\nEND_INFO"));
  // Keys after END_INFO do not count.
  EXPECT_FALSE(ReadAnnouncement("BEGIN_INFOsip" + BB + "h\nport" + BB + "1\nEND_INFO\nhref" + BB + "u\n"));
}

int DeadPort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

std::string ChatDirOf(int httpPort) { return "http://127.0.0.1:" + std::to_string(httpPort) + "/cgi-bin/chat/"; }

std::array<std::string, 3> PagesOf(int httpPort) {
  const std::string root = "http://127.0.0.1:" + std::to_string(httpPort);
  return {root + "/a/gloc.html", root + "/b/gloc.html", root + "/c/gloc.html"};
}

class RemediesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    programDir = dir.path().toStdString() + "/";
    settings.Load(programDir);
  }
  std::string IniText() const { return text::ReadWholeFile(programDir + "molvat.ini").value_or(""); }
  // Runs the discovery with these settings and waits until it is over.
  ServerDiscovery& RunDiscovery(const std::string& chatDir, int port, bool answer) {
    const std::string root = session::WebRoot(chatDir);
    return RunDiscovery(chatDir, port, answer, {root + "/a/gloc.html", root + "/b/gloc.html", root + "/c/gloc.html"});
  }
  ServerDiscovery& RunDiscovery(const std::string& chatDir, int port, bool answer,
                                const std::array<std::string, 3>& pages) {
    settings.ChatDir = chatDir;
    settings.DiscoveryPages = pages;
    settings.Port1 = port;
    remedies = std::make_unique<ServerRemedies>(settings, [this, answer] {
      ++questions;
      return answer;
    });
    ServerDiscovery& d = remedies->Discovery();
    d.Start();
    EXPECT_TRUE(d.Busy());
    WaitFor([&] { return d.Found() || !d.Busy(); }, 10000);
    WaitFor([] { return false; }, 300);  // late pages must not ask again
    return d;
  }

  QTemporaryDir dir;
  std::string programDir;
  settings::Settings settings;
  std::unique_ptr<ServerRemedies> remedies;
  int questions = 0;
};

TEST_F(RemediesTest, TheConfiguredAddressIsFoundWithoutAQuestion) {
  chatd_test::ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {}, true);
  ASSERT_TRUE(chatd.ok());
  ServerDiscovery& d = RunDiscovery(ChatDirOf(chatd.httpPort()), chatd.chatPort(), true);
  EXPECT_TRUE(d.Found());
  EXPECT_TRUE(d.Busy());  // found: no second search in this run
  EXPECT_EQ(questions, 0);
}

TEST_F(RemediesTest, ThreePagesNamingAnotherServerAskOnceAndYesStoresIt) {
  chatd_test::ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {"--announce", "127.0.0.2:4321"}, true);
  ASSERT_TRUE(chatd.ok());
  ServerDiscovery& d = RunDiscovery(ChatDirOf(chatd.httpPort()), chatd.chatPort(), true);
  EXPECT_TRUE(d.Found());
  EXPECT_EQ(questions, 1);
  EXPECT_EQ(settings.Server, "127.0.0.2");
  EXPECT_EQ(settings.Port1, 4321);
  const std::string ini = IniText();
  EXPECT_TRUE(text::Contains(ini, "Server=127.0.0.2")) << ini;
  EXPECT_TRUE(text::Contains(ini, "Port1=4321")) << ini;
  EXPECT_TRUE(text::Contains(ini, "ChatDir=" + ChatDirOf(chatd.httpPort()))) << ini;
}

TEST_F(RemediesTest, NoKeepsTheSettingsAndUnreachablePagesChangeNothing) {
  {
    chatd_test::ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {"--announce", "127.0.0.2:4321"}, true);
    ASSERT_TRUE(chatd.ok());
    ServerDiscovery& d = RunDiscovery(ChatDirOf(chatd.httpPort()), chatd.chatPort(), false);
    EXPECT_TRUE(d.Found());
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(settings.Server, "127.0.0.1");
    EXPECT_FALSE(text::Contains(IniText(), "4321"));
  }
  questions = 0;
  const std::string dead = ChatDirOf(DeadPort());
  ServerDiscovery& d = RunDiscovery(dead, 1234, true);
  EXPECT_FALSE(d.Found());
  EXPECT_FALSE(d.Busy());  // the next failure may try again
  EXPECT_EQ(questions, 0);
  EXPECT_EQ(settings.ChatDir, dead);
  EXPECT_EQ(settings.Port1, 1234);
}

TEST_F(RemediesTest, TheAnnouncementPagesAreFoundWhenTheChatSitesWebSideIsDown) {
  // The default pages stay where they are whatever ChatDir says.
  settings::Settings fresh;
  fresh.Load(programDir);
  EXPECT_EQ(fresh.DiscoveryPages[0], "http://127.0.0.1:8081/a/gloc.html");
  EXPECT_EQ(fresh.DiscoveryPages[2], "http://127.0.0.1:8081/c/gloc.html");
  // The keys override them.
  {
    settings::IniFile ini(programDir + "molvat.ini");
    ASSERT_TRUE(ini.Write("Discovery", "Page2", "http://example.invalid/b.html"));
  }
  fresh.Load(programDir);
  EXPECT_EQ(fresh.DiscoveryPages[1], "http://example.invalid/b.html");
  EXPECT_EQ(fresh.DiscoveryPages[0], "http://127.0.0.1:8081/a/gloc.html");

  // The chat site named by ChatDir is gone; the pages elsewhere name the
  // server's new place.
  chatd_test::ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {"--announce", "127.0.0.2:4321"}, true);
  ASSERT_TRUE(chatd.ok());
  const std::string dead = ChatDirOf(DeadPort());
  ServerDiscovery& d = RunDiscovery(dead, 1234, true, PagesOf(chatd.httpPort()));
  EXPECT_TRUE(d.Found());
  EXPECT_EQ(questions, 1);
  EXPECT_EQ(settings.Server, "127.0.0.2");
  EXPECT_EQ(settings.Port1, 4321);
  EXPECT_EQ(settings.ChatDir, ChatDirOf(chatd.httpPort()));
}

TEST_F(RemediesTest, TheRestartRequestRunsOnceAtATime) {
  chatd_test::ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {}, true);
  ASSERT_TRUE(chatd.ok());
  remedies = std::make_unique<ServerRemedies>(settings, [] { return false; });
  RestartRequest& r = remedies->Restart();
  EXPECT_FALSE(r.Pending());
  r.Start(ChatDirOf(chatd.httpPort()));
  EXPECT_TRUE(r.Pending());
  EXPECT_TRUE(WaitFor([&] { return !r.Pending(); }, 10000));
  r.Start(ChatDirOf(DeadPort()));
  EXPECT_TRUE(WaitFor([&] { return !r.Pending(); }, 10000));  // a failure ends it too
  r.Start(ChatDirOf(chatd.httpPort()));
  r.Stop();
  EXPECT_FALSE(r.Pending());
}

// The chat server stops and another takes the room on another port; the
// announcement pages name the new one, and the session's next failure finds
// it, asks once and connects there.
TEST(SessionDiscovery, AMovedServerIsFoundAgainAfterOneQuestion) {
  chatd_test::ChatdProcess first(CHAT_BINARY_DIR "/bin/chatd", {}, true);
  ASSERT_TRUE(first.ok());
  std::string number;
  {
    chatd_test::LineClient c(first.chatPort());
    number = c.Login("mover", "pw");
  }
  // The new server holds the same accounts and serves the pages.
  chatd_test::ChatdProcess moved(CHAT_BINARY_DIR "/bin/chatd", {}, true, first.dataDir());
  ASSERT_TRUE(moved.ok());
  QTemporaryDir dir;
  const std::string programDir = dir.path().toStdString() + "/";
  settings::Settings settings;
  settings.Load(programDir);
  settings.UserName = "mover";
  settings.Password = "pw";
  settings.UserNum = number;
  settings.Port1 = first.chatPort();
  settings.ChatDir = ChatDirOf(moved.httpPort());
  const std::string pages = "http://127.0.0.1:" + std::to_string(moved.httpPort());
  settings.DiscoveryPages = {pages + "/a/gloc.html", pages + "/b/gloc.html", pages + "/c/gloc.html"};
  markup_test::FixedMeasurer measurer;
  markup::MarkupDocument comm{measurer}, priv{measurer}, users{measurer}, towhom{measurer}, prev{measurer};
  for (auto* d : {&comm, &priv, &users, &towhom, &prev}) d->SetViewSize(400, 300);
  RecordingView view;
  view.answer = true;
  ChatSession session(settings, ChatPanes{comm, priv, users, towhom, prev}, view);
  session.Connection().SetRandom([] { return 5; });  // no restart requests here
  session.Start();
  ASSERT_TRUE(WaitFor([&] { return view.online; }, 10000));
  EXPECT_TRUE(view.questions.empty());

  first.Stop();
  ASSERT_TRUE(WaitFor([&] { return !view.online; }, 10000));
  ASSERT_TRUE(WaitFor([&] { return view.online; }, 20000));
  EXPECT_EQ(settings.Port1, moved.chatPort());
  EXPECT_EQ(view.questions, std::vector<std::string>{"New server address found. Change parameters?"});
  bool marked = false;
  for (const auto& line : comm.lines()) marked = marked || text::Contains(line->source, "cs </b>");
  EXPECT_TRUE(marked);
}

}  // namespace
