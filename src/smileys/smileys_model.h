#pragma once
// The additional smileys window without its widgets: the index pane
// (`cindex`) and the picture pane (`msmiles`), clicks on them, and the
// refresh that downloads a new smiley list and stores it as csmile.dat.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "smileys/smiley_groups.h"
#include "http/text_download.h"

namespace media {

// What the smileys logic needs from its window.
class SmileysView {
 public:
  virtual ~SmileysView() = default;
  // Clears the index pane and adds `line`.
  virtual void ShowIndex(const std::string& line) = 0;
  // Clears the picture pane and adds `lines` (black on white).
  virtual void ShowPictures(const std::vector<std::string>& lines) = 0;
};

// What it needs from the main window.
class SmileysHost {
 public:
  virtual ~SmileysHost() = default;
  // The smiley table every pane uses, and its reload from csmile.dat.
  virtual const SmileyMap& SmileyTable() const = 0;
  virtual void ReloadSmileyTable() = 0;
  // Replaces the selection of the message line by `code`, caret after it.
  virtual void InsertIntoMessageLine(const std::string& code) = 0;
  virtual void CountTraffic(int64_t bytes) = 0;
  virtual void DownloadActivity() = 0;
};

struct SmileysSettings {
  std::string programDir;  // ends with "/"; holds csmile.dat
  std::string chatDir;     // ChatDir
  bool zipEnable = false;  // ZipEnable
};

std::string SmileysWindowCaption(bool russian);

class SmileysModel : private TextDownloadReceiver {
 public:
  SmileysModel(SmileysSettings settings, SmileysView& view, SmileysHost& host, TextDownloader& downloader);
  ~SmileysModel() override;
  SmileysModel(const SmileysModel&) = delete;
  SmileysModel& operator=(const SmileysModel&) = delete;

  // When the window is shown: the index, then group 0; with an empty
  // table the list is downloaded too.
  void Show();
  void ShowGroup(int group);

  // Links of the index pane ("read", a group number, "-1") and of the
  // picture pane (a picture number).
  void IndexLinkClicked(const std::string& target);
  void PictureLinkClicked(const std::string& target);

  // Downloads a fresh list; ignored while one is running.
  void Refresh();
  bool Downloading() const { return download_ != nullptr; }

 private:
  void DownloadProgress(int64_t bytes, int64_t total) override;
  void DownloadActivity() override;
  void DownloadDone(const std::string& body) override;
  void DownloadFailed() override;
  void ShowError();

  const SmileysSettings settings_;
  SmileysView& view_;
  SmileysHost& host_;
  TextDownloader& downloader_;
  std::unique_ptr<TextDownload> download_;
  bool fetchedWhenEmpty_ = false;
};

}  // namespace media
