#pragma once
// The web side's sockets on Qt HttpServer: every request is answered by
// WebPages and written with an exact Content-Length, packed with gzip when
// the request accepts it.
#include <QAbstractHttpServer>
#include <QTcpServer>

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "server/raw_targets.h"
#include "server/web_pages.h"

namespace chatd {

// Accepts the web side's connections, drops one that sends more than
// kMaxBytes in all (Qt HttpServer itself keeps whatever a request holds) and
// keeps each connection's raw request targets.
class BoundedTcpServer : public QTcpServer {
  Q_OBJECT
 public:
  static constexpr qint64 kMaxBytes = 16 << 20;
  static constexpr int kMaxConnections = 1000;
  static constexpr int kIdleMs = 120 * 1000;  // Qt HttpServer never closes a connection itself
  using QTcpServer::QTcpServer;

  // The raw target behind what Qt reports for a request on `socket`.
  std::optional<std::string> RawTarget(QTcpSocket* socket, const std::string& qtTarget);

 protected:
  void incomingConnection(qintptr handle) override;

 private:
  int open_ = 0;
  std::unordered_map<QTcpSocket*, std::shared_ptr<RawTargets>> raw_;
};

class WebServer : public QAbstractHttpServer {
  Q_OBJECT
 public:
  WebServer(WebPages& pages, QObject* parent = nullptr);
  // Listens on `address`:`port` (0: a free port); the port, or 0 on failure.
  quint16 Start(const QHostAddress& address, quint16 port);

 protected:
  bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
  void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

 private:
  WebPages& pages_;
  BoundedTcpServer* tcp_ = nullptr;
};

}  // namespace chatd
