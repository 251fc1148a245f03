#include "http/http_transfer.h"

#include "http/download_notice.h"
#include "http/gzip_unpack.h"
#include "http/http_message.h"

#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QHostInfo>
#include <QTcpSocket>
#include <QTimer>

namespace http {
namespace {
constexpr int64_t kReadBlock = 10000;
// A response header longer than this is no header this client can use; the
// bound also keeps the search for its end from rescanning a flood.
constexpr int64_t kMaxHeaderBytes = 64 * 1024;
}

HttpTransfer::HttpTransfer(Notify notify) : notify_(std::move(notify)) {}

HttpTransfer::~HttpTransfer() { CleanUp(); }

void HttpTransfer::Post(NoticeKind kind, int64_t w, int64_t l) {
  if (notify_) notify_(kind, w, l);
}

void HttpTransfer::SetState(int state) {
  if (state_ != 0) return;
  state_ = state;
  if (loop_) loop_->quit();
}

void HttpTransfer::Abort() {
  abortRequested_ = true;
  QMetaObject::invokeMethod(this, [this] { SetState(-1); }, Qt::QueuedConnection);
}

std::string HttpTransfer::BodyCopy() const {
  std::lock_guard<std::mutex> guard(lock_);
  return bodyVisible_ ? buffer_ : std::string();
}

std::string HttpTransfer::TakeBody() {
  std::lock_guard<std::mutex> guard(lock_);
  bodyVisible_ = false;
  return std::move(buffer_);
}

bool HttpTransfer::Get(const std::string& url, const std::string& targetFile, bool gzip) {
  contentLength_ = -1;
  if (state_ != 0 || abortRequested_) {
    state_ = 0;
    return false;
  }
  targetFile_ = targetFile;
  gzip_ = gzip;
  auto parts = SplitUrl(url);
  if (!parts) return false;  // no path: nothing is sent, nothing posted
  path_ = parts->path;
  host_ = parts->host;
  port_ = parts->port;
  request_ = BuildRequest(*parts, gzip);
  {
    std::lock_guard<std::mutex> guard(lock_);
    buffer_.clear();
    bodyVisible_ = false;
  }
  headerDone_ = false;
  closeHandled_ = false;
  Post(NoticeKind::Activity, 1, 0);

  timer_ = new QTimer(this);
  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, this, [this] { SetState(-1); });

  QHostAddress literal;
  if (literal.setAddress(QString::fromStdString(parts->connectHost))) {
    ConnectTo(literal);
  } else {
    lookupId_ = QHostInfo::lookupHost(QString::fromStdString(parts->connectHost), this,
                                      &HttpTransfer::OnLookedUp);
    RestartTimer();
  }

  if (state_ == 0) {
    QEventLoop loop;
    loop_ = &loop;
    loop.exec();
    loop_ = nullptr;
  }
  CleanUp();
  bool ok = state_ == 1;
  state_ = 0;
  return ok;
}

void HttpTransfer::OnLookedUp(const QHostInfo& info) {
  lookupId_ = -1;
  if (state_ != 0) return;
  const auto addresses = info.addresses();
  if (info.error() != QHostInfo::NoError || addresses.isEmpty()) {
    SetState(-1);
    return;
  }
  // Prefer IPv4: a name such as "localhost" often lists ::1 first while
  // servers listen on 127.0.0.1 only.
  QHostAddress chosen = addresses.first();
  for (const auto& a : addresses)
    if (a.protocol() == QAbstractSocket::IPv4Protocol) {
      chosen = a;
      break;
    }
  ConnectTo(chosen);
}

void HttpTransfer::ConnectTo(const QHostAddress& address) {
  timer_->stop();
  requestSent_ = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    buffer_.clear();
  }
  socket_ = new QTcpSocket(this);
  connect(socket_, &QTcpSocket::connected, this, &HttpTransfer::OnConnected);
  connect(socket_, &QTcpSocket::readyRead, this, &HttpTransfer::OnReadyRead);
  connect(socket_, &QTcpSocket::errorOccurred, this, &HttpTransfer::OnSocketError);
  connect(socket_, &QTcpSocket::disconnected, this, &HttpTransfer::OnClosed);
  socket_->connectToHost(address, port_);
  RestartTimer();
}

void HttpTransfer::RestartTimer() {
  if (state_ == 0) timer_->start(timeoutMs_);
}

void HttpTransfer::OnConnected() {
  timer_->stop();
  if (requestSent_ || state_ != 0) return;
  requestSent_ = true;
  if (socket_->write(request_.data(), qint64(request_.size())) != qint64(request_.size())) {
    SetState(-1);
    return;
  }
  RestartTimer();
}

void HttpTransfer::OnReadyRead() {
  timer_->stop();
  char block[kReadBlock];
  while (state_ == 0 && socket_->bytesAvailable() > 0) {
    qint64 n = socket_->read(block, kReadBlock);
    if (n < 0) {
      SetState(-1);
      return;
    }
    if (n == 0) break;
    HandleBlock(block, n);
  }
  RestartTimer();
}

void HttpTransfer::OnSocketError() {
  // A remote close arrives as an "error" first; it is the normal end of a
  // body without a length, not a failure.
  if (socket_->error() == QAbstractSocket::RemoteHostClosedError) {
    OnClosed();
    return;
  }
  timer_->stop();
  SetState(-1);
}

void HttpTransfer::OnClosed() {
  if (closeHandled_) return;
  closeHandled_ = true;
  timer_->stop();
  OnReadyRead();  // whatever is still buffered
  if (state_ != 0) return;
  // Closed before a whole header arrived: there is no response to deliver.
  if (!headerDone_)
    SetState(-1);
  else
    Finish();
}

void HttpTransfer::HandleBlock(const char* data, int64_t n) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    const int64_t allowed = headerDone_ ? kMaxBodyBytes : kMaxHeaderBytes + kReadBlock;
    if (int64_t(buffer_.size()) + n > allowed) {
      buffer_.clear();
      bodyVisible_ = false;
      SetState(-1);
      return;
    }
    buffer_.append(data, size_t(n));
  }
  if (!headerDone_) {
    auto header = ParseResponseHeader(buffer_);
    if (!header) {
      if (int64_t(buffer_.size()) > kMaxHeaderBytes) SetState(-1);
      return;
    }
    if (int64_t(header->headerBytes) > kMaxHeaderBytes) {
      SetState(-1);
      return;
    }
    if (header->contentLength > kMaxBodyBytes) {
      SetState(-1);
      return;
    }
    contentLength_ = header->contentLength;
    gzip_ = header->gzip;
    std::lock_guard<std::mutex> guard(lock_);
    buffer_.erase(0, header->headerBytes);
    bodyVisible_ = true;
    headerDone_ = true;
  }
  if (contentLength_ >= 0 && int64_t(buffer_.size()) > contentLength_) {
    // Bytes past the declared length are not part of this body.
    std::lock_guard<std::mutex> guard(lock_);
    buffer_.resize(size_t(contentLength_));
  }
  Post(NoticeKind::Activity, 0, 1);
  Post(NoticeKind::Progress, int64_t(buffer_.size()), contentLength_);
  if (contentLength_ >= 0 && int64_t(buffer_.size()) == contentLength_) Finish();
}

void HttpTransfer::Finish() {
  if (state_ != 0) return;
  if (headerDone_ && gzip_) {
    GunzipJob job;
    job.targetFile = targetFile_;
    job.limit = kMaxBodyBytes;
    job.progress = [this](int percent) { Post(NoticeKind::GzipProgress, percent, 0); };
    job.cancelled = [this] { return abortRequested_.load(); };
    std::string body;
    {
      std::lock_guard<std::mutex> guard(lock_);
      body = buffer_;
    }
    if (!GunzipThroughFiles(body, job)) {
      SetState(-1);
      return;
    }
    std::lock_guard<std::mutex> guard(lock_);
    buffer_.swap(body);
  } else if (!targetFile_.empty()) {
    QFile out(QFile::decodeName(targetFile_.c_str()));
    bool ok = out.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
              out.write(buffer_.data(), qint64(buffer_.size())) == qint64(buffer_.size()) &&
              out.flush();
    out.close();
    if (!ok) {
      out.remove();
      SetState(-1);
      return;
    }
  }
  Post(NoticeKind::Activity, 0, 1);
  contentLength_ = int64_t(buffer_.size());
  SetState(1);
}

void HttpTransfer::CleanUp() {
  if (timer_) {
    timer_->stop();
    delete timer_;
    timer_ = nullptr;
  }
  if (lookupId_ != -1) {
    QHostInfo::abortHostLookup(lookupId_);
    lookupId_ = -1;
  }
  if (socket_) {
    socket_->disconnect(this);
    socket_->abort();
    delete socket_;
    socket_ = nullptr;
  }
}

}  // namespace http
