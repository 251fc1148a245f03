#pragma once
// The web side's sockets on Qt HttpServer: every request is answered by
// WebPages and written with an exact Content-Length, packed with gzip when
// the request accepts it.
#include <QAbstractHttpServer>
#include <QtGlobal>
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
#include <QHttpServerResponder>
#endif
#include <QTcpServer>

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "server/acceptor.h"
#include "server/raw_targets.h"
#include "server/web_pages.h"

namespace chatd {

// Accepts the web side's connections and watches their bytes before Qt
// HttpServer takes them (it keeps whatever a request holds): a request whose
// line and headers pass 64 KiB, or whose body is more than the pages accept,
// closes the connection; so does a request not complete within
// kRequestWithinMs of its first byte (the first one counts from the
// connection), and a connection idle between requests for kIdleMs.  At most
// kMaxConnections in all and perAddress from one address.  It also keeps each
// connection's raw request targets.
class BoundedTcpServer : public QTcpServer {
  Q_OBJECT
 public:
  static constexpr int kMaxConnections = 1000;  // unless the file limit allows fewer
  static constexpr int kRequestWithinMs = 10 * 1000;
  static constexpr int kIdleMs = 120 * 1000;  // Qt HttpServer never closes a connection itself
  static constexpr qint64 kReadAhead = 64 * 1024;
  BoundedTcpServer(size_t perAddress, int maxConnections, QObject* parent = nullptr)
      : QTcpServer(parent), perAddress_(perAddress), maxConnections_(maxConnections) {}
  // Listens and takes over accepting from Qt.
  bool Listen(const QHostAddress& address, quint16 port);

  // The raw target behind what Qt reports for a request on `socket`.
  std::optional<std::string> RawTarget(QTcpSocket* socket, const std::string& qtTarget);
  // The connection whose bytes Qt HttpServer is parsing now: its handler
  // runs right after ours on the same readyRead, within the same call.
  QTcpSocket* Parsing() const { return parsing_; }

 protected:
  void incomingConnection(qintptr handle) override;

 private:
  int open_ = 0;
  size_t perAddress_;
  int maxConnections_;
  Acceptor acceptor_{*this, "web port", [this](qintptr fd) { Take(fd); }};
  void Take(qintptr descriptor);
  std::unordered_map<std::string, size_t> fromAddress_;
  std::unordered_map<QTcpSocket*, std::shared_ptr<RawTargets>> raw_;
  QTcpSocket* parsing_ = nullptr;
};

class WebServer : public QAbstractHttpServer {
  Q_OBJECT
 public:
  WebServer(WebPages& pages, size_t perAddress = 64, int maxConnections = BoundedTcpServer::kMaxConnections,
            QObject* parent = nullptr);
  // Listens on `address`:`port` (0: a free port); the port, or 0 on failure.
  quint16 Start(const QHostAddress& address, quint16 port);

 protected:
  // Qt 6.5 replaced the socket these are given by a responder; the answer
  // is the same bytes on the same connection either way.
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
  bool handleRequest(const QHttpServerRequest& request, QHttpServerResponder& responder) override;
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
  void missingHandler(const QHttpServerRequest& request, QHttpServerResponder& responder) override;
#else
  void missingHandler(const QHttpServerRequest& request, QHttpServerResponder&& responder) override;
#endif
#else
  bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
  void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;
#endif

 private:
  // Writes the answer to `request` on `socket`, with an exact Content-Length.
  void Answer(const QHttpServerRequest& request, QTcpSocket* socket);

  WebPages& pages_;
  size_t perAddress_;
  int maxConnections_;
  BoundedTcpServer* tcp_ = nullptr;
};

}  // namespace chatd
