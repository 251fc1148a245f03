#include "server/accept_pause.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTcpServer>
#include <cerrno>

#include "server/log.h"

namespace chatd {

AcceptPause::AcceptPause(QTcpServer& server, std::string what, int pauseMs)
    : server_(server), what_(std::move(what)) {
  spare_ = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  resume_.setSingleShot(true);
  resume_.setInterval(pauseMs);
  connect(&resume_, &QTimer::timeout, this, &AcceptPause::Resume);
  connect(&server_, &QTcpServer::acceptError, this, &AcceptPause::OnAcceptError);
}

AcceptPause::~AcceptPause() {
  if (spare_ >= 0) ::close(spare_);
}

void AcceptPause::OnAcceptError(QAbstractSocket::SocketError error) {
  if (error != QAbstractSocket::SocketResourceError) {
    Log(what_ + ": accept failed (" + std::to_string(static_cast<int>(error)) + ")");
  }
  server_.pauseAccepting();
  const int refused = RefuseWaiting();
  refused_ += refused;
  if (!short_ && error == QAbstractSocket::SocketResourceError) {
    short_ = true;
    Log(what_ + ": out of file descriptors; new connections are refused until some close");
  }
  if (!resume_.isActive()) resume_.start();
}

int AcceptPause::RefuseWaiting() {
  if (spare_ < 0) return 0;
  // The spare descriptor makes room for exactly one accept at a time.
  ::close(spare_);
  spare_ = -1;
  int refused = 0;
  const int listening = static_cast<int>(server_.socketDescriptor());
  while (listening >= 0) {
    const int fd = ::accept4(listening, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) break;
    ::close(fd);
    ++refused;
  }
  spare_ = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  return refused;
}

void AcceptPause::Resume() {
  // Qt tries again; a connection that still finds no descriptor brings us
  // back here, one accept per pause instead of a busy loop.
  server_.resumeAccepting();
}

void AcceptPause::Accepted() {
  if (!short_) return;
  short_ = false;
  Log(what_ + ": accepting again (" + std::to_string(refused_) + " connections refused meanwhile)");
  refused_ = 0;
}

}  // namespace chatd
