#pragma once
// A TextDownloader for the viewer and smileys tests: it records what was
// started and lets the test deliver the download's reports.
#include <string>
#include <vector>

#include "http/text_download.h"

namespace testing_media {

class DownloadLog : public media::TextDownloader {
 public:
  struct Started {
    std::string url;
    bool gzip;
    media::TextDownloadReceiver* receiver;
  };
  std::vector<Started> started;
  int alive = 0;        // downloads not yet destroyed
  bool refuse = false;  // Start fails

  std::unique_ptr<media::TextDownload> Start(const std::string& url, bool gzip,
                                             media::TextDownloadReceiver& receiver) override {
    if (refuse) return nullptr;
    started.push_back({url, gzip, &receiver});
    return std::make_unique<Download>(alive);
  }
  media::TextDownloadReceiver& Receiver() const { return *started.back().receiver; }

 private:
  struct Download : media::TextDownload {
    explicit Download(int& alive) : alive_(alive) { ++alive_; }
    ~Download() override { --alive_; }
    int& alive_;
  };
};

}  // namespace testing_media
