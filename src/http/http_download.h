#pragma once
// HttpDownload: one download on a thread of its own.  The owner learns of
// progress and the outcome through notices delivered on the thread of the
// notify context; it reads the body with GetData and then destroys the
// download.  Destroying a running download aborts it at once and nothing
// more is delivered for it.
#include "http/download_notice.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class QObject;
class QThread;

namespace http {

class HttpTransfer;

class HttpDownload {
 public:
  // Starts the download.  Notices are queued to `notifyContext` (which must
  // outlive this object, or be null for no notices) and run `handler` there.
  HttpDownload(std::string url, bool gzip, QObject* notifyContext, NoticeHandler handler,
                std::string targetFile, int inactivityTimeoutMs = kInactivityTimeoutMs);
  ~HttpDownload();
  HttpDownload(const HttpDownload&) = delete;
  HttpDownload& operator=(const HttpDownload&) = delete;

  uint64_t Id() const { return id_; }
  const std::string& Url() const { return url_; }
  const std::string& TargetFile() const { return targetFile_; }

  // The body so far while the request runs, the whole body afterwards.
  std::string GetData() const;
  // Length of the body (or of what arrived); set before the final notice.
  int64_t Bytes() const;

 private:
  void Run();
  void Post(NoticeKind kind, int64_t w, int64_t l);

  const uint64_t id_;
  const std::string url_;
  const bool gzip_;
  QObject* const notifyContext_;
  const std::shared_ptr<const NoticeHandler> handler_;
  const std::string targetFile_;
  const int timeoutMs_;

  std::atomic<bool> terminate_{false};
  mutable std::mutex lock_;  // guards request_, result_ and bytes_; taken before the request's
  HttpTransfer* request_ = nullptr;
  std::string result_;
  int64_t bytes_ = 0;
  std::unique_ptr<QThread> thread_;
};

}  // namespace http
