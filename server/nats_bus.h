#pragma once
// The bus between the nodes of one room: NATS subjects "<room>.all" (every
// node) and "<room>.node.<n>" (one node).  The NATS client delivers on its
// own threads; payloads are queued, bounded, and handed to the room from
// the event loop.
#include <QObject>
#include <QTimer>
#include <atomic>
#include <deque>
#include <mutex>
#include <string>

#include "server/room.h"

struct __natsConnection;
struct __natsSubscription;
struct __natsMsg;
struct __natsOptions;

namespace chatd {

class NatsBus : public QObject, public RoomPeers {
  Q_OBJECT
 public:
  NatsBus(Room& room, int node, QObject* parent = nullptr);
  ~NatsBus() override;

  // Connects (and keeps reconnecting) to `url`; false and `error` set when
  // the address is not usable.  A server that is not up yet is waited for.
  bool Start(const std::string& url, std::string* error);

  void ToAll(const std::string& payload) override;
  void ToNode(int node, const std::string& payload) override;
  // Waits until the NATS server holds everything published so far; called
  // before a turn's output is written, so no client hears "Ok" for a line
  // that is not yet on the bus.
  void Sync();

 private:
  static void OnMessage(__natsConnection*, __natsSubscription*, __natsMsg* msg, void* closure);
  static void OnConnected(__natsConnection*, void* closure);
  void Publish(const std::string& subject, const std::string& payload);
  void Drain();

  Room& room_;
  const int node_;
  __natsOptions* options_ = nullptr;
  __natsConnection* connection_ = nullptr;
  __natsSubscription* all_ = nullptr;
  __natsSubscription* mine_ = nullptr;
  QTimer beat_;
  bool unsynced_ = false;
  bool warnedOffline_ = false;
  std::mutex mutex_;
  std::deque<std::string> inbox_;  // guarded by mutex_
  size_t inboxBytes_ = 0;          // guarded by mutex_
  size_t dropped_ = 0;             // guarded by mutex_
  bool closing_ = false;           // guarded by mutex_
};

}  // namespace chatd
