// Hostile peers against the built chatd: a sender who floods the room,
// readers that never read, connections that hold bytes without finishing a
// line or a request, too many connections from one address, and floods of
// refused lines against the log.  Every attack goes to 127.0.0.1 only and
// is bounded in bytes and in time.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "hostile_kit.h"
#include "server_fixture.h"

namespace chatd_test {
namespace {

using wire::Field;

// AddressSanitizer keeps freed memory in quarantine, so resident memory
// says nothing about chatd's own bounds in such a build.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kResidentMemoryMeans = false;
#else
constexpr bool kResidentMemoryMeans = true;
#endif

// The number at the end of a public message of `from`, or -1.
int MessageNumber(const std::string& line, const std::string& from) {
  auto r = AsRecord(line);
  if (!r || Field(*r, "FrName") != from || Field(*r, "Public") != "1") return -1;
  const std::string mess = wire::UnescapeField(Field(*r, "Mess"));
  const size_t hash = mess.rfind('#');
  return hash == std::string::npos ? -1 : std::atoi(mess.c_str() + hash + 1);
}

// Reads the public messages of `from` until `count` have come or the line
// stream ends; their numbers in the order they came.  The last online list
// met on the way goes to `lastList`.
std::vector<int> ReadMessages(LineClient& c, const std::string& from, int count, std::string* lastList = nullptr) {
  std::vector<int> got;
  while (static_cast<int>(got.size()) < count) {
    auto line = c.ReadLine();
    if (!line) break;
    const int n = MessageNumber(*line, from);
    if (n >= 0) got.push_back(n);
    if (lastList && IsRecordWith(*line, "User")) *lastList = *line;
  }
  return got;
}

// The online list once it has `entries` entries: `last` when it has them
// already, else the next such list `c` receives.
std::optional<std::string> ListOf(LineClient& c, size_t entries, const std::string& last) {
  if (!last.empty() && OnlineEntries(last).size() == entries) return last;
  return c.ReadUntil(
      [entries](const std::string& l) { return IsRecordWith(l, "User") && OnlineEntries(l).size() == entries; },
      nullptr, 60000);
}

std::vector<int> Sequence(int count) {
  std::vector<int> v(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) v[static_cast<size_t>(i)] = i;
  return v;
}

// The flood is the point here, so the sender's public budget is lifted.
class FlowControlTest : public ChatdTest {
 protected:
  void SetUp() override { StartChatd({"--quiet", "--public-rate", "0"}); }
};

TEST_F(FlowControlTest, AFloodingSenderIsSlowedReadersGetEveryLineInOrderOnlyTheNonReaderIsDropped) {
  auto flooder = Join("Flooder");
  auto reader1 = Join("ReaderOne");
  auto reader2 = Join("ReaderTwo");
  auto sleeper = Join("Sleeper");  // reads nothing from here on
  const int messages = 500;        // 30 MB for each reader
  const std::string text(60000, 'f');

  std::vector<int> got1, got2, echoes;
  std::string lastList;
  int statuses = 0;
  std::thread r1([&] { got1 = ReadMessages(*reader1, "Flooder", messages, &lastList); });
  std::thread r2([&] { got2 = ReadMessages(*reader2, "Flooder", messages); });
  // The flooder reads his own lines at full speed too.
  std::thread own([&] {
    while (static_cast<int>(echoes.size()) < messages || statuses < messages) {
      auto line = flooder->ReadLine();
      if (!line) break;
      if (const int n = MessageNumber(*line, "Flooder"); n >= 0) echoes.push_back(n);
      if (IsRecordWith(*line, "Status")) ++statuses;
    }
  });
  bool sent = true;
  for (int i = 0; i < messages && sent; ++i)
    sent = flooder->Send("x\xA6Mess=" + text + "#" + std::to_string(i) + ";Mid=" + std::to_string(i + 1) + ";\xA6\n");
  r1.join();
  r2.join();
  own.join();
  EXPECT_TRUE(sent);
  EXPECT_EQ(got1, Sequence(messages));
  EXPECT_EQ(got2, Sequence(messages));
  EXPECT_EQ(echoes, Sequence(messages));
  EXPECT_EQ(statuses, messages);

  // The sleeper is dropped once chatd has seen him take nothing for a
  // while; he reads nothing before the others are told.
  auto list = ListOf(*reader1, 3, lastList);
  ASSERT_TRUE(list);
  for (const auto& e : OnlineEntries(*list)) EXPECT_NE(Field(e, "User"), "Sleeper");
  EXPECT_TRUE(sleeper->WaitClosed(30000));
  // The three who kept up are all still there.
  for (LineClient* c : {flooder.get(), reader1.get(), reader2.get()}) {
    const auto lines = c->Sync();
    EXPECT_TRUE(lines.empty() || lines.back() != "<sync reply missing>");
  }
}

// The flood measures the output budget, so the sender's public budget is lifted.
class MemoryBoundTest : public ChatdTest {
 protected:
  void SetUp() override { StartChatd({"--quiet", "--public-rate", "0"}); }
  long Rss() { return StatusKiB("VmRSS", chatd_->pid()); }
};

TEST_F(MemoryBoundTest, UnfinishedLinesAndRequestsAreCutAndNeverReadersStayWithinTheBudget) {
  const long start = Rss();
  ASSERT_GT(start, 0);
  const std::string mib(1 << 20, 'z');

  // Twenty connections that never log in, each trying 15 MiB without a
  // line feed, and twenty web connections with an unfinished 15 MiB
  // request line: each is closed after its first 64 KiB.
  std::vector<int> chat, web;
  for (int i = 0; i < 20; ++i) {
    chat.push_back(ConnectFrom(chatd_->chatPort()));
    web.push_back(ConnectFrom(chatd_->httpPort()));
  }
  SendBytes(web[0], "GET /");
  for (int round = 0; round < 15; ++round) {
    for (int fd : chat) SendBytes(fd, mib);
    for (int fd : web) SendBytes(fd, mib);
  }
  long peak = Rss();
  for (int fd : chat) EXPECT_TRUE(ClosedWithin(fd, 10000));
  for (int fd : web) EXPECT_TRUE(ClosedWithin(fd, 10000));
  for (int fd : chat) close(fd);
  for (int fd : web) close(fd);
  if (kResidentMemoryMeans) {
    EXPECT_LT(peak - start, 48 * 1024) << "KiB held for 40 connections with unfinished lines";
  }

  // Ten logged-in clients that never read while one sender fills the room
  // with 60 KB lines: the queues stay within the total budget and the
  // memory goes back once the sleepers are gone.
  auto sender = Join("Sender");
  auto reader = Join("Reader");
  std::vector<std::unique_ptr<LineClient>> sleepers;
  for (int i = 0; i < 10; ++i) sleepers.push_back(Join("Sleeper" + std::to_string(i)));
  const int messages = 1000;
  const std::string text(60000, 's');
  std::atomic<bool> done{false};
  std::thread drain([&] { ReadMessages(*sender, "Sender", messages); });
  std::string lastList;
  std::thread read([&] { ReadMessages(*reader, "Sender", messages, &lastList); });
  std::thread watch([&] {
    while (!done) {
      peak = std::max(peak, Rss());
      usleep(20000);
    }
  });
  for (int i = 0; i < messages; ++i)
    ASSERT_TRUE(sender->Send("x\xA6Mess=" + text + "#" + std::to_string(i) + ";\xA6\n"));
  drain.join();
  read.join();
  auto list = ListOf(*reader, 2, lastList);
  done = true;
  watch.join();
  ASSERT_TRUE(list) << "the sleepers were never dropped";
  for (auto& s : sleepers) EXPECT_TRUE(s->WaitClosed(30000));
  if (kResidentMemoryMeans) {
    EXPECT_LT(peak - start, 160 * 1024) << "KiB at the peak of the flood";
  }
  // Memory is given back within a few housekeeping rounds.
  long after = Rss();
  for (int i = 0; kResidentMemoryMeans && i < 50 && after - start > 32 * 1024; ++i) {
    usleep(100000);
    after = Rss();
  }
  if (kResidentMemoryMeans) {
    EXPECT_LT(after - start, 32 * 1024) << "KiB still held after the flood";
  }
}

TEST_F(MemoryBoundTest, UnfinishedLinesOfLoggedInClientsShareOneBudget) {
  const long start = Rss();
  // Eight users each holding 12 MiB of one line: 96 MiB together, while
  // any single one of them stays under the 16 MiB a line may have.
  std::vector<std::unique_ptr<LineClient>> holders;
  for (int i = 0; i < 8; ++i) holders.push_back(Join("Holder" + std::to_string(i)));
  const std::string mib(1 << 20, 'h');
  std::vector<bool> open(holders.size(), true);
  for (int round = 0; round < 12; ++round)
    for (size_t i = 0; i < holders.size(); ++i)
      if (open[i]) open[i] = holders[i]->Send(mib);
  const long peak = Rss();
  int dropped = 0, kept = 0;
  for (auto& h : holders) {
    // Ends the long line, so a kept connection answers the address request.
    const auto lines = h->Sync();
    if (!lines.empty() && lines.back() == "<sync reply missing>") {
      ++dropped;
    } else {
      ++kept;
    }
  }
  EXPECT_GE(dropped, 2) << "96 MiB of unfinished lines were all kept";
  EXPECT_GE(kept, 4) << "more were dropped than the budget needs";
  if (kResidentMemoryMeans) {
    EXPECT_LT(peak - start, 90 * 1024) << "KiB held for the unfinished lines";
  }
}

class AdmissionTest : public ChatdTest {};

TEST_F(AdmissionTest, SlowRequestsAndSlowLoginsMeetADeadlineWholeOnesAreServed) {
  StartChatd({"--quiet"});
  // A byte now and then never completes a header or a login line.
  const int slowWeb = ConnectFrom(chatd_->httpPort());
  const int slowChat = ConnectFrom(chatd_->chatPort());
  const std::string header = "GET /index1.html HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: " + std::string(200, 'a');
  const std::string login = LineClient::LoginLine("Slowpoke", "pw", "");
  bool webOpen = true, chatOpen = true;
  for (size_t i = 0; i < 60 && (webOpen || chatOpen); ++i) {  // 30 s at most
    if (webOpen) webOpen = SendBytes(slowWeb, header.substr(i, 1)) && !ClosedWithin(slowWeb, 250);
    if (chatOpen) chatOpen = SendBytes(slowChat, login.substr(i, 1)) && !ClosedWithin(slowChat, 250);
  }
  EXPECT_FALSE(webOpen) << "a header sent a byte at a time stayed open";
  EXPECT_FALSE(chatOpen) << "a login line sent a byte at a time stayed open";
  close(slowWeb);
  close(slowChat);
  // A request sent in a few pieces within its time is answered, and the
  // connection then serves a second one.
  const int web = ConnectFrom(chatd_->httpPort());
  ASSERT_TRUE(SendBytes(web, "GET /a/gloc.html HTTP/1.1\r\n"));
  usleep(300000);
  ASSERT_TRUE(SendBytes(web, "Host: 127.0.0.1\r\n\r\nGET /b/gloc.html HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
  std::string replies;
  while (replies.find("200", replies.find("HTTP/1.1 200") + 1) == std::string::npos) {
    char buf[4096];
    pollfd p{web, POLLIN, 0};
    if (poll(&p, 1, kWaitMs) <= 0) break;
    const ssize_t n = recv(web, buf, sizeof buf, 0);
    if (n <= 0) break;
    replies.append(buf, static_cast<size_t>(n));
  }
  EXPECT_NE(replies.find("HTTP/1.1 200"), std::string::npos);
  EXPECT_NE(replies.find("HTTP/1.1 200", replies.find("HTTP/1.1 200") + 1), std::string::npos) << replies;
  close(web);
}

TEST_F(AdmissionTest, OneAddressCannotTakeEverySlotOnEitherPort) {
  StartChatd({"--quiet", "--per-address", "4"});
  std::vector<std::unique_ptr<LineClient>> mine;
  for (int i = 0; i < 4; ++i) mine.push_back(Join("Crowd" + std::to_string(i)));
  LineClient fifth(chatd_->chatPort());
  EXPECT_TRUE(fifth.WaitClosed()) << "a fifth chat connection from one address was kept";
  // Another address still gets in, and the four are untouched.
  const int other = ConnectFrom(chatd_->chatPort(), "127.0.0.2");
  ASSERT_GE(other, 0);
  ASSERT_TRUE(SendBytes(other, LineClient::LoginLine("Elsewhere", "pw", "")));
  char buf[256];
  pollfd p{other, POLLIN, 0};
  ASSERT_GT(poll(&p, 1, kWaitMs), 0);
  const ssize_t n = recv(other, buf, sizeof buf, 0);
  ASSERT_GT(n, 0);
  EXPECT_NE(std::string(buf, static_cast<size_t>(n)).find("NewUserNum="), std::string::npos);
  close(other);
  for (auto& c : mine) EXPECT_NE(c->Sync().back(), "<sync reply missing>");

  std::vector<int> web;
  for (int i = 0; i < 4; ++i) web.push_back(ConnectFrom(chatd_->httpPort()));
  const int fifthWeb = ConnectFrom(chatd_->httpPort());
  EXPECT_TRUE(ClosedWithin(fifthWeb, kWaitMs)) << "a fifth web connection from one address was kept";
  close(fifthWeb);
  for (int fd : web) EXPECT_TRUE(StillOpen(fd));
  const int otherWeb = ConnectFrom(chatd_->httpPort(), "127.0.0.2");
  ASSERT_TRUE(SendBytes(otherWeb, "GET /a/gloc.html HTTP/1.0\r\n\r\n"));
  std::string reply;
  while (reply.size() < 12) {
    pollfd q{otherWeb, POLLIN, 0};
    if (poll(&q, 1, kWaitMs) <= 0) break;
    const ssize_t m = recv(otherWeb, buf, sizeof buf, 0);
    if (m <= 0) break;
    reply.append(buf, static_cast<size_t>(m));
  }
  EXPECT_EQ(reply.substr(0, 12), "HTTP/1.1 200");
  close(otherWeb);
  for (int fd : web) close(fd);
}

class LogFloodTest : public ChatdTest {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/chatd-log-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    dir_ = pattern;
    StartChatd({"--log", dir_ + "/chatd.log"});
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string ReadLog() {
    std::ifstream in(dir_ + "/chatd.log", std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }
  // How many refusals of `kind` the log counts in all.
  static long Counted(const std::string& log, const std::string& kind) {
    long total = 0;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
      for (size_t at = line.find(kind); at != std::string::npos; at = line.find(kind, at + 1)) {
        static const std::regex count(R"((\d+) x $)");
        std::smatch m;
        const std::string before = line.substr(0, at);
        const size_t cut = before.size() > 24 ? before.size() - 24 : 0;
        const std::string tail = before.substr(cut);
        total += std::regex_search(tail, m, count) ? std::atol(m[1].str().c_str()) : 1;
      }
    }
    return total;
  }
  std::string dir_;
};

TEST_F(LogFloodTest, RefusedLinesAreCountedNotCopied) {
  const int lines = 100000;
  {
    LineClient stranger(chatd_->chatPort());
    // The first refused line carries escape sequences and a long tail.
    std::string flood = "\x1b[2J" + std::string(10000, 'A') + "\n";
    flood += std::string(lines - 1, '\n');
    ASSERT_TRUE(stranger.Send(flood));
    auto insider = Join("Noisy");
    std::string unknown;
    for (int i = 0; i < lines; ++i) unknown += "zz\n";
    ASSERT_TRUE(insider->Send(unknown));
    insider->Sync();
    // The stranger's lines were all read once the login after them is answered.
    EXPECT_NE(stranger.Login("Stranger", "pw"), "");
  }
  std::string log;
  for (int i = 0; i < 100; ++i) {
    log = ReadLog();
    if (Counted(log, "line before login dropped") >= lines && Counted(log, "unknown line dropped") > lines) break;
    usleep(100000);
  }
  EXPECT_EQ(Counted(log, "line before login dropped"), lines) << log;
  // The Sync adds one empty line of its own.
  EXPECT_EQ(Counted(log, "unknown line dropped"), lines + 1) << log;
  EXPECT_LT(log.size(), 4096u) << "log bytes for 200 000 refused lines";
  EXPECT_EQ(log.find('\x1b'), std::string::npos) << "control bytes reach the log";
  EXPECT_NE(log.find("\\x1b[2J"), std::string::npos);
  EXPECT_EQ(log.find(std::string(64, 'A')), std::string::npos) << "more than a short prefix was logged";
}

}  // namespace
}  // namespace chatd_test
