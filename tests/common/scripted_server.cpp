#include "scripted_server.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpSocket>
#include <QThread>

#include <zlib.h>

#include <functional>

namespace testing_http {

std::string Gzip(const std::string& data) {
  z_stream z{};
  deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 31, 9, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, uLong(data.size())) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = uInt(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = uInt(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

namespace {
bool Spin(const std::function<bool()>& done) {
  QDeadlineTimer guard(60000);  // only against a hang, never a measured time
  while (!done()) {
    if (guard.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(1);
  }
  return true;
}
}  // namespace

ScriptedServer::ScriptedServer() {
  connect(&server_, &QTcpServer::newConnection, this, &ScriptedServer::OnConnection);
  server_.listen(QHostAddress::LocalHost, 0);
}

std::string ScriptedServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(Port()) + path;
}

void ScriptedServer::OnConnection() {
  while (QTcpSocket* s = server_.nextPendingConnection()) {
    ++connections_;
    peer_ = s;
    size_t slot = requests_.size();
    requests_.emplace_back();
    connect(s, &QTcpSocket::readyRead, this, [this, s, slot] {
      std::string& request = requests_[slot];
      bool complete = request.find("\n\n") != std::string::npos;
      request += s->readAll().toStdString();
      if (complete || neverAnswer || request.find("\n\n") == std::string::npos) return;
      s->write(response.data(), qint64(response.size()));
      if (closeAfterResponse) s->disconnectFromHost();
    });
  }
}

void ScriptedServer::SendMore(const std::string& bytes, bool close) {
  if (!peer_) return;
  peer_->write(bytes.data(), qint64(bytes.size()));
  if (close) peer_->disconnectFromHost();
}

http::NoticeHandler NoticeLog::Handler() {
  return [this](const http::DownloadNotice& n) { notices.push_back(n); };
}

bool NoticeLog::HasFinal() const { return FinalKind().has_value(); }

std::optional<http::NoticeKind> NoticeLog::FinalKind() const {
  for (const auto& n : notices)
    if (n.kind == http::NoticeKind::Done || n.kind == http::NoticeKind::Failed) return n.kind;
  return std::nullopt;
}

bool NoticeLog::Has(http::NoticeKind kind, int64_t w, int64_t l) const {
  for (const auto& n : notices)
    if (n.kind == kind && n.w == w && n.l == l) return true;
  return false;
}

bool NoticeLog::WaitFinal() {
  return Spin([this] { return HasFinal(); });
}

bool NoticeLog::WaitFor(http::NoticeKind kind) {
  return Spin([this, kind] {
    for (const auto& n : notices)
      if (n.kind == kind) return true;
    return false;
  });
}

bool SpinUntil(const std::function<bool()>& done) { return Spin(done); }

}  // namespace testing_http
