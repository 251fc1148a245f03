// The viewer's and the smileys window's downloads against the real chat
// server: public archive 1 holds the room's lines, the smiley list replaces
// csmile.dat, and a server that is not there ends in the error lines.
#include <QCoreApplication>
#include <QObject>
#include <QTcpServer>

#include <gtest/gtest.h>

#include "chatd_process.h"
#include "line_client.h"
#include "archive/archive_viewer_model.h"
#include "http/http_text_download.h"
#include "smileys/smileys_model.h"
#include "qt_wait.h"
#include "temp_dir.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "text/line_file.h"

namespace {

using text::W;

struct View : media::ArchiveViewerView, media::SmileysView {
  std::vector<media::ViewLine> pane;
  std::string index;
  std::vector<std::string> pictures;
  void ShowLines(const std::vector<media::ViewLine>& lines, bool) override { pane = lines; }
  void AddLine(const media::ViewLine& line) override { pane.push_back(line); }
  void SetProgress(int) override {}
  void SetProgressVisible(bool) override {}
  void SetApplyEnabled(bool) override {}
  void SetSearching(bool) override {}
  void ContinueLater() override {}
  void ShowIndex(const std::string& line) override { index = line; }
  void ShowPictures(const std::vector<std::string>& lines) override { pictures = lines; }
  bool Shows(const std::string& part) const {
    for (const auto& l : pane)
      if (l.markup.find(part) != std::string::npos) return true;
    return false;
  }
};

struct Host : media::ArchiveViewerHost, media::SmileysHost {
  std::string smileyFile;
  media::SmileyMap table;
  int64_t traffic = 0;
  void LinkAction(const std::string&) override {}
  void PrivateLink(const std::string&) override {}
  void InsertIntoMessageLine(const std::string&) override {}
  void CountTraffic(int64_t bytes) override { traffic += bytes; }
  void DownloadActivity() override {}
  std::string CodesToMarkup(const std::string& t) override { return t; }
  const media::SmileyMap& SmileyTable() const override { return table; }
  void ReloadSmileyTable() override {
    table.clear();
    for (const auto& line : text::ReadLineFile(smileyFile)) {
      const size_t bar = line.find('\xA6');
      if (bar == std::string::npos) break;
      if (auto n = text::ParseInt(line.substr(0, bar))) table[*n] = line.substr(bar + 1);
    }
  }
};

class AgainstChatd : public ::testing::Test {
 protected:
  AgainstChatd() : chatd_(CHAT_BINARY_DIR "/bin/chatd", {}, true), downloader_(&context_) {}
  std::string ChatDir() const {
    return "http://127.0.0.1:" + std::to_string(chatd_.httpPort()) + "/cgi-bin/chat/";
  }
  chatd_test::ChatdProcess chatd_;
  QObject context_;
  media::HttpTextDownloader downloader_;
  TempDir dir_;
  View view_;
  Host host_;
};

TEST_F(AgainstChatd, PublicArchiveOneShowsTheRoomsLines) {
  ASSERT_TRUE(chatd_.ok()) << chatd_.banner();
  chatd_test::LineClient alice(chatd_.chatPort());
  ASSERT_FALSE(alice.Login("Alice", "pw").empty());
  alice.Send("x\xA6Mess=" + W("привет всем %3b") + ";Mid=1;\xA6\n");
  alice.Send("x\xA6Mess=second;Mid=2;\xA6\n");
  alice.Sync();

  media::ArchiveViewerSettings s{dir_.Path(), 60, ChatDir(), true, "Alice"};
  media::ArchiveViewerModel viewer(1, s, view_, host_, downloader_);
  viewer.Load();
  ASSERT_TRUE(WaitFor([&] { return !viewer.Downloading(); }, 15000));
  ASSERT_FALSE(view_.pane.empty());
  EXPECT_EQ(view_.pane.back().markup, W("Загрузка архива завершена"));
  EXPECT_TRUE(view_.Shows(W("<a href=\"Для Alice(")));
  EXPECT_TRUE(view_.Shows("<fcol=008000>Alice:</a></b> "));
  EXPECT_TRUE(view_.Shows(W("привет всем ;")));
  EXPECT_TRUE(view_.Shows("second"));
  for (const auto& l : view_.pane) EXPECT_NE(l.backColor, 0x0000FFu) << l.markup;  // none unformatted
  EXPECT_GT(host_.traffic, 0);
}

TEST_F(AgainstChatd, SmileyListReplacesTheFileAndTheIndex) {
  ASSERT_TRUE(chatd_.ok()) << chatd_.banner();
  host_.smileyFile = dir_.File("csmile.dat");
  media::SmileysModel smileys({dir_.Path(), ChatDir(), false}, view_, host_, downloader_);
  smileys.Show();  // on an empty table the list is fetched by itself
  EXPECT_TRUE(smileys.Downloading());
  smileys.Refresh();  // ignored while that download runs
  ASSERT_TRUE(WaitFor([&] { return !smileys.Downloading(); }, 15000));
  EXPECT_NE(dir_.Get("csmile.dat").find('\xA6'), std::string::npos);
  ASSERT_FALSE(host_.table.empty());
  EXPECT_FALSE(media::SmileyGroups(host_.table).empty());
  ASSERT_EQ(view_.pictures.size(), 1u);
  EXPECT_NE(view_.pictures[0].find("<link='http://127.0.0.1:"), std::string::npos);
}

TEST_F(AgainstChatd, ServerThatIsNotThereGivesTheErrorLinesAndKeepsTheSmileyFile) {
  // A port that was free a moment ago: nothing listens there.
  QTcpServer probe;
  ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
  const std::string deadDir = "http://127.0.0.1:" + std::to_string(probe.serverPort()) + "/cgi-bin/chat/";
  probe.close();

  media::ArchiveViewerSettings s{dir_.Path(), 60, deadDir, false, ""};
  media::ArchiveViewerModel viewer(2, s, view_, host_, downloader_);
  viewer.Load();
  ASSERT_TRUE(WaitFor([&] { return !viewer.Downloading(); }, 40000));
  ASSERT_GE(view_.pane.size(), 2u);
  EXPECT_EQ(view_.pane.back().markup, W("<link=\"Попробовать еще раз\"Refresh this window>"));

  host_.smileyFile = dir_.File("csmile.dat");
  dir_.Put("csmile.dat", W("0¦kept\n"));
  host_.ReloadSmileyTable();
  media::SmileysModel smileys({dir_.Path(), deadDir, false}, view_, host_, downloader_);
  smileys.Refresh();
  ASSERT_TRUE(WaitFor([&] { return !smileys.Downloading(); }, 40000));
  EXPECT_EQ(view_.pictures, std::vector<std::string>{W("Ошибка чтения списка смайлов")});
  EXPECT_EQ(dir_.Get("csmile.dat"), W("0¦kept\n"));
}

TEST_F(AgainstChatd, DestroyingTheViewerMidDownloadDeliversNothingMore) {
  ASSERT_TRUE(chatd_.ok()) << chatd_.banner();
  auto viewer = std::make_unique<media::ArchiveViewerModel>(
      3, media::ArchiveViewerSettings{dir_.Path(), 60, ChatDir(), false, ""}, view_, host_, downloader_);
  viewer->Load();
  viewer.reset();
  view_.pane.clear();
  // Whatever the worker had queued is dropped; the view hears nothing.
  for (int i = 0; i < 50; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_TRUE(view_.pane.empty());
}

}  // namespace
