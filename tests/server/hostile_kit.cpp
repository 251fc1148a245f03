#include "hostile_kit.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace chatd_test {

int ConnectFrom(int port, const char* source) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  inet_pton(AF_INET, source, &local.sin_addr);
  if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    close(fd);
    return -1;
  }
  timeval t{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &t, sizeof t);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool SendBytes(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool ClosedWithin(int fd, int waitMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (true) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) return false;
    char buf[65536];
    if (recv(fd, buf, sizeof buf, 0) <= 0) return true;
  }
}

bool StillOpen(int fd) {
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, 0) <= 0) return true;  // nothing pending: neither data nor close
  char c;
  const ssize_t n = recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
  return n > 0;
}

long ResidentKiB(pid_t pid) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/status", static_cast<int>(pid));
  FILE* f = std::fopen(path, "r");
  if (!f) return 0;
  char line[256];
  long kib = 0;
  while (std::fgets(line, sizeof line, f)) {
    if (std::strncmp(line, "VmRSS:", 6) == 0) {
      kib = std::atol(line + 6);
      break;
    }
  }
  std::fclose(f);
  return kib;
}

}  // namespace chatd_test
