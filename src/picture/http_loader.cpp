#include "picture/http_loader.h"

#include "http/http_download.h"

namespace picture {
namespace {

class QueuedHttpDownload : public RunningDownload {
 public:
  explicit QueuedHttpDownload(std::unique_ptr<http::HttpDownload> load) : load_(std::move(load)) {}
  uint64_t Id() const override { return load_->Id(); }
  int64_t Bytes() const override { return load_->Bytes(); }

 private:
  std::unique_ptr<http::HttpDownload> load_;
};

}  // namespace

HttpPictureLoader::HttpPictureLoader(Hooks hooks) : hooks_(std::move(hooks)) {
  DownloadQueue::Hooks queueHooks;
  queueHooks.finished = hooks_.finished;
  queueHooks.duplicate = hooks_.duplicate;
  queueHooks.start = [this](const std::string& url, const std::string& target) {
    auto onNotice = [this](const http::DownloadNotice& n) {
      if (n.kind == http::NoticeKind::Done || n.kind == http::NoticeKind::Failed)
        loader_->Finished(n.id, n.kind == http::NoticeKind::Done);
      else if (n.kind == http::NoticeKind::Activity && hooks_.activity)
        hooks_.activity(n.w, n.l);
    };
    return std::make_unique<QueuedHttpDownload>(
        std::make_unique<http::HttpDownload>(url, false, &context_, onNotice, target));
  };
  loader_ = std::make_unique<DownloadQueue>(std::move(queueHooks));
}

HttpPictureLoader::~HttpPictureLoader() { loader_.reset(); }

}  // namespace picture
