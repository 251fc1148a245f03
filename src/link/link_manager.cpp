#include "link/link_manager.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <tuple>
#include <utility>

#include "link/link_host.h"
#include "wire/wire.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "text/fold.h"
#include "text/shown_text.h"

namespace direct {

using text::W;

namespace {

// What Qt is offered at once; the rest waits in the link's send buffer.
constexpr qint64 kWriteWindow = 64 * 1024;
// A handshake frame carries a user name.
constexpr size_t kMaxHandshakePayload = 256;
// What a caller may send before he is accepted.
constexpr size_t kMaxCallerBytes = 64 * 1024;
// Most bytes Qt holds for one link's socket before it stops reading it.
constexpr qint64 kSocketReadBuffer = 1 << 20;
// Bytes of whole frames read ahead of delivery.
constexpr size_t kReadAhead = 256 * 1024;
// Frames are delivered in slices of about this long between returns to the
// event loop.
constexpr int kDeliverySliceMs = 8;

// The buffer starts with a whole frame, or with bytes that can never begin
// one (TakeFrame then says so).
bool HoldsWholeFrame(const std::string& buffer, size_t maxPayload) {
  if (buffer.size() < kFrameHeader) return false;
  uint32_t length = 0;
  for (int i = 4; i >= 1; --i) length = (length << 8) | static_cast<unsigned char>(buffer[size_t(i)]);
  return buffer[0] < 'a' || buffer[0] > 'y' || length > maxPayload || buffer.size() >= kFrameHeader + length;
}

// A name shown as a link in the pane and used as a key: nothing that would
// end a tag or an attribute.
bool UsableName(std::string_view name) {
  if (name.empty()) return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    return c == '<' || c == '>' || c == '"' || c == '|' || static_cast<unsigned char>(c) < 0x20;
  });
}

// One spelling per address: an IPv4 address mapped into IPv6 as plain IPv4.
std::string CanonicalAddress(const QHostAddress& a) {
  bool ok = false;
  const quint32 v4 = a.toIPv4Address(&ok);
  return ok ? QHostAddress(v4).toString().toStdString() : a.toString().toStdString();
}

std::string CanonicalAddress(const std::string& text) {
  const QHostAddress a(QString::fromStdString(text));
  return a.isNull() ? std::string() : CanonicalAddress(a);
}

std::string PeerAddressOf(const QTcpSocket& socket) { return CanonicalAddress(socket.peerAddress()); }

// Garbage collection of links runs this often.
constexpr int kIdleSweepMs = 60'000;
// A drained receive buffer keeps at most this much memory.
constexpr size_t kKeptReceiveCapacity = 64 * 1024;

}  // namespace

std::string StateText(int state) {
  switch (state) {
    case kConnecting: return text::Shown("Соединяемся", "Connecting");
    case kConnected: return text::Shown("Связь есть", "Connected");
    case kLinked: return text::Shown("Соединились", "Linked");
    case kClosed: return text::Shown("отключены", "closed");
    case kBroken: return text::Shown("Разрыв", "Broken");
    case kWaitingAddress: return text::Shown("Ждем IP", "Waiting for IP");
    case kImpossible: return text::Shown("Невозможно", "Impossible");
    default: return std::string();
  }
}

LinkManager::LinkManager(LinkHost& host, LinkOptions options) : host_(host), options_(std::move(options)) {
  idleTimer_ = new QTimer(this);
  idleTimer_->setInterval(kIdleSweepMs);
  QObject::connect(idleTimer_, &QTimer::timeout, this, [this] { RemoveIdleLinks(); });
  idleTimer_->start();
}

LinkManager::~LinkManager() {
  for (auto& l : links_) {
    l->stopRequested = true;
    if (l->socket) Detach(l->socket);
    l->socket = nullptr;
  }
  for (auto& c : callers_) Detach(c->socket);
  callers_.clear();
  if (server_) server_->close();
}

// ---- listening ----------------------------------------------------------------

bool LinkManager::Listen() {
  if (options_.localAddress.empty()) return false;
  return StartListening(options_.localAddress);
}

bool LinkManager::ListenOn(const std::string& address) {
  if (!options_.localAddress.empty()) return Listen();
  if (address.empty()) return false;
  if (Listening() && ListeningAddress() == CanonicalAddress(address)) return true;
  if (server_) server_->close();
  return StartListening(address);
}

std::string LinkManager::ListeningAddress() const {
  return Listening() ? CanonicalAddress(server_->serverAddress()) : std::string();
}

bool LinkManager::StartListening(const std::string& text) {
  if (!server_) {
    server_ = new QTcpServer(this);
    server_->setMaxPendingConnections(int(options_.maxPendingCallers));
    QObject::connect(server_, &QTcpServer::newConnection, this, [this] { OnNewConnection(); });
  }
  if (server_->isListening()) return true;
  QHostAddress address(QString::fromStdString(text));
  // An IPv4 address mapped into IPv6 listens as IPv4, where its callers arrive.
  bool v4 = false;
  if (const quint32 plain = address.toIPv4Address(&v4); v4) address = QHostAddress(plain);
  if (address.isNull() || !server_->listen(address, options_.port)) {
    // Another client on this machine holds the port: links still go out,
    // none come in, which only someone reading the trace needs to know.
    if (host_.TraceEnabled())
        host_.Trace(text::Shown("Прямое соединение: порт ", "Direct link: port ") + std::to_string(options_.port) + text::Shown(" занят (", " is taken (") +
                  server_->errorString().toStdString() + text::Shown("), входящие соединения не принимаются", "), incoming links are not accepted"));
    return false;
  }
  return true;
}

bool LinkManager::Listening() const { return server_ && server_->isListening(); }

// ---- links ----------------------------------------------------------------------

bool LinkManager::Current(const DirectLink* l, uint64_t attempt) const {
  for (auto& link : links_)
    if (link.get() == l) return l->attempt == attempt;
  return false;
}

void LinkManager::RemoveIdleLinks() {
  const int64_t now = host_.NowMs();
  const size_t before = links_.size();
  for (auto it = links_.begin(); it != links_.end();) {
    DirectLink& l = **it;
    if (now - l.lastActiveMs < options_.idleLinkMs) {
      ++it;
      continue;
    }
    l.stopRequested = true;
    if (l.socket) Detach(l.socket);
    l.socket = nullptr;
    if (!l.sendBuffer.empty()) FallBackToServer(l);
    it = links_.erase(it);
  }
  if (links_.size() != before) ScheduleRefresh();
}

size_t LinkManager::ReceiveCommitted() const {
  size_t total = 0;
  for (auto& l : links_) total += l->receiveCommitted;
  return total;
}

bool LinkManager::CommitReceive(DirectLink& link) {
  std::string& buffer = link.receiveBuffer;
  if (buffer.empty()) {
    ReleaseReceive(link);
    return true;
  }
  size_t need = buffer.size();
  if (buffer.size() >= kFrameHeader) {
    uint32_t raw = 0;
    for (int i = 0; i < 4; ++i) raw |= uint32_t(static_cast<unsigned char>(buffer[1 + i])) << (8 * i);
    need = std::max(need, kFrameHeader + size_t(raw));
  }
  const size_t others = ReceiveCommitted() - link.receiveCommitted;
  if (others + need > options_.receiveBudget) return false;
  link.receiveCommitted = need;
  // Room for the whole frame at once: no doubling while it arrives.
  if (buffer.capacity() < need) buffer.reserve(need);
  return true;
}

void LinkManager::ReleaseReceive(DirectLink& link) {
  link.receiveCommitted = 0;
  if (link.receiveBuffer.empty() && link.receiveBuffer.capacity() > kKeptReceiveCapacity)
    std::string().swap(link.receiveBuffer);
}

DirectLink* LinkManager::FindLink(const std::string& name) {
  for (auto& l : links_)
    if (l->peerName == name) return l.get();
  return nullptr;
}

const DirectLink* LinkManager::Find(const std::string& name) const {
  for (auto& l : links_)
    if (l->peerName == name) return l.get();
  return nullptr;
}

DirectLink* LinkManager::FindFolded(const std::string& folded) {
  for (auto& l : links_)
    if (text::FoldLookAlikes(l->peerName) == folded) return l.get();
  return nullptr;
}

void LinkManager::QueueFrame(DirectLink& link, const std::string& payload) {
  if (!payload.empty()) link.sendBuffer += EncodeFrame('c', payload);
}

void LinkManager::SendNotice(const std::string& name) {
  host_.SendLine(wire::DirectLinkNoticeLine(name, host_.NextMessageNumber()));
}

bool LinkManager::SendDirect(const std::string& name, const std::string& payload) {
  DirectLink* link = FindLink(name);
  if (link) link->lastActiveMs = host_.NowMs();
  if (!link) {
    auto created = std::make_unique<DirectLink>();
    link = created.get();
    link->peerName = name;
    link->lastActiveMs = host_.NowMs();
    links_.push_back(std::move(created));
    if (!UsableName(name)) {
      link->state = kImpossible;
      ScheduleRefresh();
      return false;
    }
    QueueFrame(*link, payload);
    host_.SendLine(wire::PeerAddressLine(name));
    SendNotice(name);
    WaitForAddress(*link);
    ScheduleRefresh();
    return true;
  }
  if (link->state == kImpossible) return false;
  QueueFrame(*link, payload);
  if (link->state == kLinked) {
    Flush(*link);
  } else if ((link->state == kClosed || link->state == kBroken) && !link->peerAddress.empty() &&
             !payload.empty()) {
    // The peer accepts a caller only after a fresh notice.
    SendNotice(name);
    Connect(*link);
  }
  return true;
}

bool LinkManager::OnAddressReply(const std::string& line) {
  if (!text::StartsWith(line, "p|")) return false;
  std::string_view rest = std::string_view(line).substr(2);
  const size_t bar = rest.find('|');
  if (bar == std::string_view::npos) return false;
  const std::string name = wire::UnescapeField(rest.substr(0, bar));
  std::string_view address = rest.substr(bar + 1);
  if (const size_t end = address.find('|'); end != std::string_view::npos) address = address.substr(0, end);
  const bool forNotice = NoticeAnswered(name, std::string(address));
  DirectLink* link = FindLink(name);
  if (!link) return forNotice;
  if (link->state != kWaitingAddress) return true;
  const QHostAddress parsed(QString::fromStdString(std::string(address)));
  if (address.empty() || parsed.isNull()) {
    link->state = kImpossible;
    FallBackToServer(*link);
    ScheduleRefresh();
    return true;
  }
  link->peerAddress = std::string(address);
  Connect(*link);
  return true;
}

// Without an answer the link can never be made, and everything queued for
// the peer would wait for the rest of the session: it goes through the
// server instead, as after a refused connect.
void LinkManager::WaitForAddress(DirectLink& link) {
  const uint64_t attempt = link.attempt = nextAttempt_++;
  DirectLink* l = &link;
  QTimer::singleShot(options_.addressWaitMs, this, [this, l, attempt] {
    if (!Current(l, attempt) || l->state != kWaitingAddress) return;
    host_.Trace(text::Shown("Прямое соединение с ", "Direct link with ") + l->peerName + text::Shown(": сервер не сообщил адрес", ": the server did not give an address"));
    l->state = kImpossible;
    l->attempt = nextAttempt_++;
    FallBackToServer(*l);
    ScheduleRefresh();
  });
}

void LinkManager::Connect(DirectLink& link) {
  if (link.socket) Detach(link.socket);
  link.socket = nullptr;
  link.receiveBuffer.clear();
  ReleaseReceive(link);
  link.outgoing = true;
  link.stopRequested = false;
  auto* socket = new QTcpSocket(this);
  if (!options_.localAddress.empty()) socket->bind(QHostAddress(QString::fromStdString(options_.localAddress)));
  Attach(link, socket);
  link.state = kConnecting;
  ScheduleRefresh();
  const uint64_t attempt = link.attempt = nextAttempt_++;
  DirectLink* l = &link;
  QTimer::singleShot(options_.connectTimeoutMs, this, [this, l, attempt] {
    if (Current(l, attempt) && (l->state == kConnecting || l->state == kConnected)) {
      host_.Trace(text::Shown("Прямое соединение с ", "Direct link with ") + l->peerName + text::Shown(": нет ответа", ": no answer"));
      Lose(*l, kBroken);
    }
  });
  socket->connectToHost(QString::fromStdString(link.peerAddress), options_.port);
}

void LinkManager::Attach(DirectLink& link, QTcpSocket* socket) {
  DirectLink* l = &link;
  link.socket = socket;
  socket->setReadBufferSize(kSocketReadBuffer);
  QObject::connect(socket, &QTcpSocket::connected, this, [this, l] { OnConnected(*l); });
  QObject::connect(socket, &QTcpSocket::readyRead, this, [this, l] { OnReadable(*l); });
  QObject::connect(socket, &QTcpSocket::bytesWritten, this, [this, l] { Flush(*l); });
  QObject::connect(socket, &QTcpSocket::errorOccurred, this, [this, l](QAbstractSocket::SocketError e) {
    Lose(*l, e == QAbstractSocket::RemoteHostClosedError ? kClosed : kBroken);
  });
  QObject::connect(socket, &QTcpSocket::disconnected, this, [this, l] { Lose(*l, kClosed); });
}

void LinkManager::Detach(QTcpSocket* socket) {
  if (!socket) return;
  QObject::disconnect(socket, nullptr, this, nullptr);
  socket->abort();
  socket->deleteLater();
}

void LinkManager::OnConnected(DirectLink& link) {
  if (link.stopRequested) return;
  link.state = kConnected;
  ScheduleRefresh();
  // The answering side names itself first, but a caller that names itself at
  // once works with either order, so it does not wait for that frame.
  const std::string hello = EncodeFrame('a', text::FoldLookAlikes(host_.UserName()));
  link.socket->write(hello.data(), qint64(hello.size()));
}

void LinkManager::OnReadable(DirectLink& link) {
  if (!link.socket) return;
  ReadLink(link);
  link.lastActiveMs = host_.NowMs();
  if (link.state == kConnected) {
    char type = 0;
    std::string payload;
    const FrameResult r = TakeFrame(link.receiveBuffer, type, payload, kMaxHandshakePayload);
    if (r == FrameResult::Incomplete) return;
    if (r == FrameResult::Garbage || type != 'a' || payload != text::FoldLookAlikes(link.peerName)) {
      host_.Trace(text::Shown("Прямое соединение с ", "Direct link with ") + link.peerName + text::Shown(": неверное приветствие, отключено", ": bad greeting, disconnected"));
      Lose(link, kBroken);
      return;
    }
    link.state = kLinked;
    ScheduleRefresh();
    Flush(link);
  }
  if (link.state != kLinked) {
    Lose(link, kClosed);
    return;
  }
  if (HoldsWholeFrame(link.receiveBuffer, options_.maxFramePayload)) ScheduleDelivery();
  else if (!CommitReceive(link)) LoseOverBudget(link);
}

void LinkManager::ReadLink(DirectLink& link) {
  QTcpSocket* socket = link.socket;
  while (socket && socket->bytesAvailable() > 0 &&
         (!HoldsWholeFrame(link.receiveBuffer, options_.maxFramePayload) || link.receiveBuffer.size() < kReadAhead)) {
    const QByteArray bytes = socket->read(kWriteWindow);
    if (bytes.isEmpty()) break;
    link.receiveBuffer.append(bytes.constData(), size_t(bytes.size()));
  }
}

void LinkManager::ScheduleDelivery() {
  if (deliveryPending_) return;
  deliveryPending_ = true;
  QTimer::singleShot(0, this, [this] { DeliverPending(); });
}

// One frame at a time, link after link.  A handler may run a nested loop in
// which links are lost, made again or added: after each frame the link must
// still be on the same connection, or its remaining bytes are not ours.
void LinkManager::DeliverPending() {
  deliveryPending_ = false;
  QPointer<LinkManager> self(this);
  QElapsedTimer slice;
  slice.start();
  bool more = false;
  for (size_t i = 0; i < links_.size(); ++i) {
    DirectLink& link = *links_[i];
    const uint64_t attempt = link.attempt;
    while (link.state == kLinked && link.attempt == attempt && link.socket) {
      if (slice.elapsed() >= kDeliverySliceMs) {
        more = true;
        break;
      }
      char type = 0;
      std::string payload;
      const FrameResult r = TakeFrame(link.receiveBuffer, type, payload, options_.maxFramePayload);
      if (r == FrameResult::Incomplete) {
        ReadLink(link);
        if (!HoldsWholeFrame(link.receiveBuffer, options_.maxFramePayload)) {
          if (!CommitReceive(link)) LoseOverBudget(link);
          break;
        }
        continue;
      }
      if (r == FrameResult::Garbage) {
        host_.Trace(text::Shown("Прямое соединение с ", "Direct link with ") + link.peerName + text::Shown(": неверный кадр, отключено", ": bad frame, disconnected"));
        Lose(link, kClosed);
        break;
      }
      if (type == 'c') {
        Deliver(link, payload);
        if (!self) return;
      }
    }
  }
  if (more) ScheduleDelivery();
}

// All links' unfinished frames together stay within the receive budget.
void LinkManager::LoseOverBudget(DirectLink& link) {
  host_.Trace(text::Shown("Прямое соединение с ", "Direct link with ") + link.peerName + text::Shown(": слишком много незаконченных данных, отключено", ": too much unfinished data, disconnected"));
  Lose(link, kBroken);
}

// A packet names its sender; on a link that can only be the peer himself.
void LinkManager::Deliver(DirectLink& link, const std::string& payload) {
  const size_t bar = payload.find('|', 2);
  if (!text::StartsWith(payload, "f|") || bar == std::string::npos ||
      payload.compare(2, bar - 2, text::FoldLookAlikes(link.peerName)) != 0) {
    host_.Trace(text::Shown("Прямое соединение с ", "Direct link with ") + link.peerName + text::Shown(": пакет от чужого имени, пропущен", ": packet under another name, skipped"));
    return;
  }
  host_.HandlePacket("f|" + wire::EscapeField(link.peerName) + payload.substr(bar));
}

void LinkManager::Flush(DirectLink& link) {
  if (!link.socket || link.state != kLinked || link.socket->state() != QAbstractSocket::ConnectedState)
    return;
  const qint64 room = kWriteWindow - link.socket->bytesToWrite();
  if (room <= 0 || link.sendBuffer.empty()) return;
  const qint64 n = std::min<qint64>(room, qint64(link.sendBuffer.size()));
  const qint64 written = link.socket->write(link.sendBuffer.data(), n);
  if (written > 0) link.sendBuffer.erase(0, size_t(written));
}

void LinkManager::Lose(DirectLink& link, int stateAfterLink) {
  if (!link.socket) return;
  const bool linked = link.state == kLinked;
  Detach(link.socket);
  link.socket = nullptr;
  link.receiveBuffer.clear();
  ReleaseReceive(link);
  link.attempt = nextAttempt_++;
  if (linked) {
    link.state = stateAfterLink;
  } else {
    // Refused, timed out, or not the peer we asked for: the server carries it.
    link.state = kImpossible;
    FallBackToServer(link);
  }
  ScheduleRefresh();
}

// Packets a sender was told would go over the link are not lost when it
// cannot be made: they go through the server as if sent there at once.
void LinkManager::FallBackToServer(DirectLink& link) {
  std::string frames = std::move(link.sendBuffer);
  link.sendBuffer.clear();
  char type = 0;
  std::string payload;
  while (TakeFrame(frames, type, payload, SIZE_MAX) == FrameResult::Frame) {
    if (type != 'c') continue;
    const size_t bar = payload.find('|', 2);
    if (bar == std::string::npos) continue;
    host_.SendLine(ServerLineFor(link.peerName, std::string_view(payload).substr(bar + 1)));
  }
}

// ---- callers ------------------------------------------------------------------

void LinkManager::OnNewConnection() {
  while (QTcpSocket* socket = server_->nextPendingConnection()) {
    socket->setReadBufferSize(kSocketReadBuffer);
    const std::string address = PeerAddressOf(*socket);
    MakeRoomForCaller(address);
    auto caller = std::make_unique<Caller>();
    Caller* c = caller.get();
    const uint64_t id = c->id = nextCallerId_++;
    c->socket = socket;
    c->address = address;
    c->lastActiveMs = host_.NowMs();
    callers_.push_back(std::move(caller));
    QObject::connect(socket, &QTcpSocket::readyRead, this, [this, c] { OnCallerReadable(c); });
    QObject::connect(socket, &QTcpSocket::disconnected, this, [this, id] { DropCaller(id); });
    QObject::connect(socket, &QTcpSocket::errorOccurred, this, [this, id] { DropCaller(id); });
    // The answering side names itself first; the caller answers with his
    // own "a" frame, which is checked against the notices below.
    const std::string hello = EncodeFrame('a', text::FoldLookAlikes(host_.UserName()));
    socket->write(hello.data(), qint64(hello.size()));
    QTimer::singleShot(options_.handshakeWaitMs, this, [this, id] {
      if (!FindCaller(id)) return;
      host_.Trace(text::Shown("Прямое соединение: входящее без приглашения отклонено", "Direct link: uninvited caller refused"));
      DropCaller(id);
    });
    OnCallerReadable(c);
  }
}

void LinkManager::MakeRoomForCaller(const std::string& address) {
  auto oldestIdle = [this](bool sameAddressOnly, const std::string& from) {
    Caller* oldest = nullptr;
    size_t count = 0;
    for (auto& c : callers_) {
      if (sameAddressOnly && c->address != from) continue;
      ++count;
      if (!oldest || c->lastActiveMs < oldest->lastActiveMs) oldest = c.get();
    }
    return std::pair{oldest, count};
  };
  for (auto [oldest, n] = oldestIdle(true, address); oldest && n >= options_.maxCallersPerAddress;
       std::tie(oldest, n) = oldestIdle(true, address))
    DropCaller(oldest->id);
  for (auto [oldest, n] = oldestIdle(false, address); oldest && n >= options_.maxPendingCallers;
       std::tie(oldest, n) = oldestIdle(false, address))
    DropCaller(oldest->id);
}

void LinkManager::OnCallerReadable(Caller* c) {
  const QByteArray bytes = c->socket->readAll();
  c->buffer.append(bytes.constData(), size_t(bytes.size()));
  if (!bytes.isEmpty()) c->lastActiveMs = host_.NowMs();
  if (c->buffer.size() > kMaxCallerBytes) {
    DropCaller(c->id);
    return;
  }
  if (c->foldedName.empty()) {
    char type = 0;
    std::string payload;
    const FrameResult r = TakeFrame(c->buffer, type, payload, kMaxHandshakePayload);
    if (r == FrameResult::Incomplete) return;
    if (r == FrameResult::Garbage || type != 'a' || !UsableName(payload)) {
      host_.Trace(text::Shown("Прямое соединение: неверное приветствие, отключено", "Direct link: bad greeting, disconnected"));
      DropCaller(c->id);
      return;
    }
    c->foldedName = payload;
  }
  TryAccept(c);
}

void LinkManager::OnConnectNotice(const std::string& sender) {
  if (!UsableName(sender)) return;
  const std::string folded = text::FoldLookAlikes(sender);
  // Old notices go, so a flood of names cannot grow the table for ever.
  const int64_t now = host_.NowMs();
  for (auto it = notices_.begin(); it != notices_.end();)
    it = now - it->second.atMs > options_.noticeWindowMs ? notices_.erase(it) : std::next(it);
  if (notices_.size() >= 256 && !notices_.count(folded)) return;
  // The caller must come from where the chat server says the sender is;
  // an address learnt from an earlier notice holds until the new answer.
  Notice& notice = notices_[folded];
  notice.sender = sender;
  notice.atMs = now;
  host_.SendLine(wire::PeerAddressLine(sender));
  for (size_t i = 0; i < callers_.size(); ++i) {
    Caller* c = callers_[i].get();
    if (c->foldedName == folded) {
      TryAccept(c);
      return;
    }
  }
}

bool LinkManager::NoticeAnswered(const std::string& name, const std::string& address) {
  auto it = notices_.find(text::FoldLookAlikes(name));
  if (it == notices_.end() || it->second.sender != name) return false;
  it->second.address = CanonicalAddress(address);
  const std::string folded = it->first;
  // Callers that waited for the answer: the first from the right address links.
  std::vector<uint64_t> waiting;
  for (auto& c : callers_)
    if (c->foldedName == folded) waiting.push_back(c->id);
  for (uint64_t id : waiting)
    if (Caller* c = FindCaller(id); c && notices_.count(folded)) TryAccept(c);
  return true;
}

bool LinkManager::FromNoticeAddress(const Caller& caller, const Notice& notice) {
  return !notice.address.empty() && notice.address == caller.address;
}

void LinkManager::TryAccept(Caller* c) {
  auto it = notices_.find(c->foldedName);
  if (it == notices_.end()) return;  // wait for his notice
  if (host_.NowMs() - it->second.atMs > options_.noticeWindowMs) {
    notices_.erase(it);
    return;
  }
  if (it->second.address.empty()) return;  // wait for the server's answer
  if (!FromNoticeAddress(*c, it->second)) {
    host_.Trace(text::Shown("Прямое соединение: входящее от ", "Direct link: caller claiming ") + it->second.sender + text::Shown(" с чужого адреса ", " from a foreign address ") + c->address +
                text::Shown(" отклонено", " refused"));
    DropCaller(c->id);
    return;
  }
  const std::string sender = it->second.sender;
  DirectLink* link = FindFolded(c->foldedName);
  if (link && link->state == kLinked) {
    DropCaller(c->id);
    return;
  }
  if (link && (link->state == kConnecting || link->state == kConnected)) {
    // Both called at once: the call of the greater folded name wins on both
    // sides, so exactly one of the two connections stays.
    if (text::FoldLookAlikes(host_.UserName()) > c->foldedName) {
      DropCaller(c->id);
      return;
    }
    Detach(link->socket);
    link->socket = nullptr;
  }
  notices_.erase(it);  // one notice admits one call
  if (!link) {
    auto created = std::make_unique<DirectLink>();
    link = created.get();
    link->peerName = sender;
    links_.push_back(std::move(created));
  }
  QTcpSocket* socket = c->socket;
  std::string leftover = std::move(c->buffer);
  QObject::disconnect(socket, nullptr, this, nullptr);
  c->socket = nullptr;
  callers_.erase(std::find_if(callers_.begin(), callers_.end(), [c](auto& p) { return p.get() == c; }));

  link->attempt = nextAttempt_++;
  link->lastActiveMs = host_.NowMs();
  link->outgoing = false;
  link->stopRequested = false;
  link->peerAddress = PeerAddressOf(*socket);
  link->receiveBuffer.clear();
  ReleaseReceive(*link);
  Attach(*link, socket);
  link->state = kLinked;  // our "a" frame went out when he connected
  ScheduleRefresh();
  Flush(*link);
  if (!leftover.empty()) {
    // Bytes the caller sent after his "a" frame are frames of the link.
    link->receiveBuffer = std::move(leftover);
    if (HoldsWholeFrame(link->receiveBuffer, options_.maxFramePayload)) ScheduleDelivery();
  }
}

LinkManager::Caller* LinkManager::FindCaller(uint64_t id) {
  for (auto& c : callers_)
    if (c->id == id) return c.get();
  return nullptr;
}

void LinkManager::DropCaller(uint64_t id) {
  auto it = std::find_if(callers_.begin(), callers_.end(), [id](auto& p) { return p->id == id; });
  if (it == callers_.end()) return;
  Detach((*it)->socket);
  callers_.erase(it);
}

// ---- pane -----------------------------------------------------------------------

void LinkManager::ScheduleRefresh() {
  if (refreshPending_) return;
  refreshPending_ = true;
  QTimer::singleShot(0, this, [this] {
    refreshPending_ = false;
    host_.PaneChanged();
  });
}

std::string LinkManager::PaneMarkup() const {
  std::string out;
  for (size_t i = 0; i < links_.size(); ++i) {
    const DirectLink& l = *links_[i];
    if (i) out += "<br>";
    out += l.state == kLinked ? "<fcol=0x010101>" : "<fcol=808080>";
    out += "<bcol=ffffff><b><a href=\"" + l.peerName + "\">" + l.peerName + "</a></b><br><fcol=000000>";
    out += StateText(l.state);
  }
  return out;
}

}  // namespace direct
