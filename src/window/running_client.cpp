#include "window/running_client.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <algorithm>

#include "window/window_forward.h"

namespace window {
namespace {

constexpr int kAskerDeadlineMs = 5000;

}  // namespace

QString RaiseListener::SocketPath(const std::string& programDir) {
  // A hash keeps the name short (socket paths are limited to about a
  // hundred bytes) and the same for every spelling of one folder.
  const QString canonical = QFile::decodeName(QByteArray::fromStdString(programDir));
  const QByteArray hash = QCryptographicHash::hash(QFile::encodeName(canonical), QCryptographicHash::Sha256);
  QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (runtime.isEmpty()) runtime = QString::fromLocal8Bit(programDir.c_str());
  return runtime + "/chat-browser-" + QString::fromLatin1(hash.toHex().left(32)) + ".socket";
}

RaiseListener::RaiseListener(const std::string& programDir, QWidget* window, QObject* parent)
    : QObject(parent), server_(new QLocalServer(this)), window_(window) {
  const QString path = SocketPath(programDir);
  QLocalServer::removeServer(path);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  server_->setMaxPendingConnections(kMaxPending);
  server_->listen(path);
  connect(server_, &QLocalServer::newConnection, this, &RaiseListener::Accept);
}

RaiseListener::~RaiseListener() = default;

bool RaiseListener::Listening() const { return server_->isListening(); }

void RaiseListener::Accept() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    if (pending_ >= kMaxPending) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    ++pending_;
    socket->setReadBufferSize(kMaxRequest);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
      --pending_;
      socket->deleteLater();
    });
    // An asker that never finishes its line is dropped.
    QTimer::singleShot(kAskerDeadlineMs, socket, [socket] { socket->abort(); });
    Read(socket);
  }
}

void RaiseListener::Read(QLocalSocket* socket) {
  if (!socket->canReadLine()) {
    if (socket->bytesAvailable() >= kMaxRequest) socket->abort();
    return;
  }
  const QByteArray line = socket->readLine(kMaxRequest).trimmed();
  const qsizetype blank = line.indexOf(' ');
  const QByteArray word = blank < 0 ? line : line.left(blank);
  if (word != "raise") {
    socket->abort();
    return;
  }
  const QByteArray token = blank < 0 ? QByteArray() : line.mid(blank + 1);
  // From the event loop, not from inside the socket's signal.
  QTimer::singleShot(0, this, [this, token] { BringWindowForward(window_, token); });
  ++answered_;
  socket->write("ok\n");
  socket->disconnectFromServer();
}

bool AskRunningClientToRaise(const std::string& programDir, const QByteArray& activationToken, int waitMs) {
  const QString path = RaiseListener::SocketPath(programDir);
  QDeadlineTimer deadline(waitMs);
  QByteArray request = "raise";
  if (PlausibleActivationToken(activationToken)) request += ' ' + activationToken;
  request += '\n';
  const auto remaining = [&deadline] { return static_cast<int>(std::max<qint64>(1, deadline.remainingTime())); };
  do {
    QLocalSocket socket;
    socket.connectToServer(path);
    if (socket.waitForConnected(remaining())) {
      socket.write(request);
      socket.flush();
      while (!socket.canReadLine() && socket.waitForReadyRead(remaining())) {
      }
      return socket.canReadLine() && socket.readLine().trimmed() == "ok";
    }
    // The running client may not listen yet.
    QThread::msleep(100);
  } while (!deadline.hasExpired());
  return false;
}

}  // namespace window
