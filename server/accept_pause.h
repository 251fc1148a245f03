#pragma once
// Keeps a listening socket from spinning when chatd runs out of file
// descriptors.  On such an accept error the connections already waiting
// are taken with a spare descriptor and closed at once (their callers see
// a refusal instead of a hang), the listener stops for a moment, and the
// condition is logged once per episode; the first connection accepted
// again ends it.
#include <QAbstractSocket>
#include <QObject>
#include <QTimer>
#include <string>

class QTcpServer;

namespace chatd {

class AcceptPause : public QObject {
  Q_OBJECT
 public:
  AcceptPause(QTcpServer& server, std::string what, int pauseMs = 250);
  ~AcceptPause() override;
  // A connection was accepted: an episode of shortage, if any, is over.
  void Accepted();

 private:
  void OnAcceptError(QAbstractSocket::SocketError error);
  void Resume();
  // Takes and closes every connection waiting in the backlog.
  int RefuseWaiting();

  QTcpServer& server_;
  std::string what_;
  QTimer resume_;
  int spare_ = -1;
  bool short_ = false;
  long refused_ = 0;
};

}  // namespace chatd
