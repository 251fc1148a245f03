#pragma once
// A second start on a data folder that a running client holds brings that
// client's window forward and ends, instead of refusing.  The running client
// listens on a local socket named after its data folder, in the user's
// runtime folder; the second start sends one line, "raise" and the
// activation token its launcher gave it, and waits for "ok".
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <string>

class QLocalServer;
class QLocalSocket;
class QWidget;

namespace window {

class RaiseListener : public QObject {
  Q_OBJECT
 public:
  // Listens for the client of `programDir`; a request brings `window`
  // forward.  The caller holds the folder's lock, so a socket left by a
  // client that died is removed first.
  RaiseListener(const std::string& programDir, QWidget* window, QObject* parent = nullptr);
  ~RaiseListener() override;

  bool Listening() const;
  // How many requests were answered, for the curious and for tests.
  int Answered() const { return answered_; }

  static QString SocketPath(const std::string& programDir);

  // Longest request line taken, and how many askers may wait at once.
  static constexpr qsizetype kMaxRequest = 1024;
  static constexpr int kMaxPending = 8;

 private:
  void Accept();
  void Read(QLocalSocket* socket);

  QLocalServer* server_;
  QPointer<QWidget> window_;
  int pending_ = 0;
  int answered_ = 0;
};

// Asks the client that holds `programDir` to come forward, trying for up to
// `waitMs` while it may still be starting; true when it answered.  Blocking:
// meant for a second start before its event loop runs.
bool AskRunningClientToRaise(const std::string& programDir, const QByteArray& activationToken, int waitMs);

}  // namespace window
