#include "server/web_server.h"

#include <QHttpServerRequest>
#include <QTcpSocket>

#include "server/log.h"

namespace chatd {

WebServer::WebServer(WebPages& pages, QObject* parent) : QAbstractHttpServer(parent), pages_(pages) {}

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
