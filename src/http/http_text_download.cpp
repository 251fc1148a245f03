#include "http/http_text_download.h"

#include <QTimer>

#include "http/http_download.h"

namespace media {
namespace {

class HttpTextDownload : public TextDownload {
 public:
  HttpTextDownload(const std::string& url, bool gzip, QObject* context, TextDownloadReceiver& receiver,
                   const TextLimits& limits)
      : alive_(std::make_shared<bool>(true)) {
    // Reports already queued when the download is destroyed still arrive:
    // the flag, shared with them, tells them to stay silent.  Once over a
    // bound it is cleared: the failure is the last report.
    std::weak_ptr<bool> alive = alive_;
    TextDownloadReceiver* to = &receiver;
    http::HttpDownload** load = &loadRaw_;
    const int64_t maxBytes = limits.maxBytes;
    auto fail = [alive, to] {
      const auto a = alive.lock();
      if (!a || !*a) return;
      *a = false;
      to->DownloadFailed();
    };
    auto onNotice = [alive, to, load, maxBytes, fail](const http::DownloadNotice& n) {
      const auto a = alive.lock();
      if (!a || !*a) return;
      switch (n.kind) {
        case http::NoticeKind::Progress:
          if (n.w > maxBytes || n.l > maxBytes) return fail();
          to->DownloadProgress(n.w, n.l);
          break;
        case http::NoticeKind::Activity:
          to->DownloadActivity();
          break;
        case http::NoticeKind::Done: {
          const std::string body = (*load)->GetData();  // the receiver may destroy the download
          if (int64_t(body.size()) > maxBytes) return fail();
          *a = false;
          to->DownloadDone(body);
          break;
        }
        case http::NoticeKind::Failed:
          fail();
          break;
        default:
          break;
      }
    };
    load_ = std::make_unique<http::HttpDownload>(url, gzip, context, onNotice, "");
    loadRaw_ = load_.get();
    // A server trickling a byte now and then never ends it: the whole
    // download has a deadline.
    QTimer::singleShot(limits.deadlineMs, context, fail);
  }
  ~HttpTextDownload() override {
    alive_.reset();
    load_.reset();
  }

 private:
  std::shared_ptr<bool> alive_;
  std::unique_ptr<http::HttpDownload> load_;
  http::HttpDownload* loadRaw_ = nullptr;
};

}  // namespace

std::unique_ptr<TextDownload> HttpTextDownloader::Start(const std::string& url, bool gzip,
                                                        TextDownloadReceiver& receiver) {
  return std::make_unique<HttpTextDownload>(url, gzip, context_, receiver, limits_);
}

}  // namespace media
