#include "server/web_server.h"

#include <QHttpServerRequest>
#include <QTcpSocket>
#include <QTimer>

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
  auto raw = std::make_shared<RawTargets>();
  raw_[socket] = raw;
  connect(socket, &QObject::destroyed, this, [this, socket] {
    --open_;
    raw_.erase(socket);
  });
  // Connected before the HTTP server's own handler, so it sees the bytes
  // before they are taken.
  auto received = std::make_shared<qint64>(0);
  connect(socket, &QTcpSocket::readyRead, socket, [socket, received, raw] {
    if (*received > kMaxBytes) return;  // already being dropped
    const QByteArray seen = socket->peek(socket->bytesAvailable());
    raw->Feed(std::string_view(seen.constData(), static_cast<size_t>(seen.size())));
    *received += seen.size();
    if (*received > kMaxBytes) {
      Log("web client sent more than 16 MiB: dropped");
      QMetaObject::invokeMethod(socket, [socket] { socket->abort(); }, Qt::QueuedConnection);
    }
  });
  auto* idle = new QTimer(socket);
  idle->setSingleShot(true);
  idle->setInterval(kIdleMs);
  connect(idle, &QTimer::timeout, socket, [socket] { socket->abort(); });
  connect(socket, &QTcpSocket::readyRead, idle, qOverload<>(&QTimer::start));
  connect(socket, &QTcpSocket::bytesWritten, idle, qOverload<>(&QTimer::start));
  idle->start();
  addPendingConnection(socket);
}

std::optional<std::string> BoundedTcpServer::RawTarget(QTcpSocket* socket, const std::string& qtTarget) {
  auto it = raw_.find(socket);
  if (it == raw_.end()) return std::nullopt;
  return it->second->Take(qtTarget);
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
  std::string target = path.toStdString();
  if (url.hasQuery()) target += "?" + query.toStdString();
  if (RawTargets::NeedsRaw(target)) {
    if (auto raw = tcp_->RawTarget(socket, target)) target = *raw;
  }
  const size_t question = target.find('?');
  const std::string_view whole = target;
  WebResponse response = pages_.Handle(whole.substr(0, question),
                                       question == std::string::npos ? std::string_view() : whole.substr(question + 1));
  if (response.status != 200) Log("web " + std::to_string(response.status) + " for", target);
  const bool head = request.method() == QHttpServerRequest::Method::Head;
  const std::string bytes = BuildHttpResponse(response, gzip, head);
  socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
  return true;
}

void WebServer::missingHandler(const QHttpServerRequest&, QTcpSocket*) {}

}  // namespace chatd
