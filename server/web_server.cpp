#include "server/web_server.h"

#include <unistd.h>

#include <QHttpServerRequest>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

#include "server/log.h"
#include "server/request_guard.h"

namespace chatd {

bool BoundedTcpServer::Listen(const QHostAddress& address, quint16 port) {
  setListenBacklogSize(1024);
  if (!listen(address, port)) return false;
  acceptor_.Start();
  return true;
}

void BoundedTcpServer::Take(qintptr descriptor) {
  incomingConnection(descriptor);
  // Qt HttpServer takes the connection at once, which turns Qt's own
  // accepting back on; ours stays the only one.
  emit newConnection();
  acceptor_.KeepQtQuiet();
}

void BoundedTcpServer::incomingConnection(qintptr handle) {
  auto* socket = new QTcpSocket(this);
  if (!socket->setSocketDescriptor(handle)) {
    ::close(static_cast<int>(handle));
    delete socket;
    return;
  }
  QString peer = socket->peerAddress().toString();
  if (peer.startsWith("::ffff:")) peer = peer.mid(7);
  const std::string address = peer.toStdString();
  const char* refusal = open_ >= maxConnections_                   ? "web connection refused: server full"
                        : fromAddress_[address] >= perAddress_ ? "web connection refused: too many from this address"
                                                               : nullptr;
  if (refusal) {
    if (fromAddress_[address] == 0) fromAddress_.erase(address);
    Refused("address " + Printable(address, 64), refusal);
    socket->abort();
    socket->deleteLater();
    return;
  }
  ++open_;
  ++fromAddress_[address];
  const std::string who = "web " + Printable(address, 64) + ":" + std::to_string(socket->peerPort());
  auto raw = std::make_shared<RawTargets>();
  raw_[socket] = raw;
  connect(socket, &QObject::destroyed, this, [this, socket, address, who] {
    if (parsing_ == socket) parsing_ = nullptr;
    --open_;
    raw_.erase(socket);
    auto it = fromAddress_.find(address);
    if (it != fromAddress_.end() && --it->second == 0) fromAddress_.erase(it);
    RefusalsDone(who);
  });
  // Qt reads at most this far ahead of its parser, so one peek sees what a
  // request holds and nothing piles up in the socket.
  socket->setReadBufferSize(kReadAhead);
  auto* idle = new QTimer(socket);
  idle->setSingleShot(true);
  idle->setInterval(kIdleMs);
  connect(idle, &QTimer::timeout, socket, [socket] { socket->abort(); });
  auto* deadline = new QTimer(socket);
  deadline->setSingleShot(true);
  deadline->setInterval(kRequestWithinMs);
  connect(deadline, &QTimer::timeout, socket, [socket, who] {
    Log(who + " did not complete a request in time: dropped");
    socket->abort();
  });
  // Connected before the HTTP server's own handler, so it sees the bytes
  // before they are taken.
  auto guard = std::make_shared<RequestGuard>();
  auto dropping = std::make_shared<bool>(false);
  connect(socket, &QTcpSocket::readyRead, socket, [this, socket, guard, dropping, raw, idle, deadline, who] {
    parsing_ = socket;
    if (*dropping) return;
    const QByteArray seen = socket->peek(socket->bytesAvailable());
    const std::string_view bytes(seen.constData(), static_cast<size_t>(seen.size()));
    const uint64_t before = guard->Completed();
    const RequestGuard::Verdict verdict = guard->Feed(bytes);
    if (verdict != RequestGuard::Verdict::Fine) {
      *dropping = true;
      Log(who + (verdict == RequestGuard::Verdict::HeadTooLong   ? " sent a request head over 64 KiB"
                 : verdict == RequestGuard::Verdict::BodyTooLong ? " sent a request body the pages do not take"
                                                                 : " sent a request body of unknown length") +
          ": dropped");
      QMetaObject::invokeMethod(socket, [socket] { socket->abort(); }, Qt::QueuedConnection);
      return;
    }
    raw->Feed(bytes);
    // Only whole requests count as activity; a byte now and then does not.
    if (guard->Completed() != before) {
      deadline->stop();
      idle->start();
    }
    if (guard->InRequest() && !deadline->isActive()) {
      idle->stop();
      deadline->start();
    }
  });
  connect(socket, &QTcpSocket::bytesWritten, idle, [idle, deadline] {
    if (!deadline->isActive()) idle->start();
  });
  deadline->start();
  addPendingConnection(socket);
}

std::optional<std::string> BoundedTcpServer::RawTarget(QTcpSocket* socket, const std::string& qtTarget) {
  auto it = raw_.find(socket);
  if (it == raw_.end()) return std::nullopt;
  return it->second->Take(qtTarget);
}

WebServer::WebServer(WebPages& pages, size_t perAddress, int maxConnections, QObject* parent)
    : QAbstractHttpServer(parent), pages_(pages), perAddress_(perAddress), maxConnections_(maxConnections) {}

quint16 WebServer::Start(const QHostAddress& address, quint16 port) {
  tcp_ = new BoundedTcpServer(perAddress_, maxConnections_, this);
  if (!tcp_->Listen(address, port)) return 0;
  bind(tcp_);
  return tcp_->serverPort();
}

#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
bool WebServer::handleRequest(const QHttpServerRequest& request, QHttpServerResponder&) {
  if (QTcpSocket* socket = tcp_->Parsing()) Answer(request, socket);
  return true;
}
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
void WebServer::missingHandler(const QHttpServerRequest&, QHttpServerResponder&) {}
#else
void WebServer::missingHandler(const QHttpServerRequest&, QHttpServerResponder&&) {}
#endif
#else
bool WebServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
  Answer(request, socket);
  return true;
}

void WebServer::missingHandler(const QHttpServerRequest&, QTcpSocket*) {}
#endif

void WebServer::Answer(const QHttpServerRequest& request, QTcpSocket* socket) {
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
  if (response.status != 200) {
    QString peer = socket->peerAddress().toString();
    if (peer.startsWith("::ffff:")) peer = peer.mid(7);
    Refused("web " + Printable(peer.toStdString(), 64) + ":" + std::to_string(socket->peerPort()),
            "answered " + std::to_string(response.status), target);
  }
  const bool head = request.method() == QHttpServerRequest::Method::Head;
  const std::string bytes = BuildHttpResponse(response, gzip, head);
  socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
}

}  // namespace chatd
