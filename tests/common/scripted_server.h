#pragma once
// A loopback HTTP peer that plays a fixed script, and helpers that wait for
// a download's notices.
#include <QObject>
#include <QTcpServer>

#include "http/download_notice.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QTcpSocket;

namespace testing_http {


// gzip-encoded form of `data` (a complete gzip member).
std::string Gzip(const std::string& data);

class ScriptedServer : public QObject {
  Q_OBJECT
 public:
  // Sent once the request's blank line has arrived.
  std::string response;
  bool closeAfterResponse = true;
  bool neverAnswer = false;

  ScriptedServer();
  uint16_t Port() const { return server_.serverPort(); }
  std::string Url(const std::string& path) const;
  int Connections() const { return connections_; }
  // The first request, and every request in arrival order.
  std::string Request() const { return requests_.empty() ? std::string() : requests_.front(); }
  const std::vector<std::string>& Requests() const { return requests_; }
  // Writes more bytes on the open connection (and optionally closes it).
  void SendMore(const std::string& bytes, bool close);

 private:
  void OnConnection();
  QTcpServer server_;
  QTcpSocket* peer_ = nullptr;
  std::vector<std::string> requests_;
  int connections_ = 0;
};

// Gathers notices on the test's thread.
class NoticeLog : public QObject {
 public:
  std::vector<http::DownloadNotice> notices;
  http::NoticeHandler Handler();
  bool HasFinal() const;
  // The final notice's kind, none while there is none.
  std::optional<http::NoticeKind> FinalKind() const;
  bool Has(http::NoticeKind kind, int64_t w, int64_t l) const;
  // Runs the event loop until the final notice (false after a generous guard).
  bool WaitFinal();
  // Runs the event loop until some notice of `kind` has arrived.
  bool WaitFor(http::NoticeKind kind);
};

// Runs the event loop until `done` holds, for at most a generous guard.
bool SpinUntil(const std::function<bool()>& done);

}  // namespace testing_http
