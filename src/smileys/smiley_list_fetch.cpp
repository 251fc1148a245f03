#include "smileys/smiley_list_fetch.h"

#include "text/line_file.h"

namespace media {

bool NamesMissingSmiley(std::string_view markup) { return markup.find("<img src=>") != std::string_view::npos; }

bool StoreSmileyList(const std::string& programDir, const std::string& body) {
  // An error page must not wipe the table.
  return body.find('\xA6') != std::string::npos && text::ReplaceFileAtomically(programDir + "csmile.dat", body);
}

SmileyListFetch::SmileyListFetch(SmileysHost& host, TextDownloader& downloader, std::function<int64_t()> now)
    : host_(host), downloader_(downloader), now_(std::move(now)) {}

SmileyListFetch::~SmileyListFetch() = default;

void SmileyListFetch::LineShown(std::string_view markup, const SmileysSettings& settings) {
  if (download_ || !NamesMissingSmiley(markup)) return;
  const int64_t now = now_();
  // A failed or useless download waits its hour too: a server without the
  // list is not asked for it with every line.
  if (everStarted_ && now - lastStart_ < kIntervalSeconds && now >= lastStart_) return;
  everStarted_ = true;
  lastStart_ = now;
  ++started_;
  programDir_ = settings.programDir;
  download_ = downloader_.Start(settings.chatDir + "straf.cgi?gol=1", settings.zipEnable, *this);
}

void SmileyListFetch::DownloadProgress(int64_t, int64_t) {}

void SmileyListFetch::DownloadActivity() { host_.DownloadActivity(); }

void SmileyListFetch::DownloadDone(const std::string& body) {
  host_.CountTraffic(static_cast<int64_t>(body.size()));
  const bool stored = StoreSmileyList(programDir_, body);
  download_.reset();
  if (stored) host_.ReloadSmileyTable();
}

void SmileyListFetch::DownloadFailed() { download_.reset(); }

}  // namespace media
