// What other users of the room can do to one client: the real client (a
// child process on the offscreen platform) is attacked through a real chatd
// by ordinary accounts, and after each attack a friend's private message
// measures how long the client stayed frozen.  For each attack: seconds
// until that probe is confirmed, the client's CPU seconds, its peak and
// final resident memory, and the files it kept.
//
//   attack_bench [--only NAME]        (CHAT_BROWSER_BINARY picks the client)
//
// Run it once with an older client and once with this one to compare; chatd
// is always this build's, started without its per-address registration
// bound so that one machine can make the accounts.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "chatd_process.h"
#include "client_process.h"
#include "gif_writer.h"
#include "line_client.h"
#include "process_memory.h"
#include "private_probe.h"
#include "text/binary_escape.h"

namespace {

using chatd_test::ChatdProcess;
using chatd_test::ClientProcess;
using chatd_test::Confirmed;
using chatd_test::LineClient;
using chatd_test::PrivateTo;
using chatd_test::RelayTo;
using Clock = std::chrono::steady_clock;

size_t FilesIn(const std::string& dir) {
  size_t n = 0;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) ++n;
  return n;
}

std::string PicturePacket(const std::string& bytes) { return "2P" + text::EscapeBinary(bytes, '2'); }

struct Room {
  explicit Room(const std::string& ini)
      : chatd(CHAT_BINARY_DIR "/bin/chatd", {"--registrations-per-hour", "0"}, true) {
    std::string number;
    {
      LineClient first(chatd.chatPort());
      number = first.Login("alice", "pw");
    }
    friendly = std::make_unique<LineClient>(chatd.chatPort());
    friendly->Login("friend", "pw");
    mallory = std::make_unique<LineClient>(chatd.chatPort());
    mallory->Login("mallory", "pw");
    client = std::make_unique<ClientProcess>("alice", number, chatd.chatPort(), chatd.httpPort(), ini);
    ready = Confirmed(*friendly, "alice", "hello", mid++, 30000);
  }
  ChatdProcess chatd;
  std::unique_ptr<LineClient> friendly;
  std::unique_ptr<LineClient> mallory;
  std::unique_ptr<ClientProcess> client;
  int mid = 1;
  bool ready = false;
};

struct Attack {
  const char* name;
  const char* ini;
  std::function<void(Room&)> run;
};

void Measure(const Attack& attack) {
  Room room(attack.ini);
  if (!room.ready) {
    std::printf("%-34s client did not come up\n", attack.name);
    return;
  }
  const pid_t pid = room.client->pid();
  const double cpu0 = chatd_test::CpuSeconds(pid);
  attack.run(room);
  const auto sent = Clock::now();
  const bool answered = Confirmed(*room.friendly, "alice", "probe", room.mid++, 120000);
  const double frozen = std::chrono::duration<double>(Clock::now() - sent).count();
  // Whatever is still queued or decoding runs out before the totals are read.
  Confirmed(*room.friendly, "alice", "settled", room.mid++, 120000);
  const double cpu = chatd_test::CpuSeconds(pid) - cpu0;
  const std::string dir = room.client->dataDir();
  char frozenText[32] = "never";
  if (answered) std::snprintf(frozenText, sizeof frozenText, "%.2f", frozen);
  std::printf("%-34s %9s %8.2f %8.1f %8.1f %8zu %8zu\n", attack.name, frozenText, cpu, chatd_test::StatusKiB("VmHWM", pid) / 1024.0,
              room.client->ResidentKiB() / 1024.0, FilesIn(dir + "/Pictures"), FilesIn(dir + "/Sounds"));
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::string only;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--only") == 0) only = argv[i + 1];

  const std::vector<Attack> attacks = {
      {"100 GIF bombs 4096x4096x3", "",
       [](Room& r) {
         const std::string packet = RelayTo("alice", PicturePacket(testing_picture::GifBomb(4096, 3)));
         for (int i = 0; i < 100; ++i) r.mallory->Send(packet);
       }},
      {"3000 small distinct pictures", "",
       [](Room& r) {
         for (int i = 0; i < 3000; ++i) {
           const std::vector<QRgb> palette = {qRgb(i & 0xFF, (i >> 8) & 0xFF, 7), qRgb(255, 255, 255)};
           const std::string gif = testing_picture::MakeGif(8, 8, palette, {testing_picture::Solid(0, 0, 8, 8, 0)});
           r.mallory->Send(RelayTo("alice", PicturePacket(gif)));
         }
       }},
      {"5000 sound messages, kept", "SndArchiving=1\r\n",
       [](Room& r) {
         const std::string block(1024, '\x11');
         for (int i = 0; i < 5000; ++i) {
           r.mallory->Send(RelayTo("alice", text::EscapeBinary(block, '0')));
           r.mallory->Send(RelayTo("alice", "1"));
         }
       }},
      {"600 accounts: unasked game accepts", "",
       [](Room& r) {
         for (int i = 0; i < 600; ++i) {
           LineClient throwaway(r.chatd.chatPort());
           if (throwaway.Login("bot" + std::to_string(i), "pw").empty()) continue;
           throwaway.Send(PrivateTo("alice", "Gm:Chk:Let us. I play white", 1));
           throwaway.Sync();
         }
       }},
  };
  std::printf("client: %s\n", ClientProcess::Binary().c_str());
  std::printf("%-34s %9s %8s %8s %8s %8s %8s\n", "attack", "frozen_s", "cpu_s", "peak_MB", "rss_MB", "pictures",
              "sounds");
  for (const Attack& attack : attacks)
    if (only.empty() || only == attack.name) Measure(attack);
  return 0;
}
