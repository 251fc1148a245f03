#pragma once
// MediaWindows: opens the archive viewers (the top-right shortcuts 0..10)
// and the additional smileys window (the "Additional" button) for the main
// window, and serves them as their host: link actions, the message line,
// the traffic counters and the smiley table.
#include <functional>
#include <memory>
#include <string>

#include "archive/archive_viewer_model.h"
#include "smileys/smileys_model.h"

class QObject;

namespace media {
class HttpTextDownloader;
}

namespace window {

class ChatSession;
struct LineEdit;

// How the controller reaches the main window's message line.
struct MessageLineAccess {
  std::function<LineEdit()> state;
  std::function<void(const LineEdit&)> apply;
};

class MediaWindows : private media::ArchiveViewerHost, private media::SmileysHost {
 public:
  // `context` runs the downloads' reports; it must outlive this object.
  MediaWindows(ChatSession& session, MessageLineAccess line, QObject* context);
  ~MediaWindows() override;

  // A top-right link: true when it named an archive (and the viewer opened).
  bool OpenArchiveLink(const std::string& target);
  void OpenArchive(int number);
  void OpenSmileys();
  // The main window closes: every viewer and the smileys window go.
  void CloseAll();

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

  ChatSession& session_;
  MessageLineAccess line_;
  std::unique_ptr<media::HttpTextDownloader> http_;
  media::TextDownloader* downloader_;
};

}  // namespace window
