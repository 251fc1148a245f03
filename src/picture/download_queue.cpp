#include "picture/download_queue.h"

#include <vector>

namespace picture {

size_t DownloadQueue::Running() const {
  size_t n = 0;
  for (const auto& e : entries_)
    if (e.download) ++n;
  return n;
}

void DownloadQueue::Queue(int picture, const std::string& url, const std::string& target) {
  for (const auto& e : entries_)
    if (e.url == url) {
      if (hooks_.duplicate) hooks_.duplicate(url);
      break;
    }
  entries_.push_back(PictData{url, target, picture, nullptr});
  StartNext();
}

void DownloadQueue::Finished(uint64_t id, bool ok) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (!it->download || it->download->Id() != id) continue;
    PictData done = std::move(*it);
    entries_.erase(it);
    trafficIn_ += done.download->Bytes();
    done.download.reset();
    if (hooks_.finished) hooks_.finished(done.picture, done.url, done.target, ok);
    StartNext();
    return;
  }
}

void DownloadQueue::Cancel(int picture) {
  std::vector<std::unique_ptr<RunningDownload>> aborted;
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (it->picture == picture) {
      aborted.push_back(std::move(it->download));
      it = entries_.erase(it);
    } else {
      ++it;
    }
  }
  aborted.clear();
  StartNext();
}

void DownloadQueue::CancelAll() {
  std::list<PictData> gone;
  gone.swap(entries_);
  gone.clear();
}

void DownloadQueue::StartNext() {
  if (starting_) return;  // a hook called back into the queue
  starting_ = true;
  for (;;) {
    if (Running() >= kMaxRunning) break;
    auto next = entries_.begin();
    while (next != entries_.end() && next->download) ++next;
    if (next == entries_.end()) break;
    if (hooks_.start) next->download = hooks_.start(next->url, next->target);
    if (!next->download) {
      // Could not even start: it ends here as a failed download.
      PictData failed = std::move(*next);
      entries_.erase(next);
      if (hooks_.finished) hooks_.finished(failed.picture, failed.url, failed.target, false);
    }
  }
  starting_ = false;
}

}  // namespace picture
