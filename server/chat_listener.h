#pragma once
// The chat side's sockets: accepts connections, cuts their bytes into lines
// for the room, and writes the room's lines back.
//
// Flow control.  Each connection is read a bounded batch per turn (Qt keeps
// no more than that for it either), the lines the room sends are collected
// per connection and written once at the end of the turn (one write per
// reader however many senders it heard from), and the kernel is offered at
// most kSocketWindow at a time; the rest waits in the connection's own
// queue.  A turn stops reading once it has queued turnOutput bytes, so the
// queues it builds stay small before they are written.  While some reader's queue is above kHighWater the
// listener stops reading input, so a sender who outruns the room is slowed,
// not the room dropped.  A reader only holds the room up for kPaceMs; after
// that the room goes on and his queue grows.  He is dropped when it is above
// kQueueBound and the socket has accepted nothing for kStallMs, or when the
// queues of all connections together pass kTotalBudget (largest first).
//
// Admission.  At most kMaxConnections in all and kPerAddress from one
// address; a connection must log in within kLoginWithinMs and may hold at
// most kUnloggedLineBytes of an unfinished line until it has, and all
// unfinished lines together stay within inputBudget.
#include <QObject>
#include <QTcpServer>
#include <QTimer>
#include <chrono>
#include <functional>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "server/acceptor.h"
#include "server/line_splitter.h"
#include "server/room.h"

class QTcpSocket;

namespace chatd {

struct ChatLimits {
  size_t maxConnections = 2000;
  size_t perAddress = 64;
  int loginWithinMs = 10 * 1000;
  size_t unloggedLineBytes = 64 * 1024;
  size_t lineBytes = 16u << 20;
  size_t readBatch = 64 * 1024;
  qint64 socketWindow = 64 * 1024;
  size_t highWater = 1u << 20;
  int paceMs = 2000;
  size_t queueBound = 4u << 20;
  int stallMs = 5000;
  size_t totalBudget = 64u << 20;
  // Unfinished lines of all connections together; past it the connection
  // whose line grows is dropped once it holds more than inputShare.
  size_t inputBudget = 64u << 20;
  size_t inputShare = 1u << 20;
  size_t turnOutput = 4u << 20;
  // A connection whose queue is above this is backlogged: the room holds
  // back what may wait (the online list) until it has drained.
  size_t backlog = 256 * 1024;
  // Every connection begins with a PROXY protocol header (v1 or v2) from a
  // balancer, which names the client's real address; it must arrive
  // within proxyWithinMs.
  bool proxyProtocol = false;
  int proxyWithinMs = 5000;
};

class ChatListener : public QObject, public RoomOutput {
  Q_OBJECT
 public:
  explicit ChatListener(ChatLimits limits = {}, QObject* parent = nullptr);
  ~ChatListener() override;

  void SetRoom(Room* room) { room_ = room; }
  // Runs before the turn's output is written: whatever the room handed to
  // other nodes is on the bus before a client is told it was accepted.
  void SetBeforeWrite(std::function<void()> hook) { beforeWrite_ = std::move(hook); }
  bool Listen(const QHostAddress& address, quint16 port);
  quint16 Port() const { return server_.serverPort(); }

  void Send(ClientId id, const std::string& line) override;
  void Close(ClientId id) override;
  void Hold(ClientId id, int64_t ms) override;
  void Later(int64_t ms, std::function<void()> task) override;
  bool Backlogged(ClientId id) const override;

 private:
  using Clock = std::chrono::steady_clock;
  struct Connection {
    ClientId id = 0;
    QTcpSocket* socket = nullptr;
    std::string address, who;
    LineSplitter input;
    std::string out;  // bytes not yet offered to the socket, from outStart on
    size_t outStart = 0;
    bool loggedIn = false;
    bool closing = false;
    bool dirty = false;      // listed in dirty_
    bool ready = false;      // listed in ready_
    bool congested = false;  // listed in congested_
    bool flushing = false;
    bool held = false;  // not read until heldUntil
    Clock::time_point lastProgress, congestedSince, heldUntil;

    explicit Connection(size_t limit) : input(limit) {}
    size_t Queued() const;
  };

  void Accept(qintptr descriptor);
  // Reads the PROXY header of a connection that has not been admitted yet.
  void OnProxyReadable(QTcpSocket* socket);
  // Admits a connection from `address` within the limits, or refuses it.
  void Admit(QTcpSocket* socket, const std::string& address);
  void OnReadable(ClientId id);
  void OnWritten(ClientId id);
  // One turn: a batch from every connection with input, flushing the
  // output of each batch before the next is read.
  void Serve();
  void ScheduleServe();
  void ReadBatch(Connection& c);
  void FlushDirty();
  void Flush(Connection& c);
  void NoteQueue(Connection& c);
  // True while a reader whose queue is above the high-water mark has not yet
  // used up his time to drain it.
  bool RoomHeld();
  void Housekeeping();
  void EnforceBudget();
  void Drop(ClientId id, const std::string& why);
  void Lost(ClientId id);
  // Stops reading, lets queued bytes go out, then frees the socket.
  void Retire(ClientId id, bool flush);
  // Reads a held connection again once its time is up.
  void Release(ClientId id);
  Connection* Find(ClientId id);
  const Connection* Find(ClientId id) const;

  ChatLimits limits_;
  QTcpServer server_;
  Acceptor acceptor_{server_, "chat port", [this](qintptr fd) { Accept(fd); }};
  Room* room_ = nullptr;
  std::function<void()> beforeWrite_;
  std::unordered_map<ClientId, std::unique_ptr<Connection>> connections_;
  std::unordered_map<std::string, size_t> perAddress_;
  std::vector<ClientId> ready_, dirty_;
  std::unordered_set<ClientId> congested_;
  std::unordered_set<QTcpSocket*> awaitingProxy_;
  size_t queuedTotal_ = 0;  // bytes in all connections' own queues
  size_t inputTotal_ = 0;   // bytes of all unfinished input lines
  bool inTurn_ = false, serveScheduled_ = false;
  std::vector<char> readBuffer_;
  std::string line_;  // the line handed to the room, reused
  QTimer housekeeping_, pace_;
  size_t peakQueued_ = 0;  // largest queuedTotal_ since memory was last given back
  ClientId nextId_ = 1;
};

}  // namespace chatd
