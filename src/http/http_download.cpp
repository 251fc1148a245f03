#include "markup/http/http_load.h"

#include "markup/http/http_request.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

namespace http {
namespace {
std::atomic<uint64_t> g_nextId{1};
}

TZevoHTTPLoad::TZevoHTTPLoad(std::string url, bool gzip, QObject* notifyContext,
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

TZevoHTTPLoad::~TZevoHTTPLoad() {
  terminate_ = true;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (request_) request_->Abort();
  }
  thread_->wait();
}

void TZevoHTTPLoad::Post(int kind, int64_t w, int64_t l) {
  if (terminate_ || !notifyContext_ || !*handler_) return;
  DownloadNotice notice{id_, kind, w, l};
  QMetaObject::invokeMethod(
      notifyContext_, [handler = handler_, notice] { (*handler)(notice); }, Qt::QueuedConnection);
}

void TZevoHTTPLoad::Run() {
  TZevoAHTTP* request;
  {
    std::lock_guard<std::mutex> guard(lock_);
    request_ = new TZevoAHTTP([this](int kind, int64_t w, int64_t l) { Post(kind, w, l); });
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
  Post(ok ? kNoticeDone : kNoticeFailed, 0, 0);
}

std::string TZevoHTTPLoad::GetData() const {
  std::lock_guard<std::mutex> guard(lock_);
  return request_ ? request_->BodyCopy() : result_;
}

int64_t TZevoHTTPLoad::Bytes() const {
  std::lock_guard<std::mutex> guard(lock_);
  return bytes_;
}

}  // namespace http
