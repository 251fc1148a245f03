#pragma once
// HttpTransfer: one HTTP GET driven by a socket on the calling thread.  Get
// runs a local event loop until the request ends, so it belongs on a thread
// of its own (HttpDownload gives it one).
#include "http/download_notice.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

class QEventLoop;
class QHostAddress;
class QHostInfo;
class QTcpSocket;
class QTimer;

namespace http {

class HttpTransfer : public QObject {
  Q_OBJECT
 public:
  // kind is one of the NoticeKind values; called on the request's thread.
  using Notify = std::function<void(NoticeKind kind, int64_t w, int64_t l)>;

  explicit HttpTransfer(Notify notify);
  ~HttpTransfer() override;

  // True when the whole body arrived (and, with a target file, was stored).
  bool Get(const std::string& url, const std::string& targetFile, bool gzip);

  // Safe from any thread: ends a running Get within one loop turn.
  void Abort();

  // Safe from any thread: the body received so far (empty until the
  // response header is complete).
  std::string BodyCopy() const;

  // After Get: the body, moved out.
  std::string TakeBody();

  // 30 seconds unless changed; applies to the next Get.
  void SetInactivityTimeout(int ms) { timeoutMs_ = ms; }

 private:
  void SetState(int state);
  void Post(NoticeKind kind, int64_t w, int64_t l);
  void OnLookedUp(const QHostInfo& info);
  void ConnectTo(const QHostAddress& address);
  void OnConnected();
  void OnReadyRead();
  void OnSocketError();
  void OnClosed();
  void HandleBlock(const char* data, int64_t n);
  void Finish();
  void RestartTimer();
  void CleanUp();

  Notify notify_;
  int state_ = 0;
  int timeoutMs_ = kInactivityTimeoutMs;
  std::atomic<bool> abortRequested_{false};

  mutable std::mutex lock_;  // guards buffer_ once bodyVisible_ is set
  std::string buffer_;
  bool bodyVisible_ = false;

  std::string path_, host_, request_, targetFile_;
  uint16_t port_ = 80;
  int64_t contentLength_ = -1;
  bool requestSent_ = false;
  bool headerDone_ = false;
  bool gzip_ = false;
  bool closeHandled_ = false;

  int lookupId_ = -1;
  QTcpSocket* socket_ = nullptr;
  QTimer* timer_ = nullptr;
  QEventLoop* loop_ = nullptr;
};

}  // namespace http
