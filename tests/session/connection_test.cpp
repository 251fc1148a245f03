#include <gtest/gtest.h>

#include <QPointer>
#include <QTcpServer>
#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>
#include <chrono>
#include <functional>
#include <thread>
#include <memory>
#include <vector>

#include "line_pane.h"
#include "qt_wait.h"
#include "session/connection.h"
#include "session/pane.h"
#include "text/bytes.h"
#include "text/cp1251.h"

using namespace session;

namespace {

using chatd_test::LinePane;

class Host : public ConnectionHost {
 public:
  ChatPane& CommPane() override { return pane; }
  std::string ServerHost() override { return "127.0.0.1"; }
  uint16_t ServerPort() override { return port; }
  std::string UserName() override { return "bob"; }
  bool IdentityComplete() override { return complete; }
  bool AskForIdentity(bool registration) override {
    ++dialogs;
    lastDialogRegistration = registration;
    if (dialogAnswer) complete = true;
    return dialogAnswer;
  }
  std::string LoginLine() override { return "l\xA6Num=1;Name=bob;\xA6\n"; }
  void DispatchLine(const std::string& line) override {
    lines.push_back(line);
    if (onLine) onLine(line);
  }
  void OnlineChanged(bool on) override { onlineChanges.push_back(on); }
  void MenuStateChanged(bool connectEnabled) override { this->connectEnabled = connectEnabled; }
  void StartDiscovery() override { ++discoveries; }
  void StartRestartRequest() override { ++restarts; }

  LinePane pane;
  uint16_t port = 0;
  bool complete = true;
  bool dialogAnswer = true;
  bool lastDialogRegistration = false;
  bool connectEnabled = true;
  int dialogs = 0;
  int discoveries = 0;
  int restarts = 0;
  std::vector<std::string> lines;
  std::vector<bool> onlineChanges;
  std::function<void(const std::string&)> onLine;
};

size_t Count(const std::string& s, const std::string& part) {
  size_t n = 0;
  for (size_t at = s.find(part); at != std::string::npos; at = s.find(part, at + part.size())) ++n;
  return n;
}

class ConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    host.port = server.serverPort();
    conn = std::make_unique<ServerConnection>(host);
    conn->SetRandom([] { return 5; });  // never request a restart unless a test asks
  }

  QTcpSocket* AcceptPeer() {
    if (!WaitFor([&] { return server.hasPendingConnections(); })) return nullptr;
    return server.nextPendingConnection();
  }

  QTcpServer server;
  Host host;
  std::unique_ptr<ServerConnection> conn;
};

TEST_F(ConnectionTest, ConnectSendsLoginAndDispatchesLines) {
  conn->Connect(ServerConnection::Initiator::User);
  QTcpSocket* peer = AcceptPeer();
  ASSERT_TRUE(peer);
  ASSERT_TRUE(WaitFor([&] { return conn->Connected(); }));
  ASSERT_TRUE(WaitFor([&] { return peer->bytesAvailable() > 0; }));
  EXPECT_EQ(peer->readAll().toStdString(), host.LoginLine());
  ASSERT_EQ(host.pane.lines.size(), 1u);
  EXPECT_EQ(host.pane.lines[0], text::W("Подключаемся как bob ") + "<fcol=ff0000><bcol=ffffff>" + text::W(" успешно..."));
  EXPECT_EQ(conn->Tag(), 0);
  EXPECT_FALSE(host.connectEnabled);

  peer->write("x\xA6Mess=a;\xA6\n?5\npart");
  ASSERT_TRUE(WaitFor([&] { return host.lines.size() == 2; }));
  EXPECT_EQ(host.lines[1], "?5");
  EXPECT_EQ(conn->ReceivedBytes(), 18u);
  EXPECT_GT(conn->SentBytes(), 0u);
  EXPECT_TRUE(conn->ReceiveLamp());
}

// Lines are dispatched from the event loop, never inside the socket's
// signal: a handler that runs a nested loop (an animated game move) while
// the server sends more has the lines that arrive meanwhile handled in the
// middle of its loop, in order.
TEST_F(ConnectionTest, LinesArrivingDuringANestedLoopAreHandledInTheMiddleOfIt) {
  conn->Connect(ServerConnection::Initiator::User);
  QTcpSocket* peer = AcceptPeer();
  ASSERT_TRUE(peer && WaitFor([&] { return conn->Connected(); }));
  // Like the board animation: a local loop that runs until `done` holds
  // (or, should it never, for 5 s).
  auto localLoop = [&](std::function<bool()> done) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
      if (done()) loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
  };
  std::vector<std::string> handledInside;
  host.onLine = [&](const std::string& line) {
    if (line != "move") return;
    peer->write("after1\nafter2\n");
    localLoop([&] { return host.lines.size() == 3; });
    handledInside = host.lines;
  };
  peer->write("move\n");
  ASSERT_TRUE(WaitFor([&] { return !handledInside.empty(); }, 8000));
  EXPECT_EQ(handledInside, (std::vector<std::string>{"move", "after1", "after2"}));

  // Nested handlers inside nested handlers, each line sent while the one
  // before it runs.
  host.lines.clear();
  std::vector<std::string> returned;
  host.onLine = [&](const std::string& line) {
    if (line == "m1") peer->write("m2\n");
    if (line == "m2") peer->write("tail\n");
    if (line != "tail") localLoop([&] { return host.lines.size() == 3; });
    returned.push_back(line);
  };
  peer->write("m1\n");
  EXPECT_TRUE(WaitFor([&] { return returned.size() == 3; }, 8000));
  EXPECT_EQ(host.lines, (std::vector<std::string>{"m1", "m2", "tail"}));
  EXPECT_EQ(returned, (std::vector<std::string>{"tail", "m2", "m1"}));
  EXPECT_TRUE(conn->Connected());
}

// The connection goes while a handler waits in its loop: the socket is
// freed under no frame, and the lines after the handler's, which belonged
// to the old connection, are not dispatched.
TEST_F(ConnectionTest, ALossDuringAHandlersLoopDropsTheLinesOfThatConnection) {
  conn->Connect(ServerConnection::Initiator::User);
  QTcpSocket* peer = AcceptPeer();
  ASSERT_TRUE(peer && WaitFor([&] { return conn->Connected(); }));
  QPointer<QTcpSocket> client = conn->findChild<QTcpSocket*>();
  ASSERT_TRUE(client);
  EXPECT_EQ(client->readBufferSize(), ServerConnection::kSocketReadBuffer);
  bool socketGoneInside = false;
  host.onLine = [&](const std::string& line) {
    if (line != "slide") return;
    peer->abort();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
      if (!client) loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    socketGoneInside = !client;
  };
  peer->write("slide\nstale1\nstale2\n");
  ASSERT_TRUE(WaitFor([&] { return socketGoneInside; }, 8000));
  EXPECT_EQ(host.lines, std::vector<std::string>{"slide"});
  EXPECT_FALSE(conn->Connected());
  EXPECT_TRUE(conn->ReconnectPending());
}

// A burst is dispatched in slices with returns to the event loop between
// them: a timer started by the first line fires before the burst is over.
TEST_F(ConnectionTest, ABurstYieldsToTheEventLoop) {
  conn->Connect(ServerConnection::Initiator::User);
  QTcpSocket* peer = AcceptPeer();
  ASSERT_TRUE(peer && WaitFor([&] { return conn->Connected(); }));
  constexpr size_t kLines = 60;
  size_t handledWhenTimerFired = 0;
  host.onLine = [&](const std::string& line) {
    if (line == "0") QTimer::singleShot(0, [&] { handledWhenTimerFired = host.lines.size(); });
    // A handler that takes a while, as painting a busy pane does.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  std::string burst;
  for (size_t i = 0; i < kLines; ++i) burst += std::to_string(i) + "\n";
  peer->write(burst.data(), qint64(burst.size()));
  ASSERT_TRUE(WaitFor([&] { return host.lines.size() == kLines; }, 8000));
  EXPECT_GT(handledWhenTimerFired, 0u);
  EXPECT_LT(handledWhenTimerFired, kLines);
  for (size_t i = 0; i < kLines; ++i) EXPECT_EQ(host.lines[i], std::to_string(i));
}

TEST_F(ConnectionTest, EachLossCountsOnceAndTheFirstRetryStartsANewLine) {
  conn->Connect(ServerConnection::Initiator::User);
  QTcpSocket* peer = AcceptPeer();
  ASSERT_TRUE(peer && WaitFor([&] { return conn->Connected(); }));
  peer->close();  // the server drops us
  ASSERT_TRUE(WaitFor([&] { return !conn->Connected(); }));
  EXPECT_EQ(Count(host.pane.GetLastStr(), kAttemptFailedMark), 1u);
  EXPECT_EQ(conn->Tag(), 1);
  EXPECT_TRUE(conn->ReconnectPending());
  EXPECT_EQ(conn->ReconnectInterval(), 100);
  EXPECT_EQ(host.discoveries, 1);  // the first failure after a success looks for the server
  EXPECT_EQ(host.onlineChanges, (std::vector<bool>{true, false}));

  // The server goes away: the first retry is announced on a new line, later
  // ones only add marks to it.
  server.close();
  ASSERT_TRUE(WaitFor([&] { return conn->Tag() >= 4; }));
  ASSERT_GE(host.pane.lines.size(), 2u);
  EXPECT_TRUE(text::StartsWith(host.pane.lines[1], text::W("Подключаемся как bob ")));
  EXPECT_EQ(host.pane.lines.size(), 2u);
  EXPECT_EQ(Count(host.pane.lines[1], kAttemptFailedMark), static_cast<size_t>(conn->Tag() - 1));
}

TEST_F(ConnectionTest, RetriesSlowDownAfterTenAttemptsAndDisconnectStopsThem) {
  server.close();
  conn->Connect(ServerConnection::Initiator::User);
  ASSERT_TRUE(WaitFor([&] { return conn->Tag() == 11; }, 10000));
  EXPECT_EQ(conn->ReconnectInterval(), 2000);
  // The second attempt opened the retry line; attempts 2..11 marked it.
  EXPECT_EQ(host.pane.lines.size(), 2u);
  EXPECT_EQ(Count(host.pane.GetLastStr(), kAttemptFailedMark), 10u);

  conn->Disconnect();
  EXPECT_TRUE(conn->UserStopped());
  EXPECT_FALSE(conn->ReconnectPending());
  EXPECT_EQ(conn->Tag(), 1);
  EXPECT_TRUE(host.connectEnabled);
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost, host.port));
  WaitFor([] { return false; }, 300);
  EXPECT_FALSE(server.hasPendingConnections());
  EXPECT_FALSE(conn->HasSocket());
}

TEST_F(ConnectionTest, PartialWritesStayQueuedUntilTheSocketTakesThem) {
  conn->Connect(ServerConnection::Initiator::User);
  QTcpSocket* peer = AcceptPeer();
  ASSERT_TRUE(peer && WaitFor([&] { return conn->Connected(); }));
  const std::string big(1 << 20, 'a');
  conn->SendLine(big + "\n");
  EXPECT_GT(conn->OutgoingSize(), 0u);  // more than the socket window
  std::string got;
  ASSERT_TRUE(WaitFor([&] {
    got += peer->readAll().toStdString();
    return got.size() >= host.LoginLine().size() + big.size() + 1;
  }, 20000));
  EXPECT_EQ(got, host.LoginLine() + big + "\n");
  EXPECT_EQ(conn->OutgoingSize(), 0u);
}

TEST_F(ConnectionTest, OfflineSendIsDroppedAndCancelledDialogStops) {
  conn->SendLine("x\xA6Mess=lost;\xA6\n");
  EXPECT_EQ(conn->OutgoingSize(), 0u);
  EXPECT_TRUE(host.pane.lines.empty());

  host.complete = false;
  host.dialogAnswer = false;
  conn->Connect(ServerConnection::Initiator::Registration);
  EXPECT_EQ(host.dialogs, 1);
  EXPECT_TRUE(host.lastDialogRegistration);
  EXPECT_TRUE(conn->UserStopped());
  EXPECT_FALSE(conn->HasSocket());
  // A timer attempt without initiator does nothing once stopped.
  conn->Connect(ServerConnection::Initiator::None);
  EXPECT_EQ(host.dialogs, 1);
}

TEST_F(ConnectionTest, EndlessLineFromServerDropsTheConnection) {
  conn->Connect(ServerConnection::Initiator::User);
  QTcpSocket* peer = AcceptPeer();
  ASSERT_TRUE(peer && WaitFor([&] { return conn->Connected(); }));
  const QByteArray chunk(1 << 20, 'z');
  for (int i = 0; i < 17; ++i) peer->write(chunk);
  ASSERT_TRUE(WaitFor([&] { return !conn->Connected(); }, 20000));
  EXPECT_TRUE(host.lines.empty());
  EXPECT_EQ(Count(host.pane.GetLastStr(), kAttemptFailedMark), 1u);
}

TEST(FailureMarks, MoreThanNineCollapseWithRestartMarks) {
  std::string line = "start ";
  for (int i = 0; i < 10; ++i) line += kAttemptFailedMark;
  line += kRestartMark;
  EXPECT_EQ(WithFailureMark(line), "start " + kAttemptFailedMark);
  std::string nine = "s";
  for (int i = 0; i < 9; ++i) nine += kAttemptFailedMark;
  EXPECT_EQ(WithFailureMark(nine), nine + kAttemptFailedMark);
  EXPECT_EQ(kAttemptFailedMark.size(), 35u);
  EXPECT_EQ(kRestartMark.size(), 36u);
  EXPECT_EQ(kDiscoveryMark.size(), 36u);
}

TEST_F(ConnectionTest, RestartRequestAndDiscoveryPacing) {
  int draws = 0;
  conn->SetRandom([&] { return (draws++ % 2 == 0) ? 1 : 7; });
  server.close();
  conn->Connect(ServerConnection::Initiator::User);
  ASSERT_TRUE(WaitFor([&] { return conn->Tag() >= 4; }));
  conn->Disconnect();
  // Every other failure drew a number below 2.
  EXPECT_GE(host.restarts, 2);
  EXPECT_EQ(host.discoveries, 1);  // once, then every twentieth failure
  EXPECT_NE(host.pane.lines[0].find(kRestartMark), std::string::npos);
}

}  // namespace
