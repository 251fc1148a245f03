#pragma once
// The download queue wired to real HTTP downloads: notices of the
// downloads arrive on the thread that created this object.
#include "picture/download_queue.h"

#include <QObject>

#include <functional>
#include <memory>

namespace picture {

class HttpPictureLoader {
 public:
  struct Hooks {
    std::function<void(int picture, const std::string& url, const std::string& target, bool ok)>
        finished;
    std::function<void(const std::string& url)> duplicate;
    // Every activity notice of a picture download (forwarded as traffic).
    std::function<void(int64_t w, int64_t l)> activity;
  };

  explicit HttpPictureLoader(Hooks hooks);
  ~HttpPictureLoader();

  DownloadQueue& queue() { return *loader_; }

 private:
  QObject context_;  // receives the notices; dies after the loader
  Hooks hooks_;
  std::unique_ptr<DownloadQueue> loader_;
};

}  // namespace picture
