// The real program (a child process) against a real chatd, with animations
// at their real speed, in the situations where a line handler waits in a
// nested loop: the server going away in the middle of an opponent's slide,
// a stop signal during a slide, a question or a warning box, and a flood
// that arrives while a warning box is open.  A raw peer "bob" plays the
// other side byte for byte.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QPointer>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "chatd_process.h"
#include "client_process.h"
#include "line_client.h"
#include "private_probe.h"
#include "process_memory.h"
#include "games/game.h"
#include "games/game_channel.h"
#include "games/ui/game_window.h"
#include "window/game_windows.h"
#include "window_fixture.h"

namespace {

using chatd_test::ChatdProcess;
using chatd_test::ClientProcess;
using chatd_test::Confirmed;
using chatd_test::LineClient;
using chatd_test::PrivateTo;
using chatd_test::RelayTo;

constexpr int kExitWaitMs = 20000;

// A saved checkers game with bob at its start: alice black, white to move.
bool SeedGameWithBob(const std::string& dataDir) {
  std::error_code ec;
  std::filesystem::create_directories(dataDir + "/Games", ec);
  std::ofstream record(dataDir + "/Games/bob.chk", std::ios::binary);
  record << "Black\r\n1\r\n";
  return bool(record.flush());
}

// chatd, the account "alice" run by the real client, and bob's raw connection.
struct Room {
  explicit Room(const std::vector<std::string>& chatdOptions = {})
      : chatd(std::make_unique<ChatdProcess>(CHAT_BINARY_DIR "/bin/chatd", chatdOptions, true)) {
    if (!chatd->ok()) return;
    std::string number;
    {
      LineClient first(chatd->chatPort());
      number = first.Login("alice", "pw");
    }
    bob = std::make_unique<LineClient>(chatd->chatPort());
    bob->Login("bob", "pw");
    client = std::make_unique<ClientProcess>("alice", number, chatd->chatPort(), chatd->httpPort());
  }
  // The client is logged in and dispatches what it gets.
  bool Ready() { return chatd->ok() && Confirmed(*bob, "alice", "hello", nextMid++, 30000); }
  // A checkers game in which bob plays white; his first move slides across
  // alice's board once this returns.  Alice keeps the game from earlier
  // (a new one opens only for an invitation of hers): his move loads it.
  bool OpponentSlides() {
    if (!SeedGameWithBob(client->dataDir())) return false;
    // Confirmed before the handler runs; the slide starts right after.
    return Confirmed(*bob, "alice", "Gm:Chk:1:PC3-D4", nextMid++);
  }
  std::unique_ptr<ChatdProcess> chatd;
  std::unique_ptr<LineClient> bob;
  std::unique_ptr<ClientProcess> client;
  int nextMid = 1;
};

// What the client writes whenever it closes normally.
void ExpectClosedNormally(ClientProcess& client, bool gameRecord) {
  const std::optional<int> status = client.WaitExit(kExitWaitMs);
  ASSERT_TRUE(status.has_value()) << "the client did not end";
  EXPECT_EQ(*status, 0);
  EXPECT_NE(client.FileText("molvat.ini").find("Animation="), std::string::npos) << "settings not written at close";
  if (gameRecord) {
    EXPECT_NE(client.FileText("Games/bob.chk").find("1: "), std::string::npos) << "the game record was not written";
  }
}

}  // namespace

TEST(BusyClient, SurvivesTheServerGoingAwayDuringASlideAndPlaysOnAfterAPing) {
  Room room;
  ASSERT_TRUE(room.Ready());
  const int chatPort = room.chatd->chatPort(), httpPort = room.chatd->httpPort();
  const std::string data = room.chatd->dataDir();
  ASSERT_TRUE(room.OpponentSlides());
  // The server stops while the piece is still on its way (a slide takes
  // about 0.75 s).
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  room.chatd->Stop();
  room.bob.reset();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  ASSERT_TRUE(room.client->Running()) << "the client died with the connection";

  // The server is back on the same ports: the client reconnects on its own
  // and answers bob's ping in the same game.
  room.chatd = std::make_unique<ChatdProcess>(
      CHAT_BINARY_DIR "/bin/chatd",
      std::vector<std::string>{"--port", std::to_string(chatPort), "--http-port", std::to_string(httpPort)}, true,
      data);
  ASSERT_TRUE(room.chatd->ok());
  room.bob = std::make_unique<LineClient>(room.chatd->chatPort());
  room.bob->Login("bob", "pw");
  ASSERT_TRUE(Confirmed(*room.bob, "alice", "back again", room.nextMid++, 30000));
  ASSERT_TRUE(room.bob->Send(PrivateTo("alice", "Gm:Chk:Ping:1", room.nextMid++)));
  EXPECT_TRUE(room.bob->ReadUntil([](const std::string& l) { return l.find("Gm:Chk:Pong") != std::string::npos; }));
  ASSERT_TRUE(room.client->Running());
  room.client->Signal(SIGTERM);
  ExpectClosedNormally(*room.client, true);
}

// In this process, where the slide can be watched: a message bob sends
// once his move is confirmed is confirmed while the piece still slides.
TEST(BusyClient, ConfirmsAPrivateMessageWhileAPieceSlides) {
  ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {}, true);
  ASSERT_TRUE(chatd.ok());
  WindowFixture alice(IniFor("alice", Register(chatd, "alice"), chatd.chatPort()));
  alice.form->show();
  LineClient bob(chatd.chatPort());
  bob.Login("bob", "pw");
  MarkupView* priv = Find<MarkupView>(*alice.form, "priv");
  ASSERT_TRUE(bob.Send(PrivateTo("alice", "hello", 1)));
  ASSERT_TRUE(WaitFor([&] { return PaneHas(priv, "hello"); }, 20000));
  alice.form->Games().Channel().OfferGame(games::GameKind::Checkers, "bob");
  ASSERT_TRUE(bob.Send(PrivateTo("alice", "Gm:Chk:Let us. I play white", 2)));
  auto window = [&]() -> games::GameWindow* {
    games::Game* game = alice.form->Games().Channel().Find(games::GameKind::Checkers, "bob");
    return game ? static_cast<games::GameWindow*>(game->view) : nullptr;
  };
  ASSERT_TRUE(WaitFor([&] { return window() != nullptr; }));
  QPointer<games::GameWindow> board = window();

  std::atomic<bool> confirmed{false};
  bool slid = false, confirmedWhileSliding = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (!board || !board->Animating()) return;
    slid = true;
    if (confirmed) confirmedWhileSliding = true;
  });
  watch.start(2);
  std::thread peer([&] {
    if (!Confirmed(bob, "alice", "Gm:Chk:1:PC3-D4", 3)) return;
    if (Confirmed(bob, "alice", "are you there?", 4)) confirmed = true;
  });
  const bool done = WaitFor([&] { return confirmed && board && !board->Animating(); }, 20000);
  peer.join();
  ASSERT_TRUE(done);
  EXPECT_TRUE(slid);
  EXPECT_TRUE(confirmedWhileSliding);
}

TEST(BusyClient, EndsNormallyOnSigtermDuringASlide) {
  Room room;
  ASSERT_TRUE(room.Ready());
  ASSERT_TRUE(room.OpponentSlides());
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  room.client->Signal(SIGTERM);
  ExpectClosedNormally(*room.client, true);
}

TEST(BusyClient, EndsNormallyOnSigtermAndSigintWhileAQuestionIsOpen) {
  for (int sig : {SIGTERM, SIGINT}) {
    Room room;
    ASSERT_TRUE(room.Ready());
    ASSERT_TRUE(room.OpponentSlides());
    // A draw offer puts a question; it is open once the offer is confirmed
    // and the next message is too.
    ASSERT_TRUE(Confirmed(*room.bob, "alice", "Gm:Chk:I offer draw", room.nextMid++));
    ASSERT_TRUE(Confirmed(*room.bob, "alice", "well?", room.nextMid++));
    room.client->Signal(sig);
    ExpectClosedNormally(*room.client, true);
  }
}

TEST(BusyClient, JunkPictureBoxNeitherStopsMessagesNorHoldsAFloodNorStopsAnExit) {
  Room room;
  ASSERT_TRUE(room.Ready());
  const long before = room.client->ResidentKiB();
  // Ten bytes that are no picture: the client warns about it.
  ASSERT_TRUE(room.bob->Send(RelayTo("alice", "2Pjunkjunk!!")));
  // While the warning is up, a flood of 1 MiB packets and a private message.
  const std::string packet = RelayTo("alice", "3" + std::string(1 << 20, 'z'));
  // carol's sends wait as long as chatd holds them back.
  const int carol = chatd_test::ConnectFrom(room.chatd->chatPort(), "127.0.0.1", 0);
  ASSERT_TRUE(chatd_test::SendBytes(carol, LineClient::LoginLine("carol", "pw", "")));
  for (int i = 0; i < 256; ++i) ASSERT_TRUE(chatd_test::SendBytes(carol, packet));
  EXPECT_TRUE(Confirmed(*room.bob, "alice", "still reading?", room.nextMid++, 20000));
  const long after = room.client->ResidentKiB();
  if (chatd_test::kResidentSizeMeasurable) {
    EXPECT_LT(after - before, 128 * 1024) << "resident " << before << " KiB before, " << after << " KiB after";
  }
  room.client->Signal(SIGTERM);
  ExpectClosedNormally(*room.client, false);
  close(carol);
}
