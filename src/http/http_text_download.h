#pragma once
// The viewer's and the smileys window's downloads over the program's HTTP
// client: each runs on its own thread and reports on the thread of the
// given context object.
#include <cstdint>

#include "http/text_download.h"

class QObject;

namespace media {

// What one page a server sends may cost: a body above `maxBytes`, or a
// download not done within `deadlineMs` in all, fails.
struct TextLimits {
  int64_t maxBytes = int64_t(4) << 20;
  int deadlineMs = 30'000;
};

class HttpTextDownloader : public TextDownloader {
 public:
  // Reports run on `context`'s thread; it must outlive every download.
  explicit HttpTextDownloader(QObject* context, TextLimits limits = {}) : context_(context), limits_(limits) {}
  std::unique_ptr<TextDownload> Start(const std::string& url, bool gzip, TextDownloadReceiver& receiver) override;

 private:
  QObject* context_;
  TextLimits limits_;
};

}  // namespace media
