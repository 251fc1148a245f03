#pragma once
// The viewer's and the smileys window's downloads over the program's HTTP
// client: each runs on its own thread and reports on the thread of the
// given context object.
#include "http/text_download.h"

class QObject;

namespace media {

class HttpTextDownloader : public TextDownloader {
 public:
  // Reports run on `context`'s thread; it must outlive every download.
  explicit HttpTextDownloader(QObject* context) : context_(context) {}
  std::unique_ptr<TextDownload> Start(const std::string& url, bool gzip, TextDownloadReceiver& receiver) override;

 private:
  QObject* context_;
};

}  // namespace media
