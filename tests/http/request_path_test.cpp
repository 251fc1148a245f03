// Paths with blanks and Windows-1251 letters reach the server intact.
#include "http/http_download.h"
#include "http/http_message.h"

#include "chatd_process.h"
#include "scripted_server.h"
#include "text/cp1251.h"

#include <gtest/gtest.h>

#include <memory>

using namespace http;
using namespace testing_http;

TEST(RequestPath, BlanksHighBytesAndControlBytesAreEscapedOnce) {
  ScriptedServer server;
  server.response = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok";
  const std::string path = "/photos/Bob Smith_1.jpg?a=" + text::W("Вася") + "%20%zz\r\nX: 1";
  NoticeLog log;
  HttpDownload load(server.Url(path), false, &log, log.Handler(), "");
  ASSERT_TRUE(log.WaitFinal());
  EXPECT_EQ(log.FinalKind(), NoticeKind::Done);
  EXPECT_EQ(server.Request(), "GET /photos/Bob%20Smith_1.jpg?a=%C2%E0%F1%FF%20%zz%0D%0AX:%201 HTTP/1.0\nHost: 127.0.0.1:" +
                                  std::to_string(server.Port()) + "\n\n");
}

TEST(RequestPath, PhotoOfAUserWithABlankInTheNameDownloadsFromChatd) {
  chatd_test::ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {"--bot", "Робот Вася"}, true);
  ASSERT_TRUE(chatd.ok()) << chatd.banner();
  const std::string url =
      "http://127.0.0.1:" + std::to_string(chatd.httpPort()) + "/photos/" + text::W("Робот Вася") + "_1.jpg";
  NoticeLog log;
  HttpDownload load(url, false, &log, log.Handler(), "");
  ASSERT_TRUE(log.WaitFinal());
  ASSERT_EQ(log.FinalKind(), NoticeKind::Done);
  const std::string body = load.GetData();
  ASSERT_GE(body.size(), 4u);
  EXPECT_EQ(body.substr(0, 2), "\xFF\xD8");  // a JPEG, not an error page
}
