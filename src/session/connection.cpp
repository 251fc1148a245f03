#include "session/connection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <random>

#include "session/session_texts.h"
#include "session/pane.h"
#include "text/bytes.h"
#include "text/cp1251.h"

namespace session {

namespace {

size_t CountOccurrences(const std::string& s, const std::string& part) {
  size_t n = 0;
  for (size_t at = s.find(part); at != std::string::npos; at = s.find(part, at + part.size())) ++n;
  return n;
}

}  // namespace

std::string WithFailureMark(const std::string& lastLine) {
  if (CountOccurrences(lastLine, kAttemptFailedMark) > 9) {
    std::string text = text::ReplaceAll(lastLine, kAttemptFailedMark, "");
    text = text::ReplaceAll(text, kRestartMark, "");
    return text + kAttemptFailedMark;
  }
  return lastLine + kAttemptFailedMark;
}

std::string FailureReason(QAbstractSocket::SocketError error, bool russian, const std::string& fallback) {
  using E = QAbstractSocket::SocketError;
  auto say = [russian](const char* ru, const char* en) { return russian ? text::W(ru) : std::string(en); };
  switch (error) {
    case E::ConnectionRefusedError: return say("соединение отклонено", "connection refused");
    case E::RemoteHostClosedError: return say("сервер закрыл соединение", "the server closed the connection");
    case E::HostNotFoundError: return say("сервер не найден", "host not found");
    case E::SocketTimeoutError: return say("нет ответа", "no answer");
    case E::NetworkError: return say("сеть недоступна", "network unreachable");
    case E::SocketAccessError: return say("нет доступа к сети", "network access denied");
    case E::ProxyConnectionRefusedError:
    case E::ProxyConnectionClosedError:
    case E::ProxyNotFoundError: return say("ошибка прокси", "proxy error");
    default: break;
  }
  return fallback.empty() ? say("ошибка соединения", "connection error") : fallback;
}

std::string FailureNote(const std::string& host, uint16_t port, const std::string& reason) {
  return "<fcol=606060><bcol=ffffff> " + host + ":" + std::to_string(port) + ": " + reason + " ";
}

ServerConnection::ServerConnection(ConnectionHost& host, QObject* parent) : QObject(parent), host_(host) {
  timer_.setInterval(100);
  timer_.setSingleShot(false);
  connect(&timer_, &QTimer::timeout, this, &ServerConnection::OnTimer);
  for (QTimer* lamp : {&sendLampTimer_, &receiveLampTimer_}) lamp->setInterval(300);
  readChunk_.resize(static_cast<size_t>(kSocketWindow));
  gatherTimer_.setSingleShot(true);
  connect(&gatherTimer_, &QTimer::timeout, this, &ServerConnection::DispatchPending);
  connect(&sendLampTimer_, &QTimer::timeout, this, [this] {
    sendLampTimer_.stop();
    sendLamp_ = false;
    host_.LampsChanged();
  });
  connect(&receiveLampTimer_, &QTimer::timeout, this, [this] {
    receiveLampTimer_.stop();
    receiveLamp_ = false;
    host_.LampsChanged();
  });
  random_ = [] {
    static std::minstd_rand rng(std::random_device{}());
    return static_cast<int>(rng() % 10);
  };
}

ServerConnection::~ServerConnection() {
  timer_.stop();
  if (socket_) {
    socket_->disconnect(this);
    socket_->abort();
    delete socket_.data();
  }
}

void ServerConnection::Connect(Initiator initiator) {
  if (initiator != Initiator::None) {
    userStopped_ = false;
    host_.TakeFriendsSnapshot();
  } else if (userStopped_) {
    return;
  }
  if (!host_.IdentityComplete()) {
    if (!host_.AskForIdentity(initiator == Initiator::Registration)) {
      userStopped_ = true;
      timer_.stop();
      return;
    }
    // The user may have disconnected, or another attempt may have started,
    // while the dialog was open.
    if (userStopped_) return;
  }
  DropSocket();
  auto* socket = new QTcpSocket(this);
  socket->setReadBufferSize(kSocketReadBuffer);
  socket_ = socket;
  connect(socket, &QTcpSocket::connected, this, &ServerConnection::OnConnected);
  connect(socket, &QTcpSocket::readyRead, this, &ServerConnection::OnReadyRead);
  connect(socket, &QTcpSocket::bytesWritten, this, &ServerConnection::OnBytesWritten);
  connect(socket, &QTcpSocket::errorOccurred, this, &ServerConnection::OnError);
  connect(socket, &QTcpSocket::disconnected, this, &ServerConnection::OnDisconnected);
  host_.MenuStateChanged(false);
  if (initiator != Initiator::None)
    host_.CommPane().NewString(text::Shown(texts::kConnectingAs) + host_.UserName() + " ", 0x000000, 0xFFFFFF);
  // Connecting: both lamps, and no bytes of an earlier connection.
  LightLamps(true, true);
  receive_.Clear();
  ++socketGeneration_;
  if (const std::string local = host_.LocalAddress(); !local.empty())
    socket->bind(QHostAddress(QString::fromStdString(local)));
  socket->connectToHost(QString::fromStdString(host_.ServerHost()), host_.ServerPort());
}

std::string ServerConnection::LocalAddressInUse() const {
  if (!socket_ || socket_->state() != QAbstractSocket::ConnectedState) return {};
  return socket_->localAddress().toString().toStdString();
}

void ServerConnection::OnConnected() {
  discoveryCountdown_ = 0;
  host_.CancelRestartRequest();
  host_.ClearAddressRequests();
  host_.CommPane().AddString("<fcol=ff0000><bcol=ffffff>" + text::Shown(texts::kConnected));
  toldReason_.clear();
  outgoing_.clear();
  SendLine(host_.LoginLine());
  LightLamps(false, true);
  connected_ = true;
  host_.OnlineChanged(true);
  tag_ = 0;
}

// How lines travel from the socket to their handlers, and why nothing is
// freed under a running frame:
//  - OnReadyRead only moves what the socket holds into the receive buffer
//    (within its bounds) and schedules DispatchPending through the event
//    loop.  No handler ever runs inside the socket's signal.
//  - DispatchPending hands lines over one at a time, in order.  A handler
//    may run a nested loop (a move sliding, a question, a box); the socket
//    signals again from there and the lines after it are read and
//    dispatched from that loop, as they come.
//  - A lost socket is disconnected at once and freed with deleteLater; the
//    generation it leaves behind tells every dispatch under way, when its
//    handler returns, that the lines after it belonged to that connection.
//    This object itself outlives every loop its handlers start (its owner
//    goes only after the program's main loop has ended), and each dispatch
//    checks that it still exists after every handler anyway.
void ServerConnection::OnReadyRead() { ReadSocket(); }

void ServerConnection::ReadSocket() {
  QTcpSocket* socket = socket_;
  if (!socket) return;
  bool read = false;
  while (socket->bytesAvailable() > 0 && (!receive_.HasLine() || receive_.Size() < kReadAhead)) {
    const qint64 got = socket->read(readChunk_.data(), kSocketWindow);
    if (got <= 0) break;
    read = true;
    receivedBytes_ += static_cast<uint32_t>(got);
    if (!receive_.Append(std::string_view(readChunk_.data(), static_cast<size_t>(got)))) {
      OnError();  // a line without end past the bound
      TellFailureReason(host_.RussianTexts() ? text::W("слишком длинная строка от сервера")
                                             : std::string("a line from the server too long"));
      return;
    }
  }
  if (read) LightLamps(false, true);
  if (receive_.HasLine()) ScheduleDispatch(true);
}

void ServerConnection::ScheduleDispatch(bool gather) {
  if (dispatchScheduled_) return;
  dispatchScheduled_ = true;
  if (gather && lastDispatch_.isValid() && lastDispatch_.elapsed() < kGatherMs)
    gatherTimer_.start(kGatherMs);
  else
    QMetaObject::invokeMethod(this, &ServerConnection::DispatchPending, Qt::QueuedConnection);
}

void ServerConnection::DispatchPending() {
  dispatchScheduled_ = false;
  QPointer<ServerConnection> self(this);
  const uint64_t generation = socketGeneration_;
  QElapsedTimer slice;
  slice.start();
  std::string line;
  while (receive_.TakeLine(line)) {
    host_.DispatchLine(line);
    if (!self || generation != socketGeneration_) return;
    if (slice.elapsed() >= kDispatchSliceMs) break;
  }
  lastDispatch_.start();
  // Room again for what the socket still holds; a backlog goes on at once.
  ReadSocket();
  if (receive_.HasLine()) ScheduleDispatch(false);
}

void ServerConnection::SendLine(const std::string& line) {
  host_.TraceSent(line);
  outgoing_ += line;
  FlushOutgoing();
}

void ServerConnection::FlushOutgoing() {
  if (!socket_ || socket_->state() != QAbstractSocket::ConnectedState) {
    outgoing_.clear();
    return;
  }
  if (outgoing_.empty()) return;
  // The socket queues whatever it is given; offer only what fits in its window.
  const qint64 room = kSocketWindow - socket_->bytesToWrite();
  if (room <= 0) return;
  const qint64 offer = std::min<qint64>(room, static_cast<qint64>(outgoing_.size()));
  const qint64 accepted = socket_->write(outgoing_.data(), offer);
  if (accepted > 0) {
    outgoing_.erase(0, static_cast<size_t>(accepted));
    sentBytes_ += static_cast<uint32_t>(accepted);
    LightLamps(true, false);
  }
}

void ServerConnection::OnBytesWritten() { FlushOutgoing(); }

void ServerConnection::OnError() {
  AppendFailureMarks();
  if (socket_ && socket_->error() != QAbstractSocket::UnknownSocketError)
    TellFailureReason(FailureReason(socket_->error(), host_.RussianTexts(),
                                    text::Utf8ToCp1251(socket_->errorString().toStdString())));
  // One loss per socket: the socket still reports its disconnection after
  // the error, which must not count a second time.
  if (socket_) socket_->disconnect(this);
  QPointer<QTcpSocket> failed = socket_;
  QMetaObject::invokeMethod(
      this,
      [this, failed] {
        if (failed && failed == socket_) CloseConnection();
      },
      Qt::QueuedConnection);
}

// After the marks, on the same line: the marks keep their count and place.
void ServerConnection::TellFailureReason(const std::string& reason) {
  if (reason == toldReason_) return;
  toldReason_ = reason;
  host_.CommPane().AddString(FailureNote(host_.ServerHost(), host_.ServerPort(), reason));
}

void ServerConnection::OnDisconnected() {
  EnterOffline();
  if (!userStopped_) AppendFailureMarks();
  DropSocket();
  if (!userStopped_) ScheduleReconnect();
}

void ServerConnection::EnterOffline() {
  outgoing_.clear();
  const bool wasOnline = connected_;
  connected_ = false;
  if (wasOnline) host_.OnlineChanged(false);
  host_.ShowEmptyOnlineList();
}

void ServerConnection::DropSocket() {
  if (!socket_) return;
  QTcpSocket* socket = socket_;
  socket_ = nullptr;
  // Lines still buffered belong to the connection that is going away.
  receive_.Clear();
  ++socketGeneration_;
  socket->disconnect(this);
  socket->abort();
  socket->deleteLater();
}

void ServerConnection::CloseConnection() {
  outgoing_.clear();
  if (!socket_) return;
  EnterOffline();
  DropSocket();
  if (!userStopped_) ScheduleReconnect();
}

void ServerConnection::Disconnect() {
  userStopped_ = true;
  timer_.stop();
  if (socket_) host_.CommPane().NewString(text::Shown(texts::kDisconnected), 255, 0xFFFFFF);
  host_.MenuStateChanged(true);
  CloseConnection();
  tag_ = 1;
}

void ServerConnection::ScheduleReconnect() {
  timer_.stop();
  timer_.setInterval(tag_ > 9 ? 2000 : 100);
  timer_.start();
  ++tag_;
}

void ServerConnection::OnTimer() {
  timer_.stop();
  QPointer<ServerConnection> self(this);
  QCoreApplication::processEvents();
  if (!self || host_.ShuttingDown()) return;
  Connect(tag_ == 1 ? Initiator::User : Initiator::None);
}

void ServerConnection::AppendFailureMarks() {
  ChatPane& comm = host_.CommPane();
  comm.ReplaceLastStr(WithFailureMark(comm.GetLastStr()));
  if (random_() < 2 && !host_.RestartPending()) {
    comm.AddString(kRestartMark);
    host_.StartRestartRequest();
  }
  if (discoveryCountdown_ == 0) {
    if (host_.DiscoveryRunning()) {
      discoveryCountdown_ = -1;
    } else {
      comm.AddString(kDiscoveryMark);
      host_.StartDiscovery();
    }
  }
  discoveryCountdown_ = (discoveryCountdown_ + 1) % 20;
}

// The window is told only when a lamp comes on: a flood reads many times
// while the lamp is lit, and redrawing it for each read costs the window a
// repaint every time.
void ServerConnection::LightLamps(bool send, bool receive) {
  const bool comesOn = (send && !sendLamp_) || (receive && !receiveLamp_);
  if (send) {
    sendLamp_ = true;
    sendLampTimer_.start();
  }
  if (receive) {
    receiveLamp_ = true;
    receiveLampTimer_.start();
  }
  if (comesOn) host_.LampsChanged();
}

void ServerConnection::AddTraffic(uint32_t in, uint32_t out, bool send, bool receive) {
  receivedBytes_ += in;
  sentBytes_ += out;
  LightLamps(send, receive);
}

}  // namespace session
