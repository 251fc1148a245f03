#pragma once
// The one HTTP GET the archive viewer and the smileys window run at a time,
// seen from their logic: it is started through a TextDownloader, reports to
// a TextDownloadReceiver on the owner's thread, and is aborted by
// destroying it.  After Done or Failed nothing more arrives.  The receiver
// is never called from within Start, and it may destroy the download from
// within any of its calls.
#include <cstdint>
#include <memory>
#include <string>

namespace media {

class TextDownloadReceiver {
 public:
  virtual ~TextDownloadReceiver() = default;
  // Body bytes so far and the announced length, or -1 when unknown.
  virtual void DownloadProgress(int64_t bytes, int64_t total) = 0;
  // Bytes went over the wire (for the main window's traffic lamps).
  virtual void DownloadActivity() = 0;
  virtual void DownloadDone(const std::string& body) = 0;
  virtual void DownloadFailed() = 0;
};

class TextDownload {
 public:
  virtual ~TextDownload() = default;
};

class TextDownloader {
 public:
  virtual ~TextDownloader() = default;
  // Starts a GET of `url` (`gzip`: ask for a compressed body).  The
  // receiver must outlive the returned download.  Null when it could not
  // start at all; the receiver is then not called.
  virtual std::unique_ptr<TextDownload> Start(const std::string& url, bool gzip,
                                              TextDownloadReceiver& receiver) = 0;
};

}  // namespace media
