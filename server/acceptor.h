#pragma once
// Accepts the connections of a listening QTcpServer itself, so running out
// of file descriptors cannot make it spin: Qt's own accept loop retries a
// failing accept() as fast as the event loop turns.  On such a failure the
// connections already waiting are taken with a spare descriptor and closed
// at once (their callers see a refusal instead of a hang), accepting stops
// for a moment, and the condition is logged once per episode; the first
// connection accepted again ends it.
#include <QObject>
#include <QTimer>
#include <functional>
#include <string>

class QSocketNotifier;
class QTcpServer;

namespace chatd {

class Acceptor : public QObject {
  Q_OBJECT
 public:
  // `take` gets each accepted descriptor and owns it from then on.
  Acceptor(QTcpServer& server, std::string what, std::function<void(qintptr)> take, int pauseMs = 250);
  ~Acceptor() override;
  // Takes over from Qt once the server listens.
  void Start();
  // Qt turns its own accepting on again when a pending connection is taken.
  void KeepQtQuiet();

 private:
  void OnReadable();
  void Shortage(int error);
  void Resume();
  // Takes and closes every connection waiting in the backlog.
  long RefuseWaiting();

  QTcpServer& server_;
  std::string what_;
  std::function<void(qintptr)> take_;
  QSocketNotifier* notifier_ = nullptr;
  QTimer resume_;
  int spare_ = -1;
  bool short_ = false;
  long refused_ = 0;
};

}  // namespace chatd
