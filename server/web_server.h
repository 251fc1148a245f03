#pragma once
// The web side's sockets on Qt HttpServer: every request is answered by
// WebPages and written with an exact Content-Length, packed with gzip when
// the request accepts it.
#include <QAbstractHttpServer>

#include "server/web_pages.h"

namespace chatd {

class WebServer : public QAbstractHttpServer {
  Q_OBJECT
 public:
  WebServer(WebPages& pages, QObject* parent = nullptr);

 protected:
  bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
  void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

 private:
  WebPages& pages_;
};

}  // namespace chatd
