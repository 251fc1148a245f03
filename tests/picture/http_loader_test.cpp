// The download queue with real downloads from a loopback server, followed
// by decoding and the cache index, as the picture registry will use them.
#include "test_data.h"
#include "picture/http_loader.h"

#include "chatd_process.h"
#include "http/http_download.h"
#include "picture/cache_index.h"
#include "picture/decode_thread.h"
#include "scripted_server.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <map>

using namespace picture;

namespace {

std::string ReadData(const char* name) { return ReadTestData(std::string("pictures/") + name); }

}  // namespace

TEST(HttpPictureLoader, DownloadsDecodesAndEntersTheCache) {
  const std::string root = CHAT_BINARY_DIR "/picture-http-loader-test";
  QDir(QString::fromStdString(root)).removeRecursively();
  CacheIndex cache;
  cache.LoadCacheIndex(root + "/Cache/index.dat", root + "/Cache", 100);

  const std::string gif = ReadData("anim-dispose-mixed.gif");
  ASSERT_FALSE(gif.empty());
  testing_http::ScriptedServer good;
  good.response = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(gif.size()) + "\r\n\r\n" + gif;
  testing_http::ScriptedServer bad;
  bad.response = "HTTP/1.0 200 OK\r\n\r\nthis is no picture";

  std::map<int, std::string> urls;
  std::map<int, bool> downloaded, decoded;
  int activity = 0;
  std::vector<std::string> duplicates;

  QObject gui;
  DecodeThread decoder(DeliverQueued(&gui, [&](DecodeJob& job) {
    decoded[job.picture] = job.image.Loaded();
    cache.OnDecoded(urls[job.picture], job.fileName, job.fromCache, job.image.Loaded(), 100);
  }));
  HttpPictureLoader::Hooks hooks;
  hooks.finished = [&](int picture, const std::string&, const std::string& target, bool ok) {
    downloaded[picture] = ok;
    decoder.Add(target, picture, false);
  };
  hooks.activity = [&](int64_t, int64_t) { ++activity; };
  hooks.duplicate = [&](const std::string& url) { duplicates.push_back(url); };
  HttpPictureLoader loader(std::move(hooks));

  for (int i = 1; i <= 7; ++i) {
    urls[i] = i == 7 ? bad.Url("/broken.gif") : good.Url("/a" + std::to_string(i) + ".gif");
    loader.queue().Queue(i, urls[i], cache.NewLocalFile(urls[i]));
  }
  EXPECT_EQ(loader.queue().Running(), DownloadQueue::kMaxRunning);
  ASSERT_TRUE(testing_http::SpinUntil([&] { return decoded.size() == 7; }));

  EXPECT_TRUE(duplicates.empty());
  EXPECT_EQ(good.Connections(), 6);
  for (int i = 1; i <= 6; ++i) {
    EXPECT_TRUE(downloaded[i]) << i;
    EXPECT_TRUE(decoded[i]) << i;
    ASSERT_TRUE(cache.CachedFile(urls[i])) << i;
  }
  EXPECT_TRUE(downloaded[7]);  // the transfer itself worked
  EXPECT_FALSE(decoded[7]);
  EXPECT_FALSE(cache.CachedFile(urls[7]));
  EXPECT_FALSE(QFile::exists(QString::fromStdString(root + "/Cache/p7.gif")));
  EXPECT_EQ(loader.queue().TrafficIn(), int64_t(6 * gif.size() + 18));
  EXPECT_GE(activity, 14);  // starting and data for every download
  EXPECT_EQ(loader.queue().Size(), 0u);
  QDir(QString::fromStdString(root)).removeRecursively();
}

TEST(HttpPictureLoader, EverySmileyOfTheChatServerDecodes) {
  chatd_test::ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {}, true);
  ASSERT_TRUE(chatd.ok()) << chatd.banner();
  const std::string base = "http://127.0.0.1:" + std::to_string(chatd.httpPort());

  testing_http::NoticeLog log;
  http::HttpDownload list(base + "/cgi-bin/chat/straf.cgi?gol=1", false, &log, log.Handler(), "");
  ASSERT_TRUE(log.WaitFinal());
  std::vector<std::string> urls;
  const std::string body = list.GetData();
  for (size_t at = body.find("http://"); at != std::string::npos; at = body.find("http://", at + 1))
    urls.push_back(body.substr(at, body.find('\n', at) - at));
  ASSERT_GE(urls.size(), 2u);

  CacheIndex cache;
  cache.LoadCacheIndex(chatd.dataDir() + "/client/Cache/index.dat", chatd.dataDir() + "/client/Cache", 100);
  std::map<int, DecodedImage> decoded;
  QObject gui;
  DecodeThread decoder(DeliverQueued(&gui, [&](DecodeJob& job) { decoded[job.picture] = std::move(job.image); }));
  HttpPictureLoader::Hooks hooks;
  hooks.finished = [&](int n, const std::string&, const std::string& target, bool) { decoder.Add(target, n, false); };
  HttpPictureLoader loader(std::move(hooks));
  for (size_t i = 0; i < urls.size(); ++i) loader.queue().Queue(int(i), urls[i], cache.NewLocalFile(urls[i]));
  ASSERT_TRUE(testing_http::SpinUntil([&] { return decoded.size() == urls.size(); }));

  int animated = 0;
  for (const auto& [n, image] : decoded) {
    EXPECT_TRUE(image.Loaded()) << urls[size_t(n)];
    animated += image.Animated();
  }
  EXPECT_GT(animated, 0);
}
