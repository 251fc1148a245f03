#pragma once
// DownloadQueue: the queue of picture downloads.  Entries keep their arrival
// order and at most five downloads run at once.  How a download is started
// is given from outside (http_loader.h starts real ones), so the queue
// itself is plain logic.
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>

namespace picture {

// A running download as the queue sees it; destroying it aborts it.
class RunningDownload {
 public:
  virtual ~RunningDownload() = default;
  virtual uint64_t Id() const = 0;
  virtual int64_t Bytes() const = 0;  // body size once finished
};

class DownloadQueue {
 public:
  static constexpr size_t kMaxRunning = 5;

  struct Hooks {
    // Starts fetching url into target; null when it could not be started.
    std::function<std::unique_ptr<RunningDownload>(const std::string& url, const std::string& target)>
        start;
    // A download ended (the entry is already gone); ok tells success.
    std::function<void(int picture, const std::string& url, const std::string& target, bool ok)>
        finished;
    // A URL was queued while already in the queue ("Повтор загрузки").
    std::function<void(const std::string& url)> duplicate;
  };

  struct PictData {
    std::string url;
    std::string target;
    int picture = 0;
    std::unique_ptr<RunningDownload> download;
  };

  explicit DownloadQueue(Hooks hooks) : hooks_(std::move(hooks)) {}
  ~DownloadQueue() { CancelAll(); }
  DownloadQueue(const DownloadQueue&) = delete;
  DownloadQueue& operator=(const DownloadQueue&) = delete;

  void Queue(int picture, const std::string& url, const std::string& target);
  // The final notice of download `id`; ids no entry knows are ignored.
  void Finished(uint64_t id, bool ok);
  // Drops the picture's entries, aborting a running download.
  void Cancel(int picture);
  void CancelAll();

  int64_t TrafficIn() const { return trafficIn_; }
  size_t Size() const { return entries_.size(); }
  size_t Running() const;
  const std::list<PictData>& Entries() const { return entries_; }

 private:
  void StartNext();

  Hooks hooks_;
  std::list<PictData> entries_;
  int64_t trafficIn_ = 0;
  bool starting_ = false;
};

}  // namespace picture
