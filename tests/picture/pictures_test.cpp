// The picture registry behind the markup views: numbering, one download and
// one decoding per URL, layout growing from the placeholder, failures, the
// cache across restarts, cancelling, refreshing.
#include "picture/pictures.h"

#include "chatd_process.h"
#include "fixed_metrics.h"
#include "gif_writer.h"
#include "markup/markup_document.h"
#include "markup/view_globals.h"
#include "pictures_fixture.h"
#include "scripted_server.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace picture;
using testing_http::SpinUntil;
using testing_picture::Pane;

namespace {

std::string GifResponse(int w, int h) {
  const std::string gif = testing_picture::MakeGif(w, h, {qRgb(200, 10, 10), qRgb(0, 0, 0)},
                                                   {testing_picture::Solid(0, 0, w, h, 0)});
  return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(gif.size()) + "\r\n\r\n" + gif;
}

int LineHeight(const markup::MarkupLine& line) { return line.Ascents()[0] + line.Descents()[0]; }

}  // namespace

TEST(Pictures, TwoViewsNamingOneUrlShareOneDownloadAndGrowTogether) {
  testing_picture::Folder root("pictures-shared");
  testing_http::ScriptedServer server;
  server.response = GifResponse(40, 30);
  const std::string url = server.Url("/faces/a.gif");
  const std::string other = server.Url("/faces/b.gif");

  Pictures registry;
  registry.LoadCacheIndex(root.path + "/Cache/index.dat", root.path + "/Cache");
  Pane a(registry), b(registry);
  a.doc.NewString("one <img src=\"" + url + "\"> two", 0, 0xFFFFFF);
  a.doc.NewString("below", 0, 0xFFFFFF);
  b.doc.NewString("<img src=" + other + "> and <img src=" + url + ">", 0, 0xFFFFFF);

  EXPECT_EQ(registry.NumberOf(url), 1);
  EXPECT_EQ(registry.NumberOf(other), 2);
  EXPECT_EQ(registry.State(1), markup::PictureState::Pending);
  EXPECT_EQ(LineHeight(*a.doc.lines()[0]), 22);  // the 20 x 20 placeholder
  EXPECT_EQ(a.doc.lines()[1]->top, 22);

  ASSERT_TRUE(SpinUntil([&] { return registry.Decodings() == 2; }));
  EXPECT_EQ(server.Connections(), 2);
  EXPECT_EQ(registry.DownloadsStarted(), 2);
  EXPECT_EQ(registry.State(1), markup::PictureState::Loaded);
  EXPECT_EQ(registry.Width(1), 40);
  EXPECT_EQ(registry.Height(1), 30);
  // Both views laid out again at the real size.
  EXPECT_EQ(LineHeight(*a.doc.lines()[0]), 32);
  EXPECT_EQ(a.doc.lines()[1]->top, 32);
  EXPECT_EQ(LineHeight(*b.doc.lines()[0]), 32);
  EXPECT_EQ(a.doc.ContentHeight(), 32 + 12);
  EXPECT_TRUE(registry.Find(1)->users.empty());
  EXPECT_TRUE(registry.cache().CachedFile(url));

  // A loaded picture outlives the lines naming it and is not fetched again.
  a.doc.Clear();
  b.doc.Clear();
  a.doc.NewString("<img src=" + url + ">", 0, 0xFFFFFF);
  EXPECT_EQ(registry.State(1), markup::PictureState::Loaded);
  EXPECT_EQ(LineHeight(*a.doc.lines()[0]), 32);
  EXPECT_EQ(registry.DownloadsStarted(), 2);
}

TEST(Pictures, APngFailsWithTheRedCrossTellsTheControllerAndRefreshRetriesOnlyIt) {
  testing_picture::Folder root("pictures-failed");
  testing_http::ScriptedServer pngServer, gifServer;
  pngServer.response = "HTTP/1.0 200 OK\r\nContent-Length: 8\r\n\r\n\x89PNG\r\n\x1a\n";
  gifServer.response = GifResponse(8, 8);
  const std::string png = pngServer.Url("/x/photo.png");
  const std::string gif = gifServer.Url("/x/photo.gif");

  testing_picture::ControllerProbe controller;
  {
    Pictures registry;
    controller.Watch(registry);
    registry.LoadCacheIndex(root.path + "/Cache/index.dat", root.path + "/Cache");
    Pane pane(registry);
    pane.doc.NewString("<img src=" + png + "><img src=" + gif + ">", 0, 0xFFFFFF);
    const int n = registry.NumberOf(png);
    EXPECT_EQ(registry.Find(n)->localFile, root.path + "/Cache/p1.png");

    ASSERT_TRUE(SpinUntil([&] { return registry.Decodings() == 2 && controller.failures > 0; }));
    EXPECT_EQ(registry.State(n), markup::PictureState::Failed);
    EXPECT_EQ(registry.Width(n), 20);
    EXPECT_EQ(controller.failures, 1);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(root.path + "/Cache/p1.png")));
    EXPECT_FALSE(registry.cache().CachedFile(png));

    markup_test::RecordingCanvas canvas;
    registry.Draw(n, canvas, 5, 7);
    ASSERT_EQ(canvas.squares.size(), 1u);
    EXPECT_EQ(canvas.squares[0].x, 5);
    EXPECT_EQ(canvas.squares[0].w, 20);
    EXPECT_EQ(canvas.lines, 2);  // the red cross

    // Both bodies counted, with a traffic notice for the lamps; nothing
    // counts as sent.
    ASSERT_TRUE(SpinUntil([&] { return controller.receives > 0; }));
    EXPECT_EQ(controller.in, int64_t(8 + gifServer.response.size() - gifServer.response.find("\r\n\r\n") - 4));
    EXPECT_EQ(controller.out, 0);

    registry.RefreshFailed();
    EXPECT_EQ(registry.State(n), markup::PictureState::Pending);
    ASSERT_TRUE(SpinUntil([&] { return registry.Decodings() == 3; }));
    EXPECT_EQ(pngServer.Connections(), 2);
    EXPECT_EQ(gifServer.Connections(), 1);
    EXPECT_EQ(registry.State(n), markup::PictureState::Failed);
    // Refreshing a picture that is still downloading changes nothing.
    registry.RefreshFailed();
    registry.RefreshFailed();
    EXPECT_EQ(registry.DownloadsQueued(), 1u);
    ASSERT_TRUE(SpinUntil([&] { return registry.Decodings() == 4; }));
    EXPECT_EQ(pngServer.Connections(), 3);
  }
}

TEST(Pictures, TheLastLineGoingAwayCancelsADownloadAndTheNextNamingRestartsIt) {
  testing_http::ScriptedServer silent;
  silent.neverAnswer = true;
  const std::string url = silent.Url("/slow.gif");
  Pictures registry;
  Pane pane(registry);
  pane.doc.NewString("<img src=" + url + ">", 0, 0xFFFFFF);
  pane.doc.NewString("<img src=" + url + ">", 0, 0xFFFFFF);
  ASSERT_TRUE(SpinUntil([&] { return silent.Connections() == 1; }));
  pane.doc.DeleteStr("<img");
  EXPECT_EQ(registry.DownloadsQueued(), 1u);  // the other line still waits
  pane.doc.Clear();
  EXPECT_EQ(registry.DownloadsQueued(), 0u);
  EXPECT_EQ(registry.State(1), markup::PictureState::Pending);

  pane.doc.NewString("again <img src=" + url + ">", 0, 0xFFFFFF);
  EXPECT_EQ(registry.NumberOf(url), 1);
  EXPECT_EQ(registry.DownloadsQueued(), 1u);
  ASSERT_TRUE(SpinUntil([&] { return silent.Connections() == 2; }));
}

TEST(Pictures, TheCacheIndexSurvivesARestartAndExpiresByLifetime) {
  chatd_test::ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {}, true);
  ASSERT_TRUE(chatd.ok()) << chatd.banner();
  const std::string url = "http://127.0.0.1:" + std::to_string(chatd.httpPort()) + "/smileset/1_3.gif";
  const std::string index = chatd.dataDir() + "/client/Cache/index.dat";
  const std::string folder = chatd.dataDir() + "/client/Cache";
  std::vector<std::string> askedFor;
  markup::ViewGlobals::OnLifeTime = [&](const std::string& u) {
    askedFor.push_back(u);
    return 10;
  };

  int width = 0;
  {
    Pictures first;
    first.LoadCacheIndex(index, folder);
    Pane pane(first);
    pane.doc.NewString("<img src=" + url + ">", 0, 0xFFFFFF);
    ASSERT_TRUE(SpinUntil([&] { return first.Decodings() == 1; }));
    ASSERT_EQ(first.State(1), markup::PictureState::Loaded);
    width = first.Width(1);
    EXPECT_EQ(first.DownloadsStarted(), 1);
  }
  ASSERT_TRUE(QFile::exists(QString::fromStdString(index)));
  {
    Pictures second;
    second.LoadCacheIndex(index, folder);
    EXPECT_EQ(askedFor, std::vector<std::string>{url});
    Pane pane(second);
    pane.doc.NewString("<img src=" + url + ">", 0, 0xFFFFFF);
    ASSERT_TRUE(SpinUntil([&] { return second.Decodings() == 1; }));
    EXPECT_EQ(second.DownloadsStarted(), 0);
    EXPECT_TRUE(second.Find(1)->fromCache);
    EXPECT_EQ(second.Width(1), width);
  }
  const std::string cachedFile = folder + "/p1.gif";
  ASSERT_TRUE(QFile::exists(QString::fromStdString(cachedFile)));
  markup::ViewGlobals::OnLifeTime = [](const std::string&) { return 0; };
  {
    Pictures third;
    third.LoadCacheIndex(index, folder);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(cachedFile)));
    Pane pane(third);
    pane.doc.NewString("<img src=" + url + ">", 0, 0xFFFFFF);
    ASSERT_TRUE(SpinUntil([&] { return third.Decodings() == 1; }));
    EXPECT_EQ(third.DownloadsStarted(), 1);
    EXPECT_EQ(third.State(1), markup::PictureState::Loaded);
  }
  markup::ViewGlobals::OnLifeTime = nullptr;
}

TEST(Pictures, TheInstalledRegistryServesEveryViewAndSavesItsIndexWhenRemoved) {
  testing_picture::Folder root("pictures-installed");
  Pictures& installed = InstallPictures();
  EXPECT_EQ(&InstallPictures(), &installed);
  EXPECT_EQ(&markup::ProcessPictureRegistry(), static_cast<markup::PictureRegistry*>(&installed));
  installed.LoadCacheIndex(root.path + "/Cache/index.dat", root.path + "/Cache");
  {
    markup_test::FixedMeasurer measurer;
    markup::MarkupDocument doc(measurer);  // no registry of its own
    doc.NewString("<img src=http://127.0.0.1:1/a.gif>", 0, 0xFFFFFF);
    EXPECT_EQ(installed.NumberOf("http://127.0.0.1:1/a.gif"), 1);
  }
  RemovePictures();
  EXPECT_EQ(InstalledPictures(), nullptr);
  EXPECT_NE(&markup::ProcessPictureRegistry(), static_cast<markup::PictureRegistry*>(&installed));
  QFile index(QString::fromStdString(root.path + "/Cache/index.dat"));
  ASSERT_TRUE(index.open(QIODevice::ReadOnly));
  EXPECT_EQ(index.readAll(), "2\r\n");  // the counter moved past p1.gif; no record yet
}
