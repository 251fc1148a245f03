#pragma once
// MediaWindows: opens the archive viewers (the top-right shortcuts 0..10)
// and the additional smileys window (the "Additional" button) for the main
// window, and serves them as their host: link actions, the message line,
// the traffic counters and the smiley table.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "archive/archive_viewer_model.h"
#include "smileys/smileys_model.h"

class QObject;

namespace markup {
class MarkupDocument;
}
namespace media {
class HttpTextDownloader;
class SmileyListFetch;
}

namespace window {

class ChatServices;
struct LineEdit;

// How the windows reach the main window's message line: its state, a new
// state, and the chat's link actions on it (a link of the archive viewer
// acts as the same link in the common or, `privatePane`, the private pane).
struct MessageLineAccess {
  std::function<LineEdit()> state;
  std::function<void(const LineEdit&)> apply;
  std::function<void(const std::string& target, bool privatePane, bool shift)> link;
};

class MediaWindows : private media::ArchiveViewerHost, private media::SmileysHost {
 public:
  // `context` runs the downloads' reports; it must outlive this object.
  // `countTraffic` adds downloaded bytes to the traffic lamps.
  MediaWindows(ChatServices& chat, MessageLineAccess line, std::function<void(uint32_t bytes)> countTraffic,
               QObject* context);
  ~MediaWindows() override;

  // A top-right link: true when it named an archive (and the viewer opened).
  bool OpenArchiveLink(const std::string& target);
  void OpenArchive(int number);
  void OpenSmileys();
  // The main window closes: every viewer and the smileys window go.
  void CloseAll();
  // Lines first .. first + count - 1 of the common pane were added: one
  // with a smiley the table lacks fetches the list (at most hourly).
  void PublicLinesShown(const markup::MarkupDocument& pane, int first, int count);
  const media::SmileyListFetch& ListFetch() const { return *listFetch_; }

  // Where the downloads go; tests point them at a local server.
  void SetDownloader(media::TextDownloader* downloader) { downloader_ = downloader; }

 private:
  // ArchiveViewerHost
  void LinkAction(const std::string& target) override;
  void PrivateLink(const std::string& target) override;
  void InsertIntoMessageLine(const std::string& text) override;
  void CountTraffic(int64_t bytes) override;
  void DownloadActivity() override;
  std::string CodesToMarkup(const std::string& text) override;
  // SmileysHost
  const media::SmileyMap& SmileyTable() const override;
  void ReloadSmileyTable() override;

  ChatServices& chat_;
  MessageLineAccess line_;
  std::function<void(uint32_t bytes)> countTraffic_;
  std::unique_ptr<media::HttpTextDownloader> http_;
  media::TextDownloader* downloader_;
  std::unique_ptr<media::TextDownloader> forward_;
  std::unique_ptr<media::SmileyListFetch> listFetch_;
};

}  // namespace window
