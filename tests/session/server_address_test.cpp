#include <gtest/gtest.h>

#include <QTcpServer>

#include "line_pane.h"
#include "qt_wait.h"
#include "session/connection.h"
#include "session/pane.h"
#include "session/server_address.h"
#include "text/cp1251.h"

using namespace session;

namespace {

TEST(ServerAddress, HostPortAndTheirFaults) {
  auto parsed = [](std::string_view text) {
    const std::optional<ServerAddress> a = ParseServerAddress(text, 8080);
    return a ? a->host + "|" + std::to_string(a->port) : std::string("none");
  };
  EXPECT_EQ(parsed("chat.example"), "chat.example|8080");
  EXPECT_EQ(parsed(" 10.0.0.1:9000 "), "10.0.0.1|9000");
  EXPECT_EQ(parsed("[::1]:7000"), "::1|7000");
  EXPECT_EQ(parsed("[::1]"), "::1|8080");
  EXPECT_EQ(parsed("::1"), "::1|8080");
  EXPECT_EQ(parsed("host:65535"), "host|65535");
  for (const char* bad : {"", ":80", "host:", "host:0", "host:65536", "host:8o", "two words:80", "a/b:1",
                          "[::1", "[::1]x", "host:123456"})
    EXPECT_EQ(parsed(bad), "none") << bad;
  EXPECT_EQ(FormatServerAddress("127.0.0.1", 8080), "127.0.0.1:8080");
  EXPECT_EQ(FormatServerAddress("::1", 80), "[::1]:80");
  // What is formatted reads back the same.
  for (const auto& [h, p] : {std::pair<std::string, int>{"::1", 1}, {"chat", 65535}}) {
    const auto back = ParseServerAddress(FormatServerAddress(h, p), 8080);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->host, h);
    EXPECT_EQ(back->port, p);
  }
}

TEST(FailureReason, WordsInBothLanguages) {
  using E = QAbstractSocket::SocketError;
  EXPECT_EQ(FailureReason(E::ConnectionRefusedError, true, ""), text::W("соединение отклонено"));
  EXPECT_EQ(FailureReason(E::ConnectionRefusedError, false, ""), "connection refused");
  EXPECT_EQ(FailureReason(E::HostNotFoundError, false, ""), "host not found");
  EXPECT_EQ(FailureReason(E::OperationError, false, "odd"), "odd");
  EXPECT_EQ(FailureReason(E::OperationError, false, ""), "connection error");
  EXPECT_EQ(FailureNote("h", 1, "r"), "<fcol=606060><bcol=ffffff> h:1: r ");
}

using chatd_test::LinePane;

class EnglishHost : public ConnectionHost {
 public:
  ChatPane& CommPane() override { return pane; }
  std::string ServerHost() override { return "127.0.0.1"; }
  uint16_t ServerPort() override { return port; }
  std::string UserName() override { return "bob"; }
  bool IdentityComplete() override { return true; }
  bool AskForIdentity(bool) override { return true; }
  std::string LoginLine() override { return "l\n"; }
  void DispatchLine(const std::string&) override {}
  void OnlineChanged(bool) override {}
  void MenuStateChanged(bool) override {}
  bool RussianTexts() override { return false; }
  LinePane pane;
  uint16_t port = 0;
};

size_t Count(const std::string& s, const std::string& part) {
  size_t n = 0;
  for (size_t at = s.find(part); at != std::string::npos; at = s.find(part, at + part.size())) ++n;
  return n;
}

// Many refused attempts: the reason is told once, after the first mark,
// and every attempt still leaves its mark.
TEST(FailureReason, ToldOncePerOutageAfterTheMarks) {
  QTcpServer probe;
  ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
  EnglishHost host;
  host.port = probe.serverPort();
  probe.close();
  ServerConnection conn(host);
  conn.SetRandom([] { return 5; });
  conn.Connect(ServerConnection::Initiator::User);
  ASSERT_TRUE(WaitFor([&] { return conn.Tag() >= 5; }, 10000));
  conn.Disconnect();
  std::string all;
  for (const std::string& line : host.pane.lines) all += line + "\n";
  const std::string note = FailureNote("127.0.0.1", host.port, "connection refused");
  EXPECT_EQ(Count(all, note), 1u) << all;
  EXPECT_LT(all.find(kAttemptFailedMark), all.find(note));
  EXPECT_GE(Count(all, kAttemptFailedMark), 4u);
}

}  // namespace
