#pragma once
// The chat side's sockets: accepts connections, cuts their bytes into lines
// for the room, and writes the room's lines back.  Each client's input is
// bounded by its ReceiveBuffer and its output queue by kMaxQueuedBytes; a
// client past either bound is dropped, so one that stops reading never
// stalls the others.
#include <QObject>
#include <QTcpServer>
#include <cstdint>
#include <memory>
#include <unordered_map>

#include "server/room.h"
#include "session/wire.h"

class QTcpSocket;

namespace chatd {

class ChatListener : public QObject, public RoomOutput {
  Q_OBJECT
 public:
  static constexpr qint64 kMaxQueuedBytes = 32 << 20;
  static constexpr size_t kMaxConnections = 2000;
  static constexpr int kLoginWithinMs = 60 * 1000;

  explicit ChatListener(QObject* parent = nullptr);
  ~ChatListener() override;

  void SetRoom(Room* room) { room_ = room; }
  bool Listen(const QHostAddress& address, quint16 port);
  quint16 Port() const { return server_.serverPort(); }

  void Send(ClientId id, const std::string& line) override;
  void Close(ClientId id) override;

 private:
  struct Connection {
    QTcpSocket* socket = nullptr;
    wire::ReceiveBuffer buffer;
    bool closing = false;
  };

  void Accept();
  void Read(ClientId id);
  void Lost(ClientId id);
  // Stops reading, lets queued bytes go out, then frees the socket.
  void Retire(ClientId id, bool flush);

  QTcpServer server_;
  Room* room_ = nullptr;
  std::unordered_map<ClientId, std::unique_ptr<Connection>> connections_;
  ClientId nextId_ = 1;
};

}  // namespace chatd
