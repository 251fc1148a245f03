#pragma once
// The one TCP connection to the chat server: opening it, its events, the
// outgoing queue, reconnection after every loss, traffic counters and lamps,
// and the progress marks written into the common pane.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "session/line_queue.h"
#include "wire/wire.h"

#include <QTcpSocket>

namespace session {

class ChatPane;

// Everything the connection needs from the window that owns it.
class ConnectionHost {
 public:
  virtual ~ConnectionHost() = default;
  virtual ChatPane& CommPane() = 0;
  virtual std::string ServerHost() = 0;
  virtual uint16_t ServerPort() = 0;
  // The local address the connection goes out from; empty for any.
  virtual std::string LocalAddress() { return {}; }
  virtual std::string UserName() = 0;
  virtual bool IdentityComplete() = 0;
  // Shows the login dialog modally; true when it ended with OK.
  virtual bool AskForIdentity(bool registration) = 0;
  virtual std::string LoginLine() = 0;
  virtual void DispatchLine(const std::string& line) = 0;
  // Online state changed: game kinds, the Say button.
  virtual void OnlineChanged(bool online) = 0;
  virtual void MenuStateChanged(bool connectEnabled) = 0;
  virtual void LampsChanged() {}
  virtual void TakeFriendsSnapshot() {}
  virtual void ClearAddressRequests() {}
  virtual void ShowEmptyOnlineList() {}
  virtual void TraceSent(const std::string& /*line*/) {}
  virtual bool ShuttingDown() { return false; }
  // Restart request and server discovery, paced by the failure marks.
  virtual bool RestartPending() { return false; }
  virtual void StartRestartRequest() {}
  virtual void CancelRestartRequest() {}
  virtual bool DiscoveryRunning() { return false; }
  virtual void StartDiscovery() {}
  // The language of the lines the connection writes itself.
  virtual bool RussianTexts() { return true; }
};

// Marks written into the last line of the common pane.
inline const std::string kAttemptFailedMark = "<fcol=0000ff><bcol=ffffff><b>x </b>";
inline const std::string kRestartMark = "<fcol=ff0000><bcol=ffffff><b>rs </b>";
inline const std::string kDiscoveryMark = "<fcol=ff0000><bcol=ffffff><b>cs </b>";

// Applies the failure-mark rule to the text of the last line: more than nine
// attempt marks collapse (with every restart mark) into one, else one more
// is appended.
std::string WithFailureMark(const std::string& lastLine);

// Why a connection failed, in a few words of the interface language
// (Windows-1251); `fallback` is the socket's own text for the rare errors
// without words of their own.
std::string FailureReason(QAbstractSocket::SocketError error, bool russian, const std::string& fallback);
// What the common pane shows after the marks: " host:port: reason ".
std::string FailureNote(const std::string& host, uint16_t port, const std::string& reason);

class ServerConnection : public QObject {
  Q_OBJECT
 public:
  enum class Initiator { None, User, Registration };

  explicit ServerConnection(ConnectionHost& host, QObject* parent = nullptr);
  ~ServerConnection() override;

  void Connect(Initiator initiator);
  void Disconnect();
  void SendLine(const std::string& line);
  void FlushOutgoing();
  void CloseConnection();
  void ScheduleReconnect();
  void LightLamps(bool send, bool receive);
  // Bytes counted elsewhere (picture downloads), moved into the totals.
  void AddTraffic(uint32_t in, uint32_t out, bool send, bool receive);

  bool Connected() const { return connected_; }
  bool UserStopped() const { return userStopped_; }
  void SetUserStopped(bool stopped) { userStopped_ = stopped; }
  bool HasSocket() const { return socket_ != nullptr; }
  // The local address of the connection to the chat server; empty without one.
  std::string LocalAddressInUse() const;
  int Tag() const { return tag_; }
  int ReconnectInterval() const { return timer_.interval(); }
  bool ReconnectPending() const { return timer_.isActive(); }
  int DiscoveryCountdown() const { return discoveryCountdown_; }
  uint32_t SentBytes() const { return sentBytes_; }
  uint32_t ReceivedBytes() const { return receivedBytes_; }
  bool SendLamp() const { return sendLamp_; }
  bool ReceiveLamp() const { return receiveLamp_; }
  size_t OutgoingSize() const { return outgoing_.size(); }
  // Source of the 2-in-10 chance of a restart request; returns 0..9.
  void SetRandom(std::function<int()> random) { random_ = std::move(random); }
  // Most bytes handed to the socket per write (the rest stays queued).
  static constexpr qint64 kSocketWindow = 64 * 1024;
  // Most bytes Qt holds for the socket before it stops reading it.
  static constexpr qint64 kSocketReadBuffer = 1 << 20;
  // Whole lines read ahead of dispatch; past this the rest stays in the
  // socket until dispatch has caught up.
  static constexpr size_t kReadAhead = 1 << 20;
  // A burst is dispatched in slices of about this long, each followed by a
  // return to the event loop (painting, input, timers, replies).
  static constexpr int kDispatchSliceMs = 8;
  // Lines read within this long after a dispatch wait for it to pass, so a
  // busy room is dispatched a few dozen lines per turn instead of one read
  // at a time; a quiet room's lines go at once.
  static constexpr int kGatherMs = 2;

 private:
  void OnConnected();
  void OnReadyRead();
  void ReadSocket();
  void ScheduleDispatch(bool gather);
  void DispatchPending();
  void OnBytesWritten();
  void OnError();
  void OnDisconnected();
  void OnTimer();
  void AppendFailureMarks();
  void TellFailureReason(const std::string& reason);
  void EnterOffline();
  void DropSocket();

  ConnectionHost& host_;
  QPointer<QTcpSocket> socket_;
  std::string outgoing_;
  LineQueue receive_;
  std::vector<char> readChunk_;  // what one read of the socket brings
  // Bumped whenever the socket goes, so a dispatch under way notices that
  // the lines after the current one belonged to the old connection.
  uint64_t socketGeneration_ = 0;
  bool dispatchScheduled_ = false;
  QTimer gatherTimer_;
  QElapsedTimer lastDispatch_;
  QTimer timer_;
  QTimer sendLampTimer_;
  QTimer receiveLampTimer_;
  int tag_ = 0;
  int discoveryCountdown_ = 0;
  bool connected_ = false;
  bool userStopped_ = false;
  bool sendLamp_ = false;
  bool receiveLamp_ = false;
  uint32_t sentBytes_ = 0;
  uint32_t receivedBytes_ = 0;
  std::function<int()> random_;
  // The reason last told in the common pane during this outage; each
  // reason is told once until a connection succeeds again.
  std::string toldReason_;
};

}  // namespace session
