// Window places kept in molvat.ini's [Windows] section: the text forms,
// the move into the screens that exist, and the main window, its splitters
// and the archive viewer put back after a restart.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>
#include <QHelpEvent>
#include <QToolTip>

#include "archive/ui/archive_viewer.h"
#include "window/window_places.h"
#include "window_fixture.h"

namespace {

using window::PlaceRect;

TEST(WindowPlaces, TextFormsAndTheMoveIntoTheScreens) {
  EXPECT_EQ(window::PlaceText({-8, 20, 640, 480}), "-8,20,640,480");
  EXPECT_EQ(window::ParsePlace("-8,20,640,480"), (PlaceRect{-8, 20, 640, 480}));
  for (const char* bad : {"", "1,2,3", "1,2,3,4,5", "1,2,0,4", "1,2,3,-4", "a,2,3,4", "1,,3,4"})
    EXPECT_FALSE(window::ParsePlace(bad)) << bad;
  EXPECT_EQ(window::ParseSizes("200,800", 2), (std::vector<int>{200, 800}));
  EXPECT_FALSE(window::ParseSizes("200,800,5", 2));
  EXPECT_FALSE(window::ParseSizes("0,0", 2));
  EXPECT_FALSE(window::ParseSizes("-1,800", 2));

  const std::vector<PlaceRect> screens = {{0, 0, 1920, 1040}, {1920, 0, 1280, 1000}};
  // Inside: unchanged.  Mostly on the second screen: kept there, pulled in.
  EXPECT_EQ(window::ClampToAreas({100, 100, 800, 600}, screens), (PlaceRect{100, 100, 800, 600}));
  EXPECT_EQ(window::ClampToAreas({2900, 900, 800, 600}, screens), (PlaceRect{2400, 400, 800, 600}));
  // On no screen (a monitor unplugged): onto the first, shrunk to fit.
  EXPECT_EQ(window::ClampToAreas({5000, -3000, 2500, 600}, screens), (PlaceRect{0, 0, 1920, 600}));
  EXPECT_EQ(window::ClampToAreas({5, 5, 10, 10}, {}), (PlaceRect{5, 5, 10, 10}));
}

TEST(WindowPlaces, MainWindowSplittersAndArchiveViewerComeBackWhereTheyWere) {
  WindowFixture w("[Global]\r\nUserName=alice\r\nPassword=pw\r\nUserNum=5\r\n");
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  w.form->ShowAtKeptPlace();
  EXPECT_TRUE(w.form->isMaximized());  // nothing kept yet
  w.form->showNormal();
  w.form->setGeometry(screen.x() + 30, screen.y() + 20, 620, 500);
  auto* right = Find<QSplitter>(*w.form, "RightPanel");
  right->setSizes({150, 250});
  const QList<int> sizes = right->sizes();
  const QPoint mainAt = w.form->pos();  // the frame's corner
  Find<MarkupView>(*w.form, "topright")->Document().DoLink("0");
  media::ArchiveViewer* viewer = media::ArchiveViewer::Find(0);
  ASSERT_NE(viewer, nullptr);
  viewer->move(screen.x() + 70, screen.y() + 60);
  const QPoint archiveAt = viewer->pos();
  w.form->close();
  EXPECT_EQ(media::ArchiveViewer::Find(0), nullptr);
  EXPECT_NE(w.ReadIni().find("[Windows]"), std::string::npos);
  EXPECT_NE(w.ReadIni().find("MainMaximized=0"), std::string::npos);

  w.Restart();
  w.form->ShowAtKeptPlace();
  EXPECT_FALSE(w.form->isMaximized());
  EXPECT_EQ(w.form->pos(), mainAt);
  EXPECT_EQ(w.form->size(), QSize(620, 500));
  EXPECT_EQ(Find<QSplitter>(*w.form, "RightPanel")->sizes(), sizes);
  // Archive 2 opens 20 pixels further than where archive 0 was.
  Find<MarkupView>(*w.form, "topright")->Document().DoLink("2");
  ASSERT_NE(media::ArchiveViewer::Find(2), nullptr);
  EXPECT_EQ(media::ArchiveViewer::Find(2)->pos(), archiveAt + QPoint(20, 20));
  w.form->close();

  // A place beyond every screen comes back inside one.
  std::string ini = w.ReadIni();
  const size_t at = ini.find("Main=");
  ASSERT_NE(at, std::string::npos);
  ini.replace(at, ini.find('\r', at) - at, "Main=9000,9000,620,500");
  FILE* f = fopen((w.programDir + "molvat.ini").c_str(), "wb");
  fwrite(ini.data(), 1, ini.size(), f);
  fclose(f);
  w.Restart();
  w.form->ShowAtKeptPlace();
  EXPECT_TRUE(screen.contains(QRect(w.form->pos(), w.form->size()))) << w.form->pos().x();
}

}  // namespace

namespace {

// Hovering a top-right archive shortcut names the archive it opens.
TEST(MainWindow, ArchiveShortcutsNameTheirArchiveInTheirToolTip) {
  WindowFixture w("[Global]\r\nUserName=alice\r\nPassword=pw\r\nUserNum=5\r\nRussianInterface=1\r\n");
  w.form->show();
  MarkupView* topright = Find<MarkupView>(*w.form, "topright");
  QApplication::processEvents();
  auto tipOver = [&](const std::string& target) {
    const markup::MarkupDocument::Placement placement = topright->Document().PlaceOf(0);
    for (const markup::PlacedBox& box : placement.boxes) {
      if (!box.picture || placement.pieces[size_t(box.piece)].link != target) continue;
      const QPoint at = topright->contentsRect().topLeft() +
                        QPoint(box.x + box.width / 2, box.top - topright->VertScrollPos() + box.height / 2);
      QHelpEvent help(QEvent::ToolTip, at, topright->mapToGlobal(at));
      QApplication::sendEvent(topright, &help);
      return QToolTip::text();
    }
    return QString("no shortcut ") + QString::fromStdString(target);
  };
  EXPECT_EQ(tipOver("0"), QString::fromUtf8("Архив привата"));
  EXPECT_EQ(tipOver("7"), QString::fromUtf8("Архив 7"));
}

}  // namespace
