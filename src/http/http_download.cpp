#include "http/http_download.h"

#include "http/http_transfer.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

namespace http {
namespace {
std::atomic<uint64_t> g_nextId{1};
}

HttpDownload::HttpDownload(std::string url, bool gzip, QObject* notifyContext,
                             NoticeHandler handler, std::string targetFile, int inactivityTimeoutMs)
    : id_(g_nextId++),
      url_(std::move(url)),
      gzip_(gzip),
      notifyContext_(notifyContext),
      handler_(std::make_shared<const NoticeHandler>(std::move(handler))),
      targetFile_(std::move(targetFile)),
      timeoutMs_(inactivityTimeoutMs) {
  thread_.reset(QThread::create([this] { Run(); }));
  thread_->start();
}

HttpDownload::~HttpDownload() {
  terminate_ = true;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (request_) request_->Abort();
  }
  thread_->wait();
}

void HttpDownload::Post(NoticeKind kind, int64_t w, int64_t l) {
  if (terminate_ || !notifyContext_ || !*handler_) return;
  DownloadNotice notice{id_, kind, w, l};
  QMetaObject::invokeMethod(
      notifyContext_, [handler = handler_, notice] { (*handler)(notice); }, Qt::QueuedConnection);
}

void HttpDownload::Run() {
  HttpTransfer* request;
  {
    std::lock_guard<std::mutex> guard(lock_);
    request_ = new HttpTransfer([this](NoticeKind kind, int64_t w, int64_t l) { Post(kind, w, l); });
    request = request_;
  }
  bool ok = false;
  if (!terminate_) {
    request->SetInactivityTimeout(timeoutMs_);
    ok = request->Get(url_, targetFile_, gzip_);
  }
  {
    std::lock_guard<std::mutex> guard(lock_);
    result_ = request->TakeBody();
    bytes_ = int64_t(result_.size());
    request_ = nullptr;
  }
  delete request;
  Post(ok ? NoticeKind::Done : NoticeKind::Failed, 0, 0);
}

std::string HttpDownload::GetData() const {
  std::lock_guard<std::mutex> guard(lock_);
  return request_ ? request_->BodyCopy() : result_;
}

int64_t HttpDownload::Bytes() const {
  std::lock_guard<std::mutex> guard(lock_);
  return bytes_;
}

}  // namespace http
