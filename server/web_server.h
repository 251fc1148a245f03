#pragma once
// The web side's sockets on Qt HttpServer: every request is answered by
// WebPages and written with an exact Content-Length, packed with gzip when
// the request accepts it.
#include <QAbstractHttpServer>
#include <QTcpServer>

#include "server/web_pages.h"

namespace chatd {

// Accepts the web side's connections and drops one that sends more than
// kMaxBytes in all: Qt HttpServer itself keeps whatever a request holds.
class BoundedTcpServer : public QTcpServer {
  Q_OBJECT
 public:
  static constexpr qint64 kMaxBytes = 16 << 20;
  static constexpr int kMaxConnections = 1000;
  using QTcpServer::QTcpServer;

 protected:
  void incomingConnection(qintptr handle) override;

 private:
  int open_ = 0;
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
