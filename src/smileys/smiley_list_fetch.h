#pragma once
// Fetching the smiley list by itself: a shown line with an additional
// smiley the local table lacks (it shows as an empty picture) makes the
// client download the list once, at most once an hour, store it as
// csmile.dat and load the table again, so the next lines show the pictures.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "http/text_download.h"
#include "smileys/smileys_model.h"

namespace media {

// Whether `markup` holds a smiley code that had no table entry: the code
// conversion leaves "<img src=>" for it.
bool NamesMissingSmiley(std::string_view markup);

// Stores a downloaded smiley list as csmile.dat in `programDir`: only a
// body that looks like one (it holds a "¦") replaces the file.  False when
// nothing was stored.
bool StoreSmileyList(const std::string& programDir, const std::string& body);

class SmileyListFetch : private TextDownloadReceiver {
 public:
  static constexpr int64_t kIntervalSeconds = 3600;
  // `now` gives seconds; the host reloads the table after a good list.
  SmileyListFetch(SmileysHost& host, TextDownloader& downloader, std::function<int64_t()> now);
  ~SmileyListFetch() override;
  SmileyListFetch(const SmileyListFetch&) = delete;
  SmileyListFetch& operator=(const SmileyListFetch&) = delete;

  // A line was shown; starts the download when it names a missing smiley,
  // none runs and the last one started an hour ago or more.
  void LineShown(std::string_view markup, const SmileysSettings& settings);
  bool Downloading() const { return download_ != nullptr; }
  int Started() const { return started_; }

 private:
  void DownloadProgress(int64_t bytes, int64_t total) override;
  void DownloadActivity() override;
  void DownloadDone(const std::string& body) override;
  void DownloadFailed() override;

  SmileysHost& host_;
  TextDownloader& downloader_;
  std::function<int64_t()> now_;
  std::unique_ptr<TextDownload> download_;
  std::string programDir_;
  bool everStarted_ = false;
  int64_t lastStart_ = 0;
  int started_ = 0;
};

}  // namespace media
