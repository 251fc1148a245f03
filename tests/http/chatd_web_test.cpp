// Downloads from the web side of the real chat server.
#include "http/http_download.h"

#include "chatd_process.h"
#include "scripted_server.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <optional>

#include <memory>

using namespace http;
using namespace testing_http;

namespace {

struct Fetched {
  std::optional<NoticeKind> final;
  std::string body;
  bool unpacked = false;  // gzip progress was reported
};

Fetched Fetch(const std::string& url, bool gzip, const std::string& target = {}) {
  NoticeLog log;
  auto load = std::make_unique<HttpDownload>(url, gzip, &log, log.Handler(), target);
  Fetched f;
  if (!log.WaitFinal()) return f;
  f.final = log.FinalKind();
  f.body = load->GetData();
  f.unpacked = log.Has(NoticeKind::GzipProgress, 100, 0);
  return f;
}

}  // namespace

TEST(ChatdWeb, PagesPlainAndPackedAndAPictureIntoAFile) {
  chatd_test::ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {}, true);
  ASSERT_TRUE(chatd.ok()) << chatd.banner();
  const std::string base = "http://127.0.0.1:" + std::to_string(chatd.httpPort());

  Fetched status = Fetch(base + "/cgi-bin/chat/zp9.cgi?start=1", false);
  EXPECT_EQ(status.final, NoticeKind::Done);
  EXPECT_EQ(status.body, "OK: chatd is running\n");

  // The server packs what a gzip request accepts; unpacked it is the same.
  Fetched plain = Fetch(base + "/cgi-bin/chat/index1.html", false);
  Fetched packed = Fetch(base + "/cgi-bin/chat/index1.html", true);
  EXPECT_EQ(plain.final, NoticeKind::Done);
  EXPECT_EQ(packed.final, NoticeKind::Done);
  EXPECT_FALSE(plain.unpacked);
  EXPECT_TRUE(packed.unpacked);
  EXPECT_NE(plain.body.find("<h3>"), std::string::npos);
  EXPECT_EQ(packed.body, plain.body);

  // The smiley list names pictures on the same server.
  Fetched list = Fetch(base + "/cgi-bin/chat/straf.cgi?gol=1", true);
  ASSERT_EQ(list.final, NoticeKind::Done);
  size_t from = list.body.find("http://");
  ASSERT_NE(from, std::string::npos) << list.body;
  const std::string picture = list.body.substr(from, list.body.find('\n', from) - from);
  const std::string target = chatd.dataDir() + "/fetched.gif";
  Fetched gif = Fetch(picture, false, target);
  ASSERT_EQ(gif.final, NoticeKind::Done) << picture;
  EXPECT_EQ(gif.body.substr(0, 4), "GIF8");
  QFile file(QString::fromStdString(target));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll().toStdString(), gif.body);

  EXPECT_EQ(Fetch(base + "/smiles/no-such.gif", false).final, NoticeKind::Done);  // a 404 page is a body too
}
