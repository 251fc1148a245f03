#include "server/chat_listener.h"

#include <QTcpSocket>
#include <QTimer>

#include "server/log.h"

namespace chatd {

ChatListener::ChatListener(QObject* parent) : QObject(parent) {
  connect(&server_, &QTcpServer::newConnection, this, &ChatListener::Accept);
}

ChatListener::~ChatListener() {
  for (auto& [id, c] : connections_) {
    if (c->socket) {
      c->socket->disconnect(this);
      c->socket->abort();
      delete c->socket;
    }
  }
}

bool ChatListener::Listen(const QHostAddress& address, quint16 port) { return server_.listen(address, port); }

void ChatListener::Accept() {
  while (QTcpSocket* socket = server_.nextPendingConnection()) {
    if (connections_.size() >= kMaxConnections) {
      Log("too many connections: one refused");
      socket->abort();
      socket->deleteLater();
      continue;
    }
    const ClientId id = nextId_++;
    auto c = std::make_unique<Connection>();
    c->socket = socket;
    connections_[id] = std::move(c);
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket, &QTcpSocket::readyRead, this, [this, id] { Read(id); });
    connect(socket, &QTcpSocket::disconnected, this, [this, id] { Lost(id); });
    QString address = socket->peerAddress().toString();
    if (address.startsWith("::ffff:")) address = address.mid(7);
    if (room_) room_->Connect(id, address.toStdString());
    // A connection that never logs in would hold its place for ever.
    QTimer::singleShot(kLoginWithinMs, this, [this, id] {
      if (room_ && !room_->IsLoggedIn(id) && connections_.count(id) && !connections_[id]->closing) {
        Log("client " + std::to_string(id) + " did not log in: dropped");
        room_->Disconnect(id);
        Retire(id, false);
      }
    });
  }
}

void ChatListener::Read(ClientId id) {
  auto it = connections_.find(id);
  if (it == connections_.end() || it->second->closing) return;
  Connection* c = it->second.get();
  const QByteArray data = c->socket->readAll();
  // Connection objects are freed only from queued calls, so `c` survives
  // whatever the room does while it handles these lines.
  const bool fits = c->buffer.Feed(std::string_view(data.constData(), static_cast<size_t>(data.size())),
                                   [this, c, id](const std::string& line) {
                                     if (!c->closing && room_) room_->Receive(id, line);
                                   });
  if (!fits && !c->closing) {
    Log("client " + std::to_string(id) + " sent more than 16 MiB without a line feed: dropped");
    if (room_) room_->Disconnect(id);
    Retire(id, false);
  }
}

void ChatListener::Send(ClientId id, const std::string& line) {
  auto it = connections_.find(id);
  if (it == connections_.end() || it->second->closing) return;
  QTcpSocket* socket = it->second->socket;
  if (socket->bytesToWrite() + static_cast<qint64>(line.size()) > kMaxQueuedBytes) {
    Log("client " + std::to_string(id) + " does not read its lines: dropped");
    it->second->closing = true;
    // The room is in the middle of handling a line; tell it later.
    QTimer::singleShot(0, this, [this, id] {
      if (room_) room_->Disconnect(id);
      Retire(id, false);
    });
    return;
  }
  socket->write(line.data(), static_cast<qint64>(line.size()));
}

void ChatListener::Close(ClientId id) {
  auto it = connections_.find(id);
  if (it == connections_.end() || it->second->closing) return;
  it->second->closing = true;
  QTimer::singleShot(0, this, [this, id] { Retire(id, true); });
}

void ChatListener::Lost(ClientId id) {
  auto it = connections_.find(id);
  if (it == connections_.end()) return;
  const bool known = !it->second->closing;
  it->second->closing = true;
  if (known && room_) room_->Disconnect(id);
  QTimer::singleShot(0, this, [this, id] { Retire(id, false); });
}

void ChatListener::Retire(ClientId id, bool flush) {
  auto it = connections_.find(id);
  if (it == connections_.end()) return;
  QTcpSocket* socket = it->second->socket;
  connections_.erase(it);
  socket->disconnect(this);
  if (flush && socket->state() == QAbstractSocket::ConnectedState) {
    // Written bytes go out first; the socket frees itself once closed.
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    socket->disconnectFromHost();
    if (socket->state() == QAbstractSocket::UnconnectedState) {
      socket->deleteLater();
    } else {
      // A peer that never reads would keep the socket for ever.
      QTimer::singleShot(10000, socket, [socket] {
        socket->abort();
        socket->deleteLater();
      });
    }
  } else {
    socket->abort();
    socket->deleteLater();
  }
}

}  // namespace chatd
