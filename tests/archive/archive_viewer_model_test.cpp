#include "archive/archive_viewer_model.h"

#include <gtest/gtest.h>

#include <fstream>

#include "temp_dir.h"
#include "text/cp1251.h"
#include "text_download_log.h"

namespace {

using media::ArchiveViewerModel;
using media::ViewLine;
using text::W;

struct RecordingView : media::ArchiveViewerView {
  std::vector<ViewLine> pane;
  int progress = -1;
  bool progressVisible = false;
  bool applyEnabled = false;
  bool searching = false;
  bool shownFromTop = false;
  int continueRequests = 0;
  std::vector<int> progressSeen;
  void ShowLines(const std::vector<ViewLine>& lines, bool fromTop) override {
    pane = lines;
    shownFromTop = fromTop;
  }
  void AddLine(const ViewLine& line) override { pane.push_back(line); }
  void SetProgress(int percent) override {
    progress = percent;
    progressSeen.push_back(percent);
  }
  void SetSearching(bool on) override { searching = on; }
  void ContinueLater() override { ++continueRequests; }
  void SetProgressVisible(bool visible) override { progressVisible = visible; }
  void SetApplyEnabled(bool enabled) override { applyEnabled = enabled; }
  bool Shows(const std::string& markup) const {
    for (const auto& l : pane)
      if (l.markup.find(markup) != std::string::npos) return true;
    return false;
  }
};

struct RecordingHost : media::ArchiveViewerHost {
  std::vector<std::string> linkActions, privateLinks, messageLine;
  int64_t traffic = 0;
  int activity = 0;
  void LinkAction(const std::string& t) override { linkActions.push_back(t); }
  void PrivateLink(const std::string& t) override { privateLinks.push_back(t); }
  void InsertIntoMessageLine(const std::string& t) override { messageLine.push_back(t); }
  void CountTraffic(int64_t bytes) override { traffic += bytes; }
  void DownloadActivity() override { ++activity; }
  std::string CodesToMarkup(const std::string& t) override { return "{" + t + "}"; }
};

class Viewer : public ::testing::Test {
 protected:
  std::unique_ptr<ArchiveViewerModel> Make(int number) {
    media::ArchiveViewerSettings s;
    s.programDir = dir_.Path();
    s.arcViewKb = 10;
    s.chatDir = "http://127.0.0.1:1/cgi-bin/chat/";
    s.zipEnable = true;
    s.userName = "Guest";
    return std::make_unique<ArchiveViewerModel>(number, s, view_, host_, downloads_);
  }
  void WriteArchive(int lines) {
    std::ofstream out(dir_.File("private.arc"), std::ios::binary);
    for (int n = 0; n < lines; ++n)
      out << W("09.12.26 07.05.03 (Ср)¦#ffffff¦#000000¦12:") << n % 60 << " <b>Bob:</b> line " << n
          << (n % 3 ? W(" Вася") : std::string(" Petya")) << " <a href=\"::PlAr" << n << "\">x</a>\n";
  }
  // What the event loop does for a search: one slice per request.
  int Drain(ArchiveViewerModel& viewer) {
    int slices = 0;
    while (viewer.Searching()) {
      EXPECT_GT(view_.continueRequests, 0);
      view_.continueRequests = 0;
      viewer.Continue();
      ++slices;
    }
    return slices;
  }
  TempDir dir_;
  RecordingView view_;
  RecordingHost host_;
  testing_media::DownloadLog downloads_;
};

TEST_F(Viewer, PrivateArchivePagesByKeysAndLinksAndRoutesOtherLinksToThePrivatePane) {
  WriteArchive(2000);
  auto viewer = Make(0);
  viewer->Load();
  ASSERT_GE(view_.pane.size(), 3u);
  EXPECT_TRUE(view_.Shows("line 1999 "));
  EXPECT_EQ(view_.pane.back().markup, W("<b>--- Конец архива ---</b>"));
  EXPECT_TRUE(view_.pane[1].markup.rfind(W("<i>09.12.26 07.05.03 (Ср)</i> 12:"), 0) == 0);
  EXPECT_TRUE(downloads_.started.empty());

  EXPECT_TRUE(viewer->PageUpKey());
  EXPECT_FALSE(view_.Shows("line 1999 "));
  EXPECT_EQ(view_.pane.back().markup, W("<b><link=\"--- Листать вниз (Ctrl+PgDown)---\"Page Down></b>"));
  viewer->LinkClicked("Page Down");
  EXPECT_TRUE(view_.Shows("line 1999 "));
  viewer->LinkClicked("Page Up");
  EXPECT_FALSE(view_.Shows("line 1999 "));
  // At the end the key does nothing but is still the viewer's.
  viewer->LinkClicked("Page Down");
  const auto last = view_.pane;
  EXPECT_TRUE(viewer->PageDownKey());
  EXPECT_EQ(view_.pane, last);

  viewer->LinkClicked("::PlAr7");
  viewer->LinkClicked(W("Для Bob:"));
  EXPECT_EQ(host_.privateLinks, (std::vector<std::string>{"::PlAr7", W("Для Bob:")}));
  EXPECT_TRUE(host_.linkActions.empty());
  viewer->Copied("copied text");
  EXPECT_EQ(host_.messageLine, std::vector<std::string>{"copied text"});
}

TEST_F(Viewer, PrivateFilterFoldsLookAlikesAndApplyIsEnabledByEditsOnly) {
  WriteArchive(150);  // the matching lines fit one page
  auto viewer = Make(0);
  viewer->Load();
  EXPECT_FALSE(view_.applyEnabled);
  viewer->FilterEdited();
  EXPECT_TRUE(view_.applyEnabled);
  viewer->Apply(W("Bacя"));  // Latin B, a, c: matches the Cyrillic spelling
  Drain(*viewer);
  EXPECT_FALSE(view_.applyEnabled);
  ASSERT_GT(view_.pane.size(), 2u);
  for (size_t i = 1; i + 1 < view_.pane.size(); ++i) EXPECT_NE(view_.pane[i].markup.find(W("Вася")), std::string::npos);
  EXPECT_EQ(view_.pane.front().markup, W("<b>--- Начало архива ---</b>"));
  viewer->Apply("");
  EXPECT_TRUE(view_.Shows("Petya"));
}

TEST_F(Viewer, AFilteredSearchRunsInSlicesWithProgressCanBeStoppedAndIgnoresCase) {
  // About 12 MB of lines, one in 4000 naming "Zebra" in some case: the
  // search needs several slices.
  {
    std::ofstream out(dir_.File("private.arc"), std::ios::binary);
    for (int n = 0; n < 120000; ++n)
      out << W("09.12.26 07.05.03 (Ср)¦#ffffff¦#000000¦12:00 <b>Bob:</b> line ") << n << " "
          << (n % 4000 == 7 ? (n % 8000 == 7 ? W("ZEBRA и ВАСЯ") : W("zebra и вася")) : std::string(60, 'w')) << "\n";
  }
  auto viewer = Make(0);
  viewer->Load();
  const auto lastPage = view_.pane;
  viewer->Apply(W("Zebra и Вася"));
  EXPECT_TRUE(viewer->Searching());
  EXPECT_TRUE(view_.searching);
  EXPECT_EQ(view_.pane, lastPage);  // the old page stays until the new one is complete
  // Keys wait for the search.
  EXPECT_TRUE(viewer->PageUpKey());
  EXPECT_TRUE(viewer->Searching());
  EXPECT_GT(Drain(*viewer), 1);
  EXPECT_FALSE(view_.searching);
  EXPECT_EQ(view_.progressSeen.front(), 0);
  EXPECT_GT(view_.progressSeen.back(), 0);
  ASSERT_EQ(view_.pane.size(), 2u + 30u);  // every match: both cases, Latin and Cyrillic
  EXPECT_EQ(view_.pane.front().markup, W("<b>--- Начало архива ---</b>"));

  // Stopped early, the page holds what was found and reaches back as far as
  // the search came: paging up goes on from there.
  viewer->Apply("");
  viewer->Apply("zebra");
  ASSERT_TRUE(viewer->Searching());
  view_.continueRequests = 0;
  viewer->Continue();
  viewer->StopSearch();
  EXPECT_FALSE(viewer->Searching());
  EXPECT_FALSE(view_.searching);
  const size_t found = view_.pane.size() - 2;
  EXPECT_LT(found, 30u);
  EXPECT_EQ(view_.pane.front().markup, W("<b><link=\"--- Листать вверх (Ctrl+PgUp) ---\"Page Up></b>"));
  EXPECT_TRUE(viewer->PageUpKey());
  Drain(*viewer);
  EXPECT_EQ(view_.pane.size() - 2 + found, 30u);
  EXPECT_FALSE(view_.shownFromTop);
  // Paging down shows the top of the new page.
  EXPECT_TRUE(viewer->PageDownKey());
  Drain(*viewer);
  EXPECT_TRUE(view_.shownFromTop);
  EXPECT_EQ(view_.pane.size() - 2, found);
}

TEST_F(Viewer, MissingPrivateArchiveSaysSo) {
  auto viewer = Make(0);
  viewer->Load();
  EXPECT_EQ(view_.pane, std::vector<ViewLine>{ViewLine{W("Архив пуст...")}});
  EXPECT_TRUE(viewer->PageUpKey());
  EXPECT_EQ(view_.pane, std::vector<ViewLine>{ViewLine{W("Архив пуст...")}});
}

TEST_F(Viewer, PublicArchiveDownloadsShowsProgressAndFormatsTheBody) {
  auto viewer = Make(3);
  viewer->Load();
  ASSERT_EQ(downloads_.started.size(), 1u);
  EXPECT_EQ(downloads_.started[0].url, "http://127.0.0.1:1/cgi-bin/chat/arx.cgi?arx=3");
  EXPECT_TRUE(downloads_.started[0].gzip);
  EXPECT_TRUE(viewer->Downloading());
  EXPECT_TRUE(view_.progressVisible);
  EXPECT_EQ(view_.pane, std::vector<ViewLine>{ViewLine{W("Загрузка архива... Пожалуйста, подождите...")}});

  downloads_.Receiver().DownloadProgress(50, -1);
  EXPECT_EQ(view_.progress, 0);
  downloads_.Receiver().DownloadProgress(50, 200);
  EXPECT_EQ(view_.progress, 25);
  downloads_.Receiver().DownloadActivity();
  EXPECT_EQ(host_.activity, 1);

  const std::string body = W("105¦1¦#ffffff¦#000000¦10:00 <b>Ann:</b> hi Guest\n"
                             "106¦1¦white¦black¦10:01 <b>Guest:</b> hi Ann\r\n");
  downloads_.Receiver().DownloadDone(body);
  EXPECT_FALSE(viewer->Downloading());
  EXPECT_FALSE(view_.progressVisible);
  EXPECT_EQ(host_.traffic, static_cast<int64_t>(body.size()));
  ASSERT_EQ(view_.pane.size(), 4u);
  EXPECT_EQ(view_.pane[1].markup,
            W("5 - 10:00 <b><a href=\"Для Ann(5):\"><fcol=0000ff>Ann:</a></b> <fcol=000000><bcol=FFFFFF>{hi Guest}"));
  EXPECT_NE(view_.pane[2].markup.find("<fcol=008000>Guest:</a>"), std::string::npos);
  EXPECT_EQ(view_.pane[3].markup, W("Загрузка архива завершена"));

  // Keys are not the public viewer's; links go to the main window.
  EXPECT_FALSE(viewer->PageUpKey());
  EXPECT_FALSE(viewer->PageDownKey());
  viewer->LinkClicked(W("Для Ann(5):"));
  EXPECT_EQ(host_.linkActions, std::vector<std::string>{W("Для Ann(5):")});
  EXPECT_TRUE(host_.privateLinks.empty());

  // The filter hides lines without a match, look-alike letters folded.
  viewer->Apply(W("Аnn"));  // Cyrillic А
  ASSERT_EQ(view_.pane.size(), 2u);
  viewer->Apply("");
  EXPECT_EQ(view_.pane.size(), 4u);
}

TEST_F(Viewer, FailedPublicDownloadOffersARetryThatStartsAFreshOne) {
  auto viewer = Make(1);
  viewer->Load();
  downloads_.Receiver().DownloadProgress(10, 20);
  downloads_.Receiver().DownloadFailed();
  EXPECT_FALSE(viewer->Downloading());
  EXPECT_EQ(view_.progress, 0);
  EXPECT_FALSE(view_.progressVisible);
  EXPECT_EQ(view_.pane.back().markup, W("<link=\"Попробовать еще раз\"Refresh this window>"));
  EXPECT_EQ(view_.pane[view_.pane.size() - 2].markup, W("Ошибка загрузки архива..."));
  EXPECT_EQ(host_.traffic, 0);

  viewer->LinkClicked("Refresh this window");
  ASSERT_EQ(downloads_.started.size(), 2u);
  EXPECT_EQ(view_.pane, std::vector<ViewLine>{ViewLine{W("Загрузка архива... Пожалуйста, подождите...")}});
  downloads_.Receiver().DownloadDone(W("1¦1¦#ffffff¦#000000¦1 <b>A:</b> a\n"));
  EXPECT_EQ(view_.pane.back().markup, W("Загрузка архива завершена"));

  // A downloader that cannot start at all ends like a failed download.
  downloads_.refuse = true;
  viewer->Load();
  EXPECT_EQ(view_.pane.back().markup, W("<link=\"Попробовать еще раз\"Refresh this window>"));
  EXPECT_FALSE(viewer->Downloading());
}

// A page of megabytes is formatted in slices from the event loop: the
// window answers between them, a filter applied meanwhile holds for the
// rest, and a reload drops what is left.
TEST_F(Viewer, ALargePublicPageIsFormattedInSlices) {
  auto viewer = Make(4);
  viewer->Load();
  std::string body;
  constexpr int kLines = 100000;
  for (int n = 0; n < kLines; ++n)
    body += std::to_string(n) + W("¦1¦#ffffff¦#000000¦10:00 <b>") + (n % 2 ? "Ann" : "Bob") + ":</b> line " +
            std::to_string(n) + "\n";
  view_.continueRequests = 0;
  downloads_.Receiver().DownloadDone(body);
  ASSERT_TRUE(viewer->Formatting());
  EXPECT_TRUE(view_.progressVisible);
  EXPECT_EQ(view_.continueRequests, 1);
  const size_t firstSlice = view_.pane.size();
  EXPECT_LT(firstSlice, size_t(kLines));
  viewer->Apply("Ann");  // only Ann's lines from here on, and those already shown
  int slices = 1;
  while (viewer->Formatting()) {
    view_.continueRequests = 0;
    viewer->Continue();
    ++slices;
  }
  EXPECT_GT(slices, 1);
  EXPECT_FALSE(view_.progressVisible);
  ASSERT_EQ(view_.pane.size(), size_t(kLines / 2));
  for (size_t i = 0; i < view_.pane.size(); ++i)
    ASSERT_NE(view_.pane[i].markup.find("{line " + std::to_string(2 * i + 1) + "}"), std::string::npos) << i;
  viewer->Apply("");
  ASSERT_EQ(view_.pane.size(), size_t(kLines) + 2);  // "loading", every line, "loaded"
  EXPECT_EQ(view_.pane.back().markup, W("Загрузка архива завершена"));

  viewer->Load();
  downloads_.Receiver().DownloadDone(body);
  viewer->Load();  // reload in the middle of formatting
  EXPECT_FALSE(viewer->Formatting());
  EXPECT_EQ(view_.pane, std::vector<ViewLine>{ViewLine{W("Загрузка архива... Пожалуйста, подождите...")}});
}

TEST_F(Viewer, ReloadWhileDownloadingAbandonsTheOldDownload) {
  auto viewer = Make(2);
  viewer->Load();
  viewer->Load();
  ASSERT_EQ(downloads_.started.size(), 2u);
  EXPECT_EQ(downloads_.alive, 1);
  viewer.reset();
  EXPECT_EQ(downloads_.alive, 0);
}

TEST(ArchiveWindows, NumbersCaptionsPlacementAndOneWindowPerNumber) {
  EXPECT_EQ(media::ArchiveNumberOf("0"), 0);
  EXPECT_EQ(media::ArchiveNumberOf("10"), 10);
  EXPECT_FALSE(media::ArchiveNumberOf("11"));
  EXPECT_FALSE(media::ArchiveNumberOf("-1"));
  EXPECT_FALSE(media::ArchiveNumberOf("+1"));
  EXPECT_FALSE(media::ArchiveNumberOf("http://x"));
  EXPECT_FALSE(media::ArchiveNumberOf(""));
  EXPECT_EQ(media::ArchiveWindowOffset(7), 70);
  EXPECT_EQ(media::ArchiveWindowCaption(0, true), W("Архив привата"));
  EXPECT_EQ(media::ArchiveWindowCaption(0, false), "Private archive");
  EXPECT_EQ(media::ArchiveWindowCaption(4, true), W("Архив 4"));
  EXPECT_EQ(media::ArchiveWindowCaption(4, false), "Archive 4");
  EXPECT_EQ(media::ArchiveFilterCaption(true), W("Фильтр:"));
  EXPECT_EQ(media::ArchiveApplyCaption(false), "Apply");

  int a = 0, b = 0;
  media::ArchiveWindowList<int> list;
  EXPECT_TRUE(list.Add(3, &a));
  EXPECT_FALSE(list.Add(3, &b));
  EXPECT_TRUE(list.Add(0, &b));
  EXPECT_EQ(list.Find(3), &a);
  list.Remove(&a);
  EXPECT_EQ(list.Find(3), nullptr);
  EXPECT_EQ(list.All(), std::vector<int*>{&b});
}

}  // namespace
