#include "http/http_text_download.h"

#include "http/http_download.h"

namespace media {
namespace {

class HttpTextDownload : public TextDownload {
 public:
  HttpTextDownload(const std::string& url, bool gzip, QObject* context, TextDownloadReceiver& receiver)
      : alive_(std::make_shared<bool>(true)) {
    // Reports already queued when the download is destroyed still arrive:
    // the flag, shared with them, tells them to stay silent.
    std::weak_ptr<bool> alive = alive_;
    TextDownloadReceiver* to = &receiver;
    http::HttpDownload** load = &loadRaw_;
    auto onNotice = [alive, to, load](const http::DownloadNotice& n) {
      if (alive.expired()) return;
      switch (n.kind) {
        case http::NoticeKind::Progress:
          to->DownloadProgress(n.w, n.l);
          break;
        case http::NoticeKind::Activity:
          to->DownloadActivity();
          break;
        case http::NoticeKind::Done: {
          const std::string body = (*load)->GetData();  // the receiver may destroy the download
          to->DownloadDone(body);
          break;
        }
        case http::NoticeKind::Failed:
          to->DownloadFailed();
          break;
        default:
          break;
      }
    };
    load_ = std::make_unique<http::HttpDownload>(url, gzip, context, onNotice, "");
    loadRaw_ = load_.get();
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
  return std::make_unique<HttpTextDownload>(url, gzip, context_, receiver);
}

}  // namespace media
