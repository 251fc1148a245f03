#include "line_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "text/bytes.h"

namespace chatd_test {
namespace {

using Clock = std::chrono::steady_clock;

int Remaining(Clock::time_point deadline) {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return ms < 0 ? 0 : static_cast<int>(ms);
}

}  // namespace

int ConnectFrom(int port, const char* source, int sendTimeoutMs) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  inet_pton(AF_INET, source, &local.sin_addr);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (sendTimeoutMs > 0) {
    timeval t{sendTimeoutMs / 1000, (sendTimeoutMs % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &t, sizeof t);
  }
  return fd;
}

bool SendBytes(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

LineClient::LineClient(int port, const char* source) : fd_(ConnectFrom(port, source, 0)) {}

LineClient::~LineClient() {
  if (fd_ >= 0) close(fd_);
}

bool LineClient::Send(const std::string& bytes) { return fd_ >= 0 && SendBytes(fd_, bytes); }

std::optional<std::string> LineClient::ReadLine(int waitMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  while (true) {
    size_t lf = pending_.find('\n');
    if (lf != std::string::npos) {
      std::string line = pending_.substr(0, lf);
      pending_.erase(0, lf + 1);
      return line;
    }
    if (fd_ < 0) return std::nullopt;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, Remaining(deadline)) <= 0) return std::nullopt;
    char buf[65536];
    ssize_t n = recv(fd_, buf, sizeof buf, 0);
    if (n <= 0) return std::nullopt;
    pending_.append(buf, static_cast<size_t>(n));
  }
}

std::optional<std::string> LineClient::ReadUntil(const std::function<bool(const std::string&)>& match,
                                                 std::vector<std::string>* skipped, int waitMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  while (auto line = ReadLine(Remaining(deadline))) {
    if (match(*line)) return line;
    if (skipped) skipped->push_back(*line);
  }
  return std::nullopt;
}

std::vector<std::string> LineClient::Sync(const std::string& marker) {
  std::vector<std::string> lines;
  // The line feed first ends whatever partial line this client left.
  Send("\np\xA6" + marker + "\xA6\n");
  if (!ReadUntil([&](const std::string& l) { return text::StartsWith(l, "p|" + marker + "|"); }, &lines))
    lines.push_back("<sync reply missing>");
  return lines;
}

bool LineClient::WaitClosed(int waitMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  while (fd_ >= 0) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, Remaining(deadline)) <= 0) return false;
    char buf[65536];
    ssize_t n = recv(fd_, buf, sizeof buf, 0);
    if (n <= 0) return true;
    pending_.append(buf, static_cast<size_t>(n));
  }
  return true;
}

std::string LineClient::LoginLine(const std::string& name, const std::string& password, const std::string& number,
                                  const std::string& extra) {
  return "l\xA6Num=" + number + ";Name=" + name + ";Email=test@example.org;Color_Bacg=#ffffff;Color_Text=#000000;Pass=" +
         password + ";Type=7;Ver=2.8;" + extra + "\xA6\n";
}

std::string LineClient::Login(const std::string& name, const std::string& password, const std::string& number,
                              const std::string& extra) {
  Send(LoginLine(name, password, number, extra));
  auto line = ReadLine();
  if (!line) return "";
  auto record = AsRecord(*line);
  return record ? wire::Field(*record, "NewUserNum") : "";
}

std::optional<wire::Record> AsRecord(const std::string& line) {
  if (wire::ClassifyLine(line) != wire::LineClass::Record) return std::nullopt;
  return wire::ParseRecord(wire::RecordBody(line));
}

bool IsRecordWith(const std::string& line, const std::string& key) {
  auto r = AsRecord(line);
  return r && wire::Has(*r, key);
}

std::optional<HttpReply> HttpGet(int port, const std::string& pathAndQuery, bool gzip) {
  int fd = ConnectFrom(port, "127.0.0.1", 0);
  if (fd < 0) return std::nullopt;
  std::string request = "GET " + pathAndQuery + (gzip ? " HTTP/1.1\nAccept-Encoding: gzip" : " HTTP/1.0") +
                        "\nHost: 127.0.0.1:" + std::to_string(port) + "\n\n";
  SendBytes(fd, request);
  std::string data;
  std::optional<HttpReply> reply;
  const auto deadline = Clock::now() + std::chrono::milliseconds(kWaitMs);
  long length = -1;
  size_t headerEnd = std::string::npos;
  while (true) {
    if (headerEnd == std::string::npos) {
      headerEnd = data.find("\r\n\r\n");
      if (headerEnd != std::string::npos) {
        reply = HttpReply{};
        reply->headers = data.substr(0, headerEnd + 4);
        reply->status = std::atoi(reply->headers.c_str() + reply->headers.find(' ') + 1);
        size_t cl = reply->headers.find("\r\nContent-Length: ");
        if (cl != std::string::npos) length = std::atol(reply->headers.c_str() + cl + 18);
      }
    }
    if (reply && length >= 0 && data.size() >= headerEnd + 4 + static_cast<size_t>(length)) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, Remaining(deadline)) <= 0) break;
    char buf[65536];
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    data.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  if (reply) reply->body = data.substr(headerEnd + 4);
  return reply;
}

}  // namespace chatd_test
