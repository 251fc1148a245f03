// What a page from a hostile server may cost: its size and its time.
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "http/http_text_download.h"
#include "qt_wait.h"

namespace {

struct Receiver : media::TextDownloadReceiver {
  int done = 0, failed = 0;
  int64_t most = 0;
  std::string body;
  void DownloadProgress(int64_t bytes, int64_t) override { most = std::max(most, bytes); }
  void DownloadActivity() override {}
  void DownloadDone(const std::string& b) override {
    ++done;
    body = b;
  }
  void DownloadFailed() override { ++failed; }
};

// Answers every request with a header declaring `declared` bytes and then
// `body`, and leaves the connection open.
class PageServer {
 public:
  PageServer(std::string body, int64_t declared) : body_(std::move(body)) {
    head_ = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(declared) + "\r\n\r\n";
    server_.listen(QHostAddress::LocalHost);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      QTcpSocket* s = server_.nextPendingConnection();
      QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
        s->readAll();
        const std::string all = head_ + body_;
        s->write(all.data(), qint64(all.size()));
      });
    });
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(server_.serverPort()) + "/page"; }

 private:
  QTcpServer server_;
  std::string head_, body_;
};

TEST(TextDownloadLimits, APageOverItsBoundFailsAndOneWithinItArrives) {
  QObject context;
  media::HttpTextDownloader downloader(&context, media::TextLimits{int64_t(1) << 20, 30'000});
  {
    PageServer server(std::string(3 << 20, 'x'), 3 << 20);
    Receiver r;
    auto load = downloader.Start(server.Url(), false, r);
    ASSERT_TRUE(load);
    ASSERT_TRUE(WaitFor([&] { return r.done + r.failed > 0; }, 20000));
    EXPECT_EQ(r.failed, 1);
    EXPECT_EQ(r.done, 0);
    WaitFor([] { return false; }, 300);
    EXPECT_EQ(r.failed + r.done, 1);  // the failure is the last report
  }
  PageServer small(std::string(1000, 'y'), 1000);
  Receiver r;
  auto load = downloader.Start(small.Url(), false, r);
  ASSERT_TRUE(WaitFor([&] { return r.done + r.failed > 0; }, 20000));
  EXPECT_EQ(r.done, 1);
  EXPECT_EQ(r.body, std::string(1000, 'y'));
}

TEST(TextDownloadLimits, APageThatNeverEndsFailsAtTheDeadline) {
  QObject context;
  media::HttpTextDownloader downloader(&context, media::TextLimits{int64_t(1) << 20, 1500});
  // Declares more than it ever sends, and keeps the connection open.
  PageServer server("partial", 100000);
  Receiver r;
  auto load = downloader.Start(server.Url(), false, r);
  ASSERT_TRUE(WaitFor([&] { return r.done + r.failed > 0; }, 20000));
  EXPECT_EQ(r.failed, 1);
  EXPECT_EQ(r.done, 0);
}

}  // namespace
