#include "server/chat_listener.h"

#include <malloc.h>
#include <unistd.h>

#include <QTcpSocket>
#include <algorithm>

#include "server/log.h"
#include "server/proxy_header.h"

namespace chatd {
namespace {
// An emptied queue keeps this much of its memory for the next lines.
constexpr size_t kKeptCapacity = 64 * 1024;
// After a burst this large, freed memory is handed back to the system.
constexpr size_t kBurstBytes = 8u << 20;
}  // namespace

size_t ChatListener::Connection::Queued() const {
  return out.size() - outStart + static_cast<size_t>(socket->bytesToWrite());
}

ChatListener::ChatListener(ChatLimits limits, QObject* parent) : QObject(parent), limits_(limits) {
  readBuffer_.resize(limits_.readBatch);
  housekeeping_.setInterval(500);
  connect(&housekeeping_, &QTimer::timeout, this, &ChatListener::Housekeeping);
  housekeeping_.start();
  pace_.setSingleShot(true);
  pace_.setInterval(100);
  connect(&pace_, &QTimer::timeout, this, &ChatListener::Serve);
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

bool ChatListener::Listen(const QHostAddress& address, quint16 port) {
  // A wave of reconnecting users waits in the kernel, not in SYN retries.
  server_.setListenBacklogSize(1024);
  if (!server_.listen(address, port)) return false;
  acceptor_.Start();
  return true;
}

ChatListener::Connection* ChatListener::Find(ClientId id) {
  auto it = connections_.find(id);
  return it == connections_.end() ? nullptr : it->second.get();
}

const ChatListener::Connection* ChatListener::Find(ClientId id) const {
  auto it = connections_.find(id);
  return it == connections_.end() ? nullptr : it->second.get();
}

void ChatListener::Accept(qintptr descriptor) {
  auto* socket = new QTcpSocket(this);
  if (!socket->setSocketDescriptor(descriptor)) {
    ::close(static_cast<int>(descriptor));
    delete socket;
    return;
  }
  QString peer = socket->peerAddress().toString();
  if (peer.startsWith("::ffff:")) peer = peer.mid(7);
  if (!limits_.proxyProtocol) return Admit(socket, peer.toStdString());
  // Behind a balancer every connection comes from the balancer: only the
  // total bounds those whose header has not arrived yet.
  if (connections_.size() + awaitingProxy_.size() >= limits_.maxConnections) {
    Refused("address " + Printable(peer.toStdString(), 64), "connection refused: server full");
    socket->abort();
    socket->deleteLater();
    return;
  }
  awaitingProxy_.insert(socket);
  socket->setReadBufferSize(static_cast<qint64>(kMaxProxyHeader));
  connect(socket, &QTcpSocket::readyRead, this, [this, socket] { OnProxyReadable(socket); });
  connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
    if (awaitingProxy_.erase(socket)) {
      socket->disconnect(this);
      socket->deleteLater();
    }
  });
  QTimer::singleShot(limits_.proxyWithinMs, socket, [this, socket] {
    if (!awaitingProxy_.erase(socket)) return;
    Refused("address " + Printable(socket->peerAddress().toString().toStdString(), 64),
            "connection dropped: no PROXY header in time");
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
  });
  if (socket->bytesAvailable() > 0) OnProxyReadable(socket);
}

void ChatListener::OnProxyReadable(QTcpSocket* socket) {
  if (!awaitingProxy_.count(socket)) return;
  // Only the header is taken; what follows it stays for the chat side.
  const QByteArray head = socket->peek(static_cast<qint64>(kMaxProxyHeader));
  const ProxyHeader h = ParseProxyHeader(std::string_view(head.constData(), static_cast<size_t>(head.size())));
  if (h.state == ProxyHeader::State::kNeedMore && static_cast<size_t>(head.size()) < kMaxProxyHeader) return;
  awaitingProxy_.erase(socket);
  socket->disconnect(this);
  if (h.state != ProxyHeader::State::kDone) {
    Refused("address " + Printable(socket->peerAddress().toString().toStdString(), 64),
            "connection dropped: bad PROXY header", std::string(head.constData(), static_cast<size_t>(head.size())));
    socket->abort();
    socket->deleteLater();
    return;
  }
  socket->read(static_cast<qint64>(h.length));
  QString peer = socket->peerAddress().toString();
  if (peer.startsWith("::ffff:")) peer = peer.mid(7);
  Admit(socket, h.address.empty() ? peer.toStdString() : h.address);
}

void ChatListener::Admit(QTcpSocket* socket, const std::string& address) {
  {
    size_t& fromThere = perAddress_[address];
    const char* refusal = connections_.size() >= limits_.maxConnections ? "connection refused: server full"
                          : fromThere >= limits_.perAddress           ? "connection refused: too many from this address"
                                                                      : nullptr;
    if (refusal) {
      if (fromThere == 0) perAddress_.erase(address);
      Refused("address " + Printable(address, 64), refusal);
      socket->abort();
      socket->deleteLater();
      return;
    }
    ++fromThere;
    const ClientId id = nextId_++;
    auto c = std::make_unique<Connection>(limits_.unloggedLineBytes);
    c->id = id;
    c->socket = socket;
    c->address = address;
    c->who = "client " + std::to_string(id);
    c->lastProgress = Clock::now();
    connections_[id] = std::move(c);
    // Qt reads no further ahead than one batch, so an input we do not
    // read waits in the kernel and slows its sender there.
    socket->setReadBufferSize(static_cast<qint64>(limits_.readBatch));
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket, &QTcpSocket::readyRead, this, [this, id] { OnReadable(id); });
    connect(socket, &QTcpSocket::bytesWritten, this, [this, id] { OnWritten(id); });
    connect(socket, &QTcpSocket::disconnected, this, [this, id] { Lost(id); });
    if (room_) room_->Connect(id, address);
    // A connection that never logs in would hold its place for ever.
    QTimer::singleShot(limits_.loginWithinMs, this, [this, id] {
      Connection* c = Find(id);
      if (c && !c->closing && !c->loggedIn && !(room_ && room_->IsLoggedIn(id)))
        Drop(id, "did not log in in time");
    });
    // Bytes that came right behind a PROXY header are already waiting.
    if (socket->bytesAvailable() > 0) OnReadable(id);
  }
}

void ChatListener::OnReadable(ClientId id) {
  Connection* c = Find(id);
  if (!c || c->closing || c->held) return;
  if (!c->ready) {
    c->ready = true;
    ready_.push_back(id);
  }
  // Every connection that became readable in this pass of the event loop
  // joins one turn, so each reader gets one write for all their lines.
  if (!inTurn_) ScheduleServe();
}

void ChatListener::OnWritten(ClientId id) {
  Connection* c = Find(id);
  if (!c || c->closing) return;
  c->lastProgress = Clock::now();
  Flush(*c);
}

void ChatListener::ScheduleServe() {
  if (serveScheduled_) return;
  serveScheduled_ = true;
  QMetaObject::invokeMethod(this, &ChatListener::Serve, Qt::QueuedConnection);
}

void ChatListener::Serve() {
  serveScheduled_ = false;
  if (inTurn_) return;
  inTurn_ = true;
  if (!ready_.empty() && !RoomHeld()) {
    const size_t queuedAtStart = queuedTotal_;
    std::vector<ClientId> batch;
    batch.swap(ready_);
    size_t next = 0;
    while (next < batch.size()) {
      const ClientId id = batch[next++];
      Connection* c = Find(id);
      if (!c) continue;
      c->ready = false;
      if (c->closing || c->held) continue;
      ReadBatch(*c);
      // Qt announces no bytes it already holds, so a connection with more
      // input comes back at the end of the turn's list.
      if (!c->closing && !c->held && c->socket->bytesAvailable() > 0) {
        c->ready = true;
        ready_.push_back(id);
      }
      if (RoomHeld() || queuedTotal_ > queuedAtStart + limits_.turnOutput) break;
    }
    // Those not read this turn keep their place ahead of the ones that came back.
    if (next < batch.size()) {
      batch.erase(batch.begin(), batch.begin() + static_cast<std::ptrdiff_t>(next));
      batch.insert(batch.end(), ready_.begin(), ready_.end());
      ready_.swap(batch);
    }
  }
  // Every reader gets what this turn (and anything outside it: timers, the
  // web side) queued for him in one write.
  peakQueued_ = std::max(peakQueued_, queuedTotal_);
  FlushDirty();
  EnforceBudget();
  inTurn_ = false;
  if (!ready_.empty()) {
    if (RoomHeld()) {
      if (!pace_.isActive()) pace_.start();
    } else {
      ScheduleServe();
    }
  }
  if (!dirty_.empty()) ScheduleServe();
}

void ChatListener::ReadBatch(Connection& c) {
  const qint64 n = c.socket->read(readBuffer_.data(), static_cast<qint64>(readBuffer_.size()));
  if (n <= 0) return;
  const ClientId id = c.id;
  const size_t pendingBefore = c.input.Pending();
  // Connections are freed only from queued calls, so `c` survives whatever
  // the room does while it handles these lines.
  const bool fits =
      c.input.Feed(std::string_view(readBuffer_.data(), static_cast<size_t>(n)), [&](std::string_view line) {
        if (!room_) return true;
        line_.assign(line);
        room_->Receive(id, line_);
        if (c.closing) return false;
        if (!c.loggedIn && room_->IsLoggedIn(id)) {
          c.loggedIn = true;
          c.input.SetLimit(limits_.lineBytes);
        }
        return true;
      });
  if (line_.capacity() > kKeptCapacity) std::string().swap(line_);
  inputTotal_ = inputTotal_ - pendingBefore + c.input.Pending();
  if (fits && !c.closing && inputTotal_ > limits_.inputBudget && c.input.Pending() > limits_.inputShare) {
    Drop(id, "holds " + std::to_string(c.input.Pending() >> 20) + " MiB of an unfinished line while all together pass " +
                 std::to_string(limits_.inputBudget >> 20) + " MiB");
    return;
  }
  if (!fits && !c.closing) {
    Drop(id, c.loggedIn ? "sent more than " + std::to_string(limits_.lineBytes >> 20) + " MiB without a line feed"
                        : "sent more than " + std::to_string(limits_.unloggedLineBytes >> 10) +
                              " KiB without a line feed before logging in");
  }
}

void ChatListener::Send(ClientId id, const std::string& line) {
  auto it = connections_.find(id);
  if (it == connections_.end() || it->second->closing) return;
  Connection& c = *it->second;
  c.out.append(line);
  queuedTotal_ += line.size();
  if (!c.dirty) {
    c.dirty = true;
    dirty_.push_back(id);
  }
  if (!c.congested && c.out.size() - c.outStart + static_cast<size_t>(limits_.socketWindow) > limits_.highWater &&
      c.Queued() > limits_.highWater) {
    c.congested = true;
    c.congestedSince = Clock::now();
    congested_.insert(id);
  }
  // Within a turn the lines go out when the batch that caused them is done.
  if (!inTurn_) ScheduleServe();
}

void ChatListener::FlushDirty() {
  if (beforeWrite_ && !dirty_.empty()) beforeWrite_();
  // Flushing may lose a connection, and the room then sends the new online
  // list to the others: the list can grow while it is walked.
  for (size_t i = 0; i < dirty_.size(); ++i) {
    Connection* c = Find(dirty_[i]);
    if (!c) continue;
    c->dirty = false;
    if (!c->closing) Flush(*c);
  }
  dirty_.clear();
}

void ChatListener::Flush(Connection& c) {
  if (c.flushing) return;
  c.flushing = true;
  QTcpSocket* s = c.socket;
  bool progressed = false;
  // Qt's write accepts everything; the kernel is offered one window at a
  // time and the rest stays in our queue until it has taken that.
  while (c.outStart < c.out.size() && s->state() == QAbstractSocket::ConnectedState) {
    const qint64 held = s->bytesToWrite();
    const qint64 space = limits_.socketWindow - held;
    if (space <= 0) break;
    const size_t n = std::min(static_cast<size_t>(space), c.out.size() - c.outStart);
    s->write(c.out.data() + c.outStart, static_cast<qint64>(n));
    c.outStart += n;
    queuedTotal_ -= n;
    s->flush();
    const qint64 after = s->bytesToWrite();
    if (after < held + static_cast<qint64>(n)) progressed = true;
    if (after > 0) break;  // the kernel is full: wait for bytesWritten
  }
  if (progressed) c.lastProgress = Clock::now();
  if (c.outStart == c.out.size()) {
    if (c.out.capacity() > kKeptCapacity) {
      std::string().swap(c.out);
    } else {
      c.out.clear();
    }
    c.outStart = 0;
  } else if (c.outStart >= kKeptCapacity && c.outStart * 2 >= c.out.size()) {
    c.out.erase(0, c.outStart);
    c.outStart = 0;
  }
  c.flushing = false;
  NoteQueue(c);
}

void ChatListener::NoteQueue(Connection& c) {
  if (!c.congested || c.closing || c.Queued() > limits_.highWater / 2) return;
  c.congested = false;
  congested_.erase(c.id);
  if (!ready_.empty() && !inTurn_) ScheduleServe();
}

bool ChatListener::RoomHeld() {
  if (congested_.empty()) return false;
  const auto now = Clock::now();
  const auto pace = std::chrono::milliseconds(limits_.paceMs);
  for (ClientId id : congested_) {
    Connection* c = Find(id);
    if (c && !c->closing && now - c->congestedSince < pace) return true;
  }
  return false;
}

void ChatListener::Housekeeping() {
  const auto now = Clock::now();
  const auto stall = std::chrono::milliseconds(limits_.stallMs);
  std::vector<ClientId> stalled;
  for (ClientId id : congested_) {
    Connection* c = Find(id);
    if (c && !c->closing && c->Queued() > limits_.queueBound && now - c->lastProgress > stall) stalled.push_back(id);
  }
  for (ClientId id : stalled) Drop(id, "does not read its lines");
  EnforceBudget();
  // The allocator keeps what a burst freed unless asked to give it back.
  peakQueued_ = std::max(peakQueued_, queuedTotal_);
  if (peakQueued_ > kBurstBytes && queuedTotal_ < kBurstBytes / 8) {
    Log("output queues peaked at " + std::to_string(peakQueued_ >> 10) + " KiB");
    malloc_trim(0);
    peakQueued_ = 0;
  }
  if (!ready_.empty() && !RoomHeld()) ScheduleServe();
}

void ChatListener::EnforceBudget() {
  if (queuedTotal_ <= limits_.totalBudget) return;
  std::vector<std::pair<size_t, ClientId>> queues;
  for (auto& [id, c] : connections_)
    if (!c->closing && c->out.size() > c->outStart) queues.emplace_back(c->out.size() - c->outStart, id);
  std::sort(queues.begin(), queues.end(), std::greater<>());
  for (const auto& [bytes, id] : queues) {
    if (queuedTotal_ <= limits_.totalBudget) break;
    Drop(id, "is the slowest reader while the output queues are over " +
                 std::to_string(limits_.totalBudget >> 20) + " MiB");
  }
}

void ChatListener::Drop(ClientId id, const std::string& why) {
  Connection* c = Find(id);
  if (!c || c->closing) return;
  Log(c->who + " from " + c->address + " " + why + ": dropped");
  c->closing = true;
  queuedTotal_ -= c->out.size() - c->outStart;
  std::string().swap(c->out);
  c->outStart = 0;
  inputTotal_ -= c->input.Pending();
  c->input.Reset();
  if (room_) room_->Disconnect(id);
  QTimer::singleShot(0, this, [this, id] { Retire(id, false); });
}

void ChatListener::Close(ClientId id) {
  Connection* c = Find(id);
  if (!c || c->closing) return;
  c->closing = true;
  QTimer::singleShot(0, this, [this, id] { Retire(id, true); });
}

void ChatListener::Hold(ClientId id, int64_t ms) {
  Connection* c = Find(id);
  if (!c || c->closing || ms <= 0) return;
  const auto until = Clock::now() + std::chrono::milliseconds(ms);
  if (c->held && until <= c->heldUntil) return;
  c->held = true;
  c->heldUntil = until;
  QTimer::singleShot(static_cast<int>(ms), this, [this, id] { Release(id); });
}

void ChatListener::Release(ClientId id) {
  Connection* c = Find(id);
  if (!c || c->closing || !c->held) return;
  const auto now = Clock::now();
  if (now < c->heldUntil) {
    // Held again meanwhile; that hold's own timer comes later.
    return;
  }
  c->held = false;
  if (!c->ready && c->socket->bytesAvailable() > 0) {
    c->ready = true;
    ready_.push_back(id);
  }
  if (!ready_.empty() && !inTurn_) ScheduleServe();
}

void ChatListener::Later(int64_t ms, std::function<void()> task) {
  QTimer::singleShot(static_cast<int>(std::max<int64_t>(0, ms)), this, std::move(task));
}

bool ChatListener::Backlogged(ClientId id) const {
  const Connection* c = Find(id);
  if (!c || c->closing) return false;
  return c->Queued() > limits_.backlog || queuedTotal_ > limits_.totalBudget / 4;
}

void ChatListener::Lost(ClientId id) {
  Connection* c = Find(id);
  if (!c) return;
  const bool known = !c->closing;
  c->closing = true;
  if (known && room_) room_->Disconnect(id);
  QTimer::singleShot(0, this, [this, id] { Retire(id, false); });
}

void ChatListener::Retire(ClientId id, bool flush) {
  auto it = connections_.find(id);
  if (it == connections_.end()) return;
  Connection& c = *it->second;
  QTcpSocket* socket = c.socket;
  const bool open = socket->state() == QAbstractSocket::ConnectedState;
  if (flush && open && c.out.size() > c.outStart)
    socket->write(c.out.data() + c.outStart, static_cast<qint64>(c.out.size() - c.outStart));
  queuedTotal_ -= c.out.size() - c.outStart;
  inputTotal_ -= c.input.Pending();
  congested_.erase(id);
  auto from = perAddress_.find(c.address);
  if (from != perAddress_.end() && --from->second == 0) perAddress_.erase(from);
  RefusalsDone(c.who);
  connections_.erase(it);
  socket->disconnect(this);
  if (flush && open) {
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
