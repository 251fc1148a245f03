#include "server/acceptor.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTcpServer>
#include <cerrno>
#include <cstring>

#include "server/log.h"

namespace chatd {
namespace {
// Connections taken per readiness, so one flood cannot starve the rest.
constexpr int kAcceptsPerTurn = 64;
}  // namespace

Acceptor::Acceptor(QTcpServer& server, std::string what, std::function<void(qintptr)> take, int pauseMs)
    : server_(server), what_(std::move(what)), take_(std::move(take)) {
  spare_ = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  resume_.setSingleShot(true);
  resume_.setInterval(pauseMs);
  connect(&resume_, &QTimer::timeout, this, &Acceptor::Resume);
}

Acceptor::~Acceptor() {
  if (spare_ >= 0) ::close(spare_);
}

void Acceptor::Start() {
  KeepQtQuiet();
  notifier_ = new QSocketNotifier(server_.socketDescriptor(), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &Acceptor::OnReadable);
}

void Acceptor::KeepQtQuiet() { server_.pauseAccepting(); }

void Acceptor::OnReadable() {
  const int listening = static_cast<int>(server_.socketDescriptor());
  for (int i = 0; i < kAcceptsPerTurn; ++i) {
    const int fd = ::accept4(listening, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
      if (short_) {
        short_ = false;
        Log(what_ + ": accepting again (" + std::to_string(refused_) + " connections refused meanwhile)");
        refused_ = 0;
      }
      take_(fd);
      continue;
    }
    const int error = errno;
    if (error == EINTR || error == ECONNABORTED) continue;
    if (error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM) Shortage(error);
    // EAGAIN: nothing more waits.  Anything else is left to the next turn.
    return;
  }
}

void Acceptor::Shortage(int error) {
  notifier_->setEnabled(false);
  refused_ += RefuseWaiting();
  if (!short_) {
    short_ = true;
    Log(what_ + ": out of file descriptors (" + std::strerror(error) +
        "); new connections are refused until some close");
  }
  resume_.start();
}

long Acceptor::RefuseWaiting() {
  if (spare_ < 0) return 0;
  // The spare descriptor makes room for exactly one accept at a time.
  ::close(spare_);
  spare_ = -1;
  long refused = 0;
  const int listening = static_cast<int>(server_.socketDescriptor());
  for (int fd; (fd = ::accept4(listening, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0; ++refused)
    ::close(fd);
  spare_ = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  return refused;
}

void Acceptor::Resume() {
  // A connection that still finds no descriptor brings us back to
  // Shortage: one accept per pause instead of a busy loop.
  if (notifier_) notifier_->setEnabled(true);
}

}  // namespace chatd
