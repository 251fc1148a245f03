// The archive viewer and the smileys windows over their real models, real
// files and a loopback HTTP peer: what reaches the panes, which keys and
// links the windows pass on, and how many windows exist.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <fstream>

#include <gtest/gtest.h>

#include "markup/ui/find_bar.h"
#include "markup/ui/markup_view.h"
#include "archive/ui/archive_viewer.h"
#include "http/http_text_download.h"
#include "smileys/smiley_list_fetch.h"
#include "smileys/ui/smileys_window.h"
#include "qt_wait.h"
#include "scripted_server.h"
#include "temp_dir.h"
#include "text/bytes.h"
#include "text/cp1251.h"

namespace {

using media::ArchiveViewer;
using media::SmileysWindow;
using text::W;

std::vector<std::string> Lines(markup::MarkupView* pane) {
  std::vector<std::string> out;
  for (const auto& line : pane->Document().lines()) out.push_back(line->source);
  return out;
}

bool Has(markup::MarkupView* pane, const std::string& part) {
  for (const std::string& l : Lines(pane))
    if (text::Contains(l, part)) return true;
  return false;
}


struct Host : media::ArchiveViewerHost, media::SmileysHost {
  std::vector<std::string> linkActions, privateLinks, inserted;
  media::SmileyMap table;
  int reloads = 0;
  void LinkAction(const std::string& t) override { linkActions.push_back(t); }
  void PrivateLink(const std::string& t) override { privateLinks.push_back(t); }
  void InsertIntoMessageLine(const std::string& t) override { inserted.push_back(t); }
  void CountTraffic(int64_t) override {}
  void DownloadActivity() override {}
  std::string CodesToMarkup(const std::string& t) override { return t; }
  const media::SmileyMap& SmileyTable() const override { return table; }
  void ReloadSmileyTable() override { ++reloads; }
};

std::string HttpOk(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body;
}

class MediaWindows : public ::testing::Test {
 protected:
  MediaWindows() : downloader_(&context_) {}
  ~MediaWindows() override {
    ArchiveViewer::CloseAll();
    SmileysWindow::CloseCurrent();
  }
  media::ArchiveViewerContext Context(const std::string& chatDir = "http://127.0.0.1:1/cgi-bin/chat/") {
    media::ArchiveViewerContext c;
    c.settings.programDir = dir_.Path();
    c.settings.arcViewKb = 1;
    c.settings.chatDir = chatDir;
    c.settings.userName = "Guest";
    return c;
  }
  void WriteArchive(int lines) {
    std::ofstream out(dir_.File("private.arc"), std::ios::binary);
    for (int n = 0; n < lines; ++n)
      out << W("09.12.26 07.05.03 (Ср)¦#ffffff¦#000000¦12:00 <b>Bob:</b> line ") << n
          << (n % 2 ? " apple" : " pear") << "\n";
  }
  ArchiveViewer* Open(int number, const media::ArchiveViewerContext& c) {
    ArchiveViewer* v = ArchiveViewer::Open(number, c, host_, downloader_);
    return v;
  }
  TempDir dir_;
  QObject context_;
  media::HttpTextDownloader downloader_;
  Host host_;
};

TEST_F(MediaWindows, PrivateViewerPagesByCtrlKeysFromAnyControlAndFilters) {
  WriteArchive(200);
  ArchiveViewer* v = Open(0, Context());
  markup::MarkupView* ht = v->Pane();
  ASSERT_TRUE(WaitFor([&] { return Has(ht, "line 199 "); }));
  EXPECT_EQ(v->windowTitle(), QString::fromUtf8("Архив привата"));
  EXPECT_EQ(v->findChild<QLabel*>("FilterLab")->text(), QString::fromUtf8("Фильтр:"));
  EXPECT_TRUE(v->findChild<QProgressBar*>("Progress")->isHidden());
  EXPECT_TRUE(text::EndsWith(Lines(ht).back(), W("<b>--- Конец архива ---</b>")));

  // Ctrl+PgUp typed into the filter edit still pages: the window sees it first.
  auto* filter = v->findChild<QLineEdit*>("Filter");
  QTest::keyClick(filter, Qt::Key_PageUp, Qt::ControlModifier);
  EXPECT_FALSE(Has(ht, "line 199 "));
  EXPECT_TRUE(text::EndsWith(Lines(ht).back(), W("<b><link=\"--- Листать вниз (Ctrl+PgDown)---\"Page Down></b>")));
  const int bottom = ht->Document().VertScrollPos();
  EXPECT_GT(bottom, 0);  // a page reached upward shows its end
  QTest::keyClick(ht, Qt::Key_PageDown, Qt::ControlModifier);
  EXPECT_TRUE(Has(ht, "line 199 "));
  EXPECT_EQ(ht->Document().VertScrollPos(), 0);  // and one reached downward its top
  // The link is handled once the pane's click is over.
  ht->Document().DoLink("Page Up");
  ASSERT_TRUE(WaitFor([&] { return !Has(ht, "line 199 "); }));

  auto* apply = v->findChild<QPushButton*>("Apply");
  EXPECT_FALSE(apply->isEnabled());
  filter->setText("apple");
  EXPECT_TRUE(apply->isEnabled());
  apply->click();
  ASSERT_TRUE(WaitFor([&] { return !v->Model().Searching(); }));
  EXPECT_FALSE(apply->isEnabled());
  EXPECT_TRUE(v->findChild<QProgressBar*>("Progress")->isHidden());
  bool anyApple = false;
  for (const std::string& l : Lines(ht)) {
    if (text::Contains(l, "line ")) {
      EXPECT_TRUE(text::Contains(l, "apple")) << l;
    }
    anyApple = anyApple || text::Contains(l, "apple");
  }
  EXPECT_TRUE(anyApple);
  // Enter applies the filter too, whatever the case of its letters.
  filter->setText("PEAR");
  QTest::keyClick(filter, Qt::Key_Return);
  ASSERT_TRUE(WaitFor([&] { return !v->Model().Searching() && Has(ht, " pear"); }));
  EXPECT_FALSE(Has(ht, "apple"));

  ht->Document().DoLink(W("Для Bob:"));
  ASSERT_TRUE(WaitFor([&] { return !host_.privateLinks.empty(); }));
  EXPECT_EQ(host_.privateLinks, std::vector<std::string>{W("Для Bob:")});
  EXPECT_TRUE(host_.linkActions.empty());
}

// The find bar of the other windows: Ctrl+F, typing finds and scrolls the
// match into view, Enter and Shift+Enter step, Escape gives the pane back.
TEST_F(MediaWindows, CtrlFFindsInThePageAndStepsThroughTheMatches) {
  WriteArchive(200);
  media::ArchiveViewerContext c = Context();
  c.settings.arcViewKb = 10;
  ArchiveViewer* v = Open(0, c);
  markup::MarkupView* ht = v->Pane();
  ASSERT_TRUE(WaitFor([&] { return Has(ht, "line 199 "); }));
  v->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(v));
  ht->setFocus();
  markup::FindBar* bar = v->Finder();
  ASSERT_TRUE(bar->isHidden());
  QTest::keyClick(ht, Qt::Key_F, Qt::ControlModifier);
  ASSERT_TRUE(bar->isVisible());
  EXPECT_EQ(bar->Pane(), ht);
  EXPECT_TRUE(bar->Field()->hasFocus());
  for (QToolButton* button : bar->findChildren<QToolButton*>())  // the field's clear button too
    EXPECT_FALSE(button->accessibleName().isEmpty()) << button->objectName().toStdString();

  markup::MarkupDocument& doc = ht->Document();
  auto matchLine = [&]() -> long {
    return ht->CurrentMatch() ? static_cast<long>(ht->CurrentMatch()->at.line) : -1;
  };
  auto shown = [&](long line) {
    const int top = doc.lines()[size_t(line)]->top;
    return top >= doc.VertScrollPos() && top < doc.VertScrollPos() + doc.ClientHeight();
  };
  QTest::keyClicks(bar->Field(), "LINE 80 ");  // far above the shown end of the page
  ASSERT_GE(matchLine(), 0);
  EXPECT_TRUE(text::Contains(doc.lines()[size_t(matchLine())]->source, "line 80 "));
  EXPECT_TRUE(shown(matchLine()));

  bar->Field()->setText("apple");
  const long first = matchLine();
  ASSERT_GE(first, 0);
  QTest::keyClick(bar->Field(), Qt::Key_Return);
  EXPECT_EQ(matchLine(), first + 2);  // every other line is an apple
  QTest::keyClick(bar->Field(), Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_EQ(matchLine(), first);
  EXPECT_TRUE(shown(first));

  QTest::keyClick(bar->Field(), Qt::Key_Escape);
  EXPECT_TRUE(bar->isHidden());
  EXPECT_TRUE(ht->FindText().empty());
  // The paging keys still reach the window with the bar there.
  QTest::keyClick(ht, Qt::Key_PageUp, Qt::ControlModifier);
  EXPECT_FALSE(Has(ht, "line 199 "));
}

TEST_F(MediaWindows, OneWindowPerNumberOffsetByTenPixelsAndClosingForgetsIt) {
  WriteArchive(3);
  ArchiveViewer* first = Open(0, Context());
  ArchiveViewer* third = Open(3, Context());
  EXPECT_NE(first, third);
  EXPECT_EQ(Open(0, Context()), first);
  EXPECT_EQ(ArchiveViewer::OpenViewers().size(), 2u);
  EXPECT_EQ(third->pos() - first->pos(), QPoint(30, 30));
  first->close();  // deleted on close
  ASSERT_TRUE(WaitFor([&] { return ArchiveViewer::Find(0) == nullptr; }));
  EXPECT_EQ(ArchiveViewer::OpenViewers(), std::vector<ArchiveViewer*>{third});
  ArchiveViewer::CloseAll();
  EXPECT_TRUE(ArchiveViewer::OpenViewers().empty());
}

TEST_F(MediaWindows, PublicViewerLoadsWithProgressFailsWithRetryAndKeysAreNotItsOwn) {
  testing_http::ScriptedServer server;
  server.response = "";  // the peer hangs up without an answer
  media::ArchiveViewerContext c = Context(server.Url("/cgi-bin/chat/"));
  c.russian = false;
  ArchiveViewer* v = Open(1, c);
  markup::MarkupView* ht = v->Pane();
  EXPECT_EQ(v->windowTitle(), "Archive 1");
  EXPECT_EQ(v->findChild<QPushButton*>("Apply")->text(), "Apply");
  // While loading the bar stands in the filter's place.
  EXPECT_FALSE(v->findChild<QProgressBar*>("Progress")->isHidden());
  EXPECT_TRUE(v->findChild<QLineEdit*>("Filter")->isHidden());
  ASSERT_TRUE(WaitFor([&] { return Has(ht, W("Попробовать еще раз")); }));
  EXPECT_TRUE(text::Contains(server.Request(), "GET /cgi-bin/chat/arx.cgi?arx=1 "));
  EXPECT_TRUE(Has(ht, W("Ошибка загрузки архива...")));
  // A failed load hides its bar and gives the filter back.
  EXPECT_TRUE(v->findChild<QProgressBar*>("Progress")->isHidden());
  EXPECT_FALSE(v->findChild<QLineEdit*>("Filter")->isHidden());

  server.response = HttpOk(W("123¦x¦#ffffff¦#000000¦12:30 <b>Guest:</b> hi\n"
                             "124¦x¦white¦black¦12:31 <b>Ann:</b> hi Guest\n"));
  ht->Document().DoLink("Refresh this window");
  ASSERT_TRUE(WaitFor([&] { return Has(ht, W("Загрузка архива завершена")); }));
  EXPECT_EQ(server.Requests().size(), 2u);
  EXPECT_TRUE(Has(ht, W("23 - 12:30 <b><a href=\"Для Guest(23):\"><fcol=008000>Guest:</a></b> ")));
  EXPECT_TRUE(Has(ht, W("<a href=\"Для Ann(24):\"><fcol=0000ff>Ann:</a>")));
  EXPECT_TRUE(v->findChild<QProgressBar*>("Progress")->isHidden());
  EXPECT_FALSE(v->findChild<QLineEdit*>("Filter")->isHidden());

  const auto before = Lines(ht);
  QTest::keyClick(ht, Qt::Key_PageUp, Qt::ControlModifier);
  EXPECT_EQ(Lines(ht), before);
  ht->Document().DoLink(W("Для Ann(24):"));
  ASSERT_TRUE(WaitFor([&] { return !host_.linkActions.empty(); }));
  EXPECT_EQ(host_.linkActions, std::vector<std::string>{W("Для Ann(24):")});
  // Closing mid-download is safe: the model drops the download first.
  ht->Document().DoLink("Refresh this window");
  QApplication::processEvents();
  delete v;
  EXPECT_TRUE(ArchiveViewer::OpenViewers().empty());
}

TEST_F(MediaWindows, SmileysWindowShowsGroupsInsertsCodesAndEscapeClosesIt) {
  host_.table = {{0, "http://h/0.gif"}, {1, "http://h/1.gif"}, {105, "http://h/105.gif"},
                 {200, "http://h/200.gif"}, {201, "http://h/201.gif"}};
  SmileysWindow* w = SmileysWindow::Open({dir_.Path(), "http://127.0.0.1:1/cgi-bin/chat/", false}, true, host_,
                                         downloader_);
  EXPECT_EQ(SmileysWindow::Open({dir_.Path(), "", false}, true, host_, downloader_), w);
  EXPECT_EQ(w->windowTitle(), QString::fromUtf8("Дополнительные смайлы"));
  const std::vector<std::string> index = Lines(w->IndexPane());
  ASSERT_EQ(index.size(), 1u);
  EXPECT_TRUE(text::Contains(index[0], "<link='http://h/0.gif'0>"));
  EXPECT_TRUE(text::Contains(index[0], "<link='http://h/200.gif'2>"));
  EXPECT_FALSE(text::Contains(index[0], "'1>"));  // no entry 100: no group 1
  EXPECT_EQ(Lines(w->PicturePane()).size(), 1u);  // group 0
  EXPECT_FALSE(Has(w->PicturePane(), "201.gif"));

  w->IndexPane()->Document().DoLink("-1");
  ASSERT_TRUE(WaitFor([&] { return Lines(w->PicturePane()).size() == 2; }));
  EXPECT_TRUE(text::Contains(Lines(w->PicturePane())[1], "<link='http://h/201.gif'201>"));
  EXPECT_FALSE(Has(w->PicturePane(), "105.gif"));
  w->IndexPane()->Document().DoLink("2");
  ASSERT_TRUE(WaitFor([&] { return !Has(w->PicturePane(), "0.gif'0>"); }));

  w->PicturePane()->Document().DoLink("201");
  ASSERT_TRUE(WaitFor([&] { return !host_.inserted.empty(); }));
  EXPECT_EQ(host_.inserted, std::vector<std::string>{":u201:"});

  QTest::keyClick(w->PicturePane(), Qt::Key_Escape);
  ASSERT_TRUE(WaitFor([] { return SmileysWindow::Current() == nullptr; }));
}

TEST_F(MediaWindows, SmileyRefreshFailureKeepsTheListAndClickingAgainRetries) {
  testing_http::ScriptedServer server;
  server.response = HttpOk("<html>no list here</html>");
  host_.table = {{0, "http://h/0.gif"}};
  std::ofstream(dir_.File("csmile.dat"), std::ios::binary) << W("0¦http://h/0.gif\n");
  SmileysWindow* w = SmileysWindow::Open({dir_.Path(), server.Url("/cgi-bin/chat/"), false}, false, host_,
                                         downloader_);
  EXPECT_EQ(w->windowTitle(), "Additional smiles");
  w->IndexPane()->Document().DoLink("read");
  ASSERT_TRUE(WaitFor([&] { return Has(w->PicturePane(), W("Ошибка чтения списка смайлов")); }));
  EXPECT_TRUE(text::Contains(server.Request(), "GET /cgi-bin/chat/straf.cgi?gol=1 "));
  EXPECT_EQ(host_.reloads, 0);
  std::ifstream in(dir_.File("csmile.dat"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), W("0¦http://h/0.gif\n"));

  server.response = HttpOk(W("0¦http://h/new0.gif\n7¦http://h/new7.gif\n"));
  w->IndexPane()->Document().DoLink("read");
  ASSERT_TRUE(WaitFor([&] { return host_.reloads == 1; }));
  std::ifstream again(dir_.File("csmile.dat"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(again), {}), W("0¦http://h/new0.gif\n7¦http://h/new7.gif\n"));
}

// A shown line with a smiley the table lacks fetches the list, at most once
// an hour; a line without one fetches nothing.
TEST_F(MediaWindows, AMissingSmileyFetchesTheListAtMostHourly) {
  testing_http::ScriptedServer server;
  server.response = HttpOk(W("0¦http://h/0.gif\n7¦http://h/7.gif\n"));
  int64_t now = 50000;
  media::SmileyListFetch fetch(host_, downloader_, [&] { return now; });
  const media::SmileysSettings settings{dir_.Path(), server.Url("/cgi-bin/chat/"), false};
  fetch.LineShown(W("<fcol=000000><bcol=FFFFFF>12 - 12:00 <b>Ann:</b> hi <img src=http://h/0.gif>"), settings);
  EXPECT_EQ(fetch.Started(), 0);
  fetch.LineShown(W("<fcol=000000><bcol=FFFFFF>13 - 12:01 <b>Ann:</b> look <img src=>"), settings);
  EXPECT_EQ(fetch.Started(), 1);
  ASSERT_TRUE(WaitFor([&] { return host_.reloads == 1; }));
  EXPECT_TRUE(text::Contains(server.Request(), "GET /cgi-bin/chat/straf.cgi?gol=1 "));
  std::ifstream in(dir_.File("csmile.dat"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), W("0¦http://h/0.gif\n7¦http://h/7.gif\n"));

  now += media::SmileyListFetch::kIntervalSeconds - 1;
  fetch.LineShown("again <img src=>", settings);
  EXPECT_EQ(fetch.Started(), 1);
  now += 1;
  server.response = HttpOk("<html>busy</html>");  // not a list: the old one stays
  fetch.LineShown("again <img src=>", settings);
  EXPECT_EQ(fetch.Started(), 2);
  ASSERT_TRUE(WaitFor([&] { return !fetch.Downloading(); }));
  EXPECT_EQ(host_.reloads, 1);
  EXPECT_EQ(server.Requests().size(), 2u);
}

// The smileys window opened on an empty table loads the list by itself.
TEST_F(MediaWindows, SmileysWindowOnAnEmptyTableLoadsTheList) {
  testing_http::ScriptedServer server;
  server.response = HttpOk(W("0¦http://h/0.gif\n"));
  SmileysWindow::Open({dir_.Path(), server.Url("/cgi-bin/chat/"), false}, true, host_, downloader_);
  ASSERT_TRUE(WaitFor([&] { return host_.reloads == 1; }));
  EXPECT_TRUE(text::Contains(server.Request(), "GET /cgi-bin/chat/straf.cgi?gol=1 "));
}

}  // namespace
