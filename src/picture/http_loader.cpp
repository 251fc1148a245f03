#include "markup/picture/http_loader.h"

#include "markup/http/http_load.h"

namespace picture {
namespace {

class HttpDownload : public RunningDownload {
 public:
  explicit HttpDownload(std::unique_ptr<http::TZevoHTTPLoad> load) : load_(std::move(load)) {}
  uint64_t Id() const override { return load_->Id(); }
  int64_t Bytes() const override { return load_->Bytes(); }

 private:
  std::unique_ptr<http::TZevoHTTPLoad> load_;
};

}  // namespace

HttpPictureLoader::HttpPictureLoader(Hooks hooks) : hooks_(std::move(hooks)) {
  Loader::Hooks queueHooks;
  queueHooks.finished = hooks_.finished;
  queueHooks.duplicate = hooks_.duplicate;
  queueHooks.start = [this](const std::string& url, const std::string& target) {
    auto onNotice = [this](const http::DownloadNotice& n) {
      if (n.kind == http::kNoticeDone || n.kind == http::kNoticeFailed)
        loader_->Finished(n.id, n.kind == http::kNoticeDone);
      else if (n.kind == http::kNoticeActivity && hooks_.activity)
        hooks_.activity(n.w, n.l);
    };
    return std::make_unique<HttpDownload>(
        std::make_unique<http::TZevoHTTPLoad>(url, false, &context_, onNotice, target));
  };
  loader_ = std::make_unique<Loader>(std::move(queueHooks));
}

HttpPictureLoader::~HttpPictureLoader() { loader_.reset(); }

}  // namespace picture
