// The real client (a child process) in the situations where a handler waits
// in a nested loop, repeated and counted: how often it survives the server
// stopping during an opponent's slide, how often a stop signal during a
// slide, a question or the junk-picture box ends it normally, how long a
// game ping sent 0.1 s after a move waits for its answer, and its resident
// memory while 256 packets of 1 MiB arrive during the junk-picture box.
//
//   nested_loop_bench [--runs N]        (CHAT_BROWSER_BINARY picks the client)
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "chatd_process.h"
#include "client_process.h"
#include "line_client.h"
#include "private_probe.h"

namespace {

using chatd_test::ChatdProcess;
using chatd_test::ClientProcess;
using chatd_test::Confirmed;
using chatd_test::LineClient;
using chatd_test::PrivateTo;
using chatd_test::RelayTo;
using Clock = std::chrono::steady_clock;

struct Room {
  Room() : chatd(std::make_unique<ChatdProcess>(CHAT_BINARY_DIR "/bin/chatd", std::vector<std::string>{}, true)) {
    std::string number;
    {
      LineClient first(chatd->chatPort());
      number = first.Login("alice", "pw");
    }
    bob = std::make_unique<LineClient>(chatd->chatPort());
    bob->Login("bob", "pw");
    client = std::make_unique<ClientProcess>("alice", number, chatd->chatPort(), chatd->httpPort());
    ready = Confirmed(*bob, "alice", "hello", mid++, 30000);
  }
  // Alice keeps a game with bob at its start (black, white to move); his
  // first move loads it and slides across her board.
  bool Slide() {
    std::error_code ec;
    std::filesystem::create_directories(client->dataDir() + "/Games", ec);
    std::ofstream record(client->dataDir() + "/Games/bob.chk", std::ios::binary);
    record << "Black\r\n1\r\n";
    return record.flush() && Confirmed(*bob, "alice", "Gm:Chk:1:PC3-D4", mid++);
  }
  std::unique_ptr<ChatdProcess> chatd;
  std::unique_ptr<LineClient> bob;
  std::unique_ptr<ClientProcess> client;
  int mid = 1;
  bool ready = false;
};

// "ok", "crash (signal N)", "exit N" or "hung".
std::string Ending(ClientProcess& client) {
  const std::optional<int> status = client.WaitExit(20000);
  if (!status) return "hung";
  if (*status == 0) return "ok";
  if (*status > 128) return "crash (signal " + std::to_string(*status - 128) + ")";
  return "exit " + std::to_string(*status);
}

void Report(const char* what, const std::vector<std::string>& endings) {
  const long ok = std::count(endings.begin(), endings.end(), "ok");
  std::printf("%-44s %ld of %zu normal:", what, ok, endings.size());
  for (const auto& e : endings)
    if (e != "ok") std::printf(" [%s]", e.c_str());
  std::printf("\n");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  for (int i = 1; i + 1 < argc; i += 2)
    if (std::string(argv[i]) == "--runs") runs = std::atoi(argv[i + 1]);
  signal(SIGPIPE, SIG_IGN);
  std::printf("client: %s\n", ClientProcess::Binary().c_str());

  std::vector<std::string> serverStops, slideStops, questionStops, boxStops;
  std::vector<double> pingMs;
  for (int run = 0; run < runs; ++run) {
    {
      Room room;
      if (room.ready && room.Slide()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        room.chatd->Stop();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        if (room.client->Running()) {
          room.client->Signal(SIGTERM);
          serverStops.push_back(Ending(*room.client) == "ok" ? "ok" : "no normal exit afterwards");
        } else {
          serverStops.push_back(Ending(*room.client));
        }
      }
    }
    {
      Room room;
      if (room.ready && room.Slide()) {
        // Well inside the slide of about 0.75 s.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        room.client->Signal(SIGTERM);
        slideStops.push_back(Ending(*room.client));
      }
    }
    {
      Room room;
      if (room.ready && room.Slide() && Confirmed(*room.bob, "alice", "Gm:Chk:I offer draw", room.mid++)) {
        room.client->Signal(SIGTERM);
        questionStops.push_back(Ending(*room.client));
      }
    }
    {
      Room room;
      if (room.ready && room.Slide()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const auto sent = Clock::now();
        room.bob->Send(PrivateTo("alice", "Gm:Chk:Ping:1", room.mid++));
        if (room.bob->ReadUntil([](const std::string& l) { return l.find("Gm:Chk:Pong") != std::string::npos; }))
          pingMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
      }
    }
    {
      Room room;
      if (room.ready && room.bob->Send(RelayTo("alice", "2Pjunkjunk!!"))) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        room.client->Signal(SIGTERM);
        boxStops.push_back(Ending(*room.client));
      }
    }
  }
  Report("server stopped during a slide (then SIGTERM)", serverStops);
  Report("SIGTERM during a slide", slideStops);
  Report("SIGTERM during a question", questionStops);
  Report("SIGTERM during the junk-picture box", boxStops);
  std::sort(pingMs.begin(), pingMs.end());
  if (!pingMs.empty())
    std::printf("game ping 0.1 s after a move: answered after %.0f ms (median of %zu, longest %.0f ms)\n",
                pingMs[pingMs.size() / 2], pingMs.size(), pingMs.back());

  // The junk-picture box, then a flood of 1 MiB packets from another peer.
  Room room;
  if (room.ready && room.bob->Send(RelayTo("alice", "2Pjunkjunk!!"))) {
    const long before = room.client->ResidentKiB();
    const int carol = chatd_test::ConnectFrom(room.chatd->chatPort(), "127.0.0.1", 0);
    chatd_test::SendBytes(carol, LineClient::LoginLine("carol", "pw", ""));
    const std::string packet = RelayTo("alice", "3" + std::string(1 << 20, 'z'));
    long peak = before;
    for (int i = 0; i < 256; ++i) {
      chatd_test::SendBytes(carol, packet);
      peak = std::max(peak, room.client->ResidentKiB());
    }
    const bool confirmed = Confirmed(*room.bob, "alice", "still there?", room.mid++, 20000);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const long after = room.client->ResidentKiB();
    std::printf("junk-picture box + 256 x 1 MiB: resident %ld MiB before, %ld MiB after, %ld MiB at most; "
                "private message confirmed while the box is open: %s\n",
                before / 1024, after / 1024, std::max(peak, after) / 1024, confirmed ? "yes" : "no");
    room.client->Signal(SIGTERM);
    std::printf("then SIGTERM: %s\n", Ending(*room.client).c_str());
    close(carol);
  }
  return 0;
}
