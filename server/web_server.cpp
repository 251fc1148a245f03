#include "server/web_server.h"

#include <QHttpServerRequest>
#include <QTcpSocket>

#include <memory>

#include "server/log.h"

namespace chatd {

void BoundedTcpServer::incomingConnection(qintptr handle) {
  auto* socket = new QTcpSocket(this);
  if (!socket->setSocketDescriptor(handle)) {
    delete socket;
    return;
  }
  if (open_ >= kMaxConnections) {
    Log("too many web connections: one refused");
    socket->abort();
    socket->deleteLater();
    return;
  }
  ++open_;
  connect(socket, &QObject::destroyed, this, [this] { --open_; });
  // Connected before the HTTP server's own handler, so it sees the bytes
  // before they are taken.
  auto received = std::make_shared<qint64>(0);
  connect(socket, &QTcpSocket::readyRead, socket, [socket, received] {
    if (*received > kMaxBytes) return;  // already being dropped
    *received += socket->bytesAvailable();
    if (*received > kMaxBytes) {
      Log("web client sent more than 16 MiB: dropped");
      QMetaObject::invokeMethod(socket, [socket] { socket->abort(); }, Qt::QueuedConnection);
    }
  });
  addPendingConnection(socket);
}

WebServer::WebServer(WebPages& pages, QObject* parent) : QAbstractHttpServer(parent), pages_(pages) {}

quint16 WebServer::Start(const QHostAddress& address, quint16 port) {
  tcp_ = new BoundedTcpServer(this);
  if (!tcp_->listen(address, port)) return 0;
  bind(tcp_);
  return tcp_->serverPort();
}

bool WebServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
  // Path and query in their encoded form: Qt's own decoding assumes UTF-8,
  // while our names are Windows-1251 bytes.
  const QUrl url = request.url();
  const QByteArray path = url.path(QUrl::FullyEncoded).toLatin1();
  const QByteArray query = url.query(QUrl::FullyEncoded).toLatin1();
  bool gzip = false;
  for (const auto& header : request.headers()) {
    if (header.first.compare("Accept-Encoding", Qt::CaseInsensitive) == 0 && header.second.contains("gzip")) gzip = true;
  }
  WebResponse response = pages_.Handle(std::string_view(path.constData(), static_cast<size_t>(path.size())),
                                       std::string_view(query.constData(), static_cast<size_t>(query.size())));
  if (response.status != 200) Log("web " + std::to_string(response.status) + " for", path.toStdString());
  const bool head = request.method() == QHttpServerRequest::Method::Head;
  const std::string bytes = BuildHttpResponse(response, gzip, head);
  socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
  return true;
}

void WebServer::missingHandler(const QHttpServerRequest&, QTcpSocket*) {}

}  // namespace chatd
