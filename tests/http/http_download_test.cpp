#include "http/http_download.h"

#include "scripted_server.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTcpServer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

using namespace http;
using namespace testing_http;

namespace {

// Each test gets a private temporary directory, so "ZLB" files left behind
// by a download are visible.
class Download : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    tmp_ = QString(CHAT_BINARY_DIR "/http-test-tmp/") + info->name();
    QDir(tmp_).removeRecursively();
    QDir().mkpath(tmp_);
    setenv("TMPDIR", tmp_.toLocal8Bit().constData(), 1);
  }
  void TearDown() override {
    unsetenv("TMPDIR");
    QDir(tmp_).removeRecursively();
  }
  QStringList ZlbFiles() const { return QDir(tmp_).entryList({"ZLB*"}, QDir::Files); }
  std::string TmpPath(const char* name) const { return (tmp_ + "/" + name).toStdString(); }
  std::unique_ptr<HttpDownload> Start(const std::string& url, bool gzip, NoticeLog& log,
                                       const std::string& target = {}) {
    return std::make_unique<HttpDownload>(url, gzip, &log, log.Handler(), target);
  }
  static std::string ReadFile(const std::string& path) {
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly)) return "<missing>";
    return f.readAll().toStdString();
  }
  QString tmp_;
};

std::string Ok(const std::string& extraHeaders, const std::string& body) {
  return "HTTP/1.0 200 OK\r\n" + extraHeaders + "\r\n" + body;
}

}  // namespace

TEST_F(Download, SendsExactRequestBytesAndDeliversBody) {
  ScriptedServer server;
  server.response = Ok("Content-Length: 5\r\n", "hello");
  NoticeLog log;
  auto load = Start(server.Url("/a.gif"), false, log);
  ASSERT_TRUE(log.WaitFinal());
  EXPECT_EQ(log.FinalKind(), NoticeKind::Done);
  EXPECT_EQ(server.Request(), "GET /a.gif HTTP/1.0\nHost: 127.0.0.1:" + std::to_string(server.Port()) + "\n\n");
  EXPECT_EQ(load->GetData(), "hello");
  EXPECT_EQ(load->Bytes(), 5);
  // Starting, then data with progress against the declared length.
  ASSERT_FALSE(log.notices.empty());
  EXPECT_EQ(log.notices.front().kind, NoticeKind::Activity);
  EXPECT_EQ(log.notices.front().w, 1);
  EXPECT_TRUE(log.Has(NoticeKind::Progress, 5, 5));
  EXPECT_TRUE(log.Has(NoticeKind::Activity, 0, 1));
  for (const auto& n : log.notices) EXPECT_EQ(n.id, load->Id());
}

TEST_F(Download, GzipRequestAndUnpackedBodyInMemory) {
  ScriptedServer server;
  std::string plain;
  for (int i = 0; i < 5000; ++i) plain += "line " + std::to_string(i) + "\n";
  std::string packed = Gzip(plain);
  server.response = Ok("Content-Length: " + std::to_string(packed.size()) +
                           "\r\nContent-Encoding: gzip\r\n", packed);
  NoticeLog log;
  auto load = Start(server.Url("/arx.cgi?arx=1"), true, log);
  ASSERT_TRUE(log.WaitFinal());
  EXPECT_EQ(log.FinalKind(), NoticeKind::Done);
  EXPECT_EQ(server.Request(), "GET /arx.cgi?arx=1 HTTP/1.1\nAccept-Encoding: gzip\nHost: 127.0.0.1:" +
                                  std::to_string(server.Port()) + "\n\n");
  EXPECT_EQ(load->GetData(), plain);
  EXPECT_EQ(load->Bytes(), int64_t(plain.size()));
  EXPECT_TRUE(log.Has(NoticeKind::GzipProgress, 100, 0));
  int last = 0;
  for (const auto& n : log.notices)
    if (n.kind == NoticeKind::GzipProgress) {
      EXPECT_EQ(n.w % 5, 0);
      EXPECT_GT(n.w, last);
      last = int(n.w);
    }
  EXPECT_TRUE(ZlbFiles().isEmpty());
}

TEST_F(Download, GzipIntoTargetFileLeavesDataInFileAndBody) {
  ScriptedServer server;
  std::string plain(30000, 'z');
  std::string packed = Gzip(plain);
  server.response = Ok("Content-Encoding: gzip\r\n", packed);  // ends with the close
  NoticeLog log;
  std::string target = TmpPath("p1.gif");
  auto load = Start(server.Url("/p.gif"), true, log, target);
  ASSERT_TRUE(log.WaitFinal());
  EXPECT_EQ(log.FinalKind(), NoticeKind::Done);
  EXPECT_EQ(ReadFile(target), plain);
  EXPECT_EQ(load->GetData(), plain);
  EXPECT_TRUE(ZlbFiles().isEmpty());

  ScriptedServer plainServer;  // and a plain body into a target file
  plainServer.response = Ok("Content-Length: 5\r\n", "\x01\x02\x03\x04\x05");
  NoticeLog log2;
  auto load2 = Start(plainServer.Url("/x.jpg"), false, log2, TmpPath("p2.jpg"));
  ASSERT_TRUE(log2.WaitFinal());
  EXPECT_EQ(log2.FinalKind(), NoticeKind::Done);
  EXPECT_EQ(ReadFile(TmpPath("p2.jpg")), "\x01\x02\x03\x04\x05");
}

TEST_F(Download, BrokenGzipFailsAndRemovesFiles) {
  ScriptedServer server;
  std::string packed = Gzip(std::string(50000, 'q'));
  packed.resize(packed.size() / 2);  // stream cut in the middle
  server.response = Ok("Content-Encoding: gzip\r\n", packed);
  NoticeLog log;
  std::string target = TmpPath("cut.gif");
  auto load = Start(server.Url("/cut.gif"), true, log, target);
  ASSERT_TRUE(log.WaitFinal());
  EXPECT_EQ(log.FinalKind(), NoticeKind::Failed);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(target)));
  EXPECT_TRUE(ZlbFiles().isEmpty());
}

TEST_F(Download, ZeroContentLengthFinishesWithoutClose) {
  ScriptedServer server;
  server.response = Ok("Content-Length: 0\r\n", "");
  server.closeAfterResponse = false;  // only the length can end it
  NoticeLog log;
  auto load = Start(server.Url("/empty"), false, log);
  ASSERT_TRUE(log.WaitFinal());
  EXPECT_EQ(log.FinalKind(), NoticeKind::Done);
  EXPECT_EQ(load->GetData(), "");
  EXPECT_TRUE(log.Has(NoticeKind::Progress, 0, 0));
}

// How a response may end: the close, the declared length (with bytes past
// it cut off), or, as failures, a close before any whole header and a
// header that never ends.
TEST_F(Download, ResponseEnds) {
  struct Case {
    std::string response;
    bool close;
    NoticeKind final;
    std::string body;
  };
  const Case cases[] = {
      {Ok("Server: t\r\n", "partial body"), true, NoticeKind::Done, "partial body"},
      {Ok("Content-Length: 100\r\n", "only this"), true, NoticeKind::Done, "only this"},
      {"HTTP/1.0 404 Not Found\r\nContent-Length: 4\r\n\r\ngoneGARBAGE", false, NoticeKind::Done, "gone"},
      {"HTTP/1.0 200 OK\r\nContent-Le", true, NoticeKind::Failed, {}},
      {"HTTP/1.0 200 OK\r\nX: " + std::string(70000, 'h'), false, NoticeKind::Failed, {}},  // no end
  };
  for (const Case& c : cases) {
    ScriptedServer server;
    server.response = c.response;
    server.closeAfterResponse = c.close;
    NoticeLog log;
    // No inactivity time-out can end these in time: only the response can.
    auto load = std::make_unique<HttpDownload>(server.Url("/x"), false, &log, log.Handler(), "", 600000);
    ASSERT_TRUE(log.WaitFinal());
    EXPECT_EQ(log.FinalKind(), c.final) << c.response.substr(0, 40);
    if (c.final == NoticeKind::Done) {
      EXPECT_EQ(load->GetData(), c.body) << c.response;
    }
  }
}

TEST_F(Download, GetDataWhileRunningShowsBodySoFar) {
  ScriptedServer server;
  server.response = Ok("Content-Length: 10\r\n", "first");
  server.closeAfterResponse = false;
  NoticeLog log;
  auto load = Start(server.Url("/arx"), false, log);
  ASSERT_TRUE(log.WaitFor(NoticeKind::Progress));
  EXPECT_FALSE(log.HasFinal());
  EXPECT_EQ(load->GetData(), "first");
  server.SendMore("+rest", false);
  ASSERT_TRUE(log.WaitFinal());
  EXPECT_EQ(log.FinalKind(), NoticeKind::Done);
  EXPECT_EQ(load->GetData(), "first+rest");
}

TEST_F(Download, DestroyedWhileServerIsSilentPostsNothing) {
  ScriptedServer server;
  server.neverAnswer = true;
  NoticeLog log;
  auto load = Start(server.Url("/slow.gif"), false, log, TmpPath("never.gif"));
  ASSERT_TRUE(SpinUntil([&] { return server.Connections() == 1 && !server.Request().empty(); }));
  load.reset();  // must return although the server never answers
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents();
  EXPECT_FALSE(log.HasFinal());
  EXPECT_FALSE(QFile::exists(QString::fromStdString(TmpPath("never.gif"))));
}

TEST_F(Download, SilentServerTimesOut) {
  ScriptedServer server;
  server.neverAnswer = true;
  NoticeLog log;
  auto load = std::make_unique<HttpDownload>(server.Url("/x"), false, &log, log.Handler(), "", 200);
  ASSERT_TRUE(log.WaitFinal());
  EXPECT_EQ(log.FinalKind(), NoticeKind::Failed);
}

TEST_F(Download, UrlWithoutPathFailsWithoutTraffic) {
  ScriptedServer server;
  NoticeLog log;
  auto load = Start("http://127.0.0.1:" + std::to_string(server.Port()), false, log);
  ASSERT_TRUE(log.WaitFinal());
  EXPECT_EQ(log.FinalKind(), NoticeKind::Failed);
  ASSERT_EQ(log.notices.size(), 1u);  // not even the "starting" notice
  QCoreApplication::processEvents();
  EXPECT_EQ(server.Connections(), 0);
}

TEST_F(Download, RefusedConnectionAndBadTargetFail) {
  quint16 freePort;
  {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    freePort = probe.serverPort();
  }
  NoticeLog log;
  auto load = Start("http://127.0.0.1:" + std::to_string(freePort) + "/a.gif", false, log);
  ASSERT_TRUE(log.WaitFinal());
  EXPECT_EQ(log.FinalKind(), NoticeKind::Failed);

  ScriptedServer server;
  server.response = Ok("Content-Length: 2\r\n", "ok");
  NoticeLog log2;
  auto load2 = Start(server.Url("/a.gif"), false, log2, TmpPath("no/such/dir/a.gif"));
  ASSERT_TRUE(log2.WaitFinal());
  EXPECT_EQ(log2.FinalKind(), NoticeKind::Failed);
}

TEST_F(Download, HostNameIsLookedUp) {
  ScriptedServer server;
  server.response = Ok("Content-Length: 2\r\n", "hi");
  NoticeLog log;
  auto load = Start("http://localhost:" + std::to_string(server.Port()) + "/n", false, log);
  ASSERT_TRUE(log.WaitFinal());
  EXPECT_EQ(log.FinalKind(), NoticeKind::Done);
  EXPECT_EQ(load->GetData(), "hi");
  EXPECT_EQ(server.Request(), "GET /n HTTP/1.0\nHost: localhost:" + std::to_string(server.Port()) + "\n\n");
}

TEST_F(Download, BodiesAboveTheBoundFail) {
  // Declared too long: refused as soon as the header is read.
  ScriptedServer declared;
  declared.response = Ok("Content-Length: " + std::to_string(kMaxBodyBytes + 1) + "\r\n", "abc");
  declared.closeAfterResponse = false;
  NoticeLog log1;
  auto load1 = Start(declared.Url("/big"), false, log1, TmpPath("big1.gif"));
  ASSERT_TRUE(log1.WaitFinal());
  EXPECT_EQ(log1.FinalKind(), NoticeKind::Failed);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(TmpPath("big1.gif"))));

  // Streamed without a length past the bound.
  ScriptedServer streamed;
  streamed.response = Ok("", std::string(size_t(kMaxBodyBytes) + 1, 'x'));
  NoticeLog log2;
  auto load2 = Start(streamed.Url("/big"), false, log2, TmpPath("big2.gif"));
  ASSERT_TRUE(log2.WaitFinal());
  EXPECT_EQ(log2.FinalKind(), NoticeKind::Failed);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(TmpPath("big2.gif"))));
  EXPECT_LE(load2->Bytes(), kMaxBodyBytes);

  // Small on the wire, too big unpacked.
  ScriptedServer bomb;
  bomb.response = Ok("Content-Encoding: gzip\r\n", Gzip(std::string(size_t(kMaxBodyBytes) + 10, '\0')));
  NoticeLog log3;
  std::string target = TmpPath("bomb.gif");
  auto load3 = Start(bomb.Url("/bomb.gif"), true, log3, target);
  ASSERT_TRUE(log3.WaitFinal());
  EXPECT_EQ(log3.FinalKind(), NoticeKind::Failed);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(target)));
  EXPECT_TRUE(ZlbFiles().isEmpty());

  NoticeLog log4;  // and the same without a target file
  ScriptedServer bomb2;
  bomb2.response = bomb.response;
  auto load4 = Start(bomb2.Url("/bomb"), true, log4);
  ASSERT_TRUE(log4.WaitFinal());
  EXPECT_EQ(log4.FinalKind(), NoticeKind::Failed);
  EXPECT_TRUE(ZlbFiles().isEmpty());
}
