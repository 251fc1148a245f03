#pragma once
// The archive viewer without its widgets: one viewer per archive number, 0
// the private archive private.arc (paged, filtered), 1..10 the service's
// public archives (downloaded whole, formatted, filtered).  The window
// builds its controls, forwards keys, link clicks, copies and the filter
// edit here, and shows what it is told through ArchiveViewerView.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "http/text_download.h"

namespace media {

class ArchivePages;

// What the viewer's logic needs from its window.
class ArchiveViewerView {
 public:
  virtual ~ArchiveViewerView() = default;
  // Clears the pane and adds `lines`, each with NewString(markup, colours),
  // showing their top (a page reached forward) or their bottom.
  virtual void ShowLines(const std::vector<ViewLine>& lines, bool fromTop) = 0;
  virtual void AddLine(const ViewLine& line) = 0;
  virtual void SetProgress(int percent) = 0;
  virtual void SetProgressVisible(bool visible) = 0;
  virtual void SetApplyEnabled(bool enabled) = 0;
  // A filtered page is being searched: the progress shows and the Apply
  // button stops the search.
  virtual void SetSearching(bool searching) = 0;
  // Calls the model's Continue from the event loop, soon.
  virtual void ContinueLater() = 0;
};

// What it needs from the main window.
class ArchiveViewerHost {
 public:
  virtual ~ArchiveViewerHost() = default;
  // A link of a public archive: the main window's link action.
  virtual void LinkAction(const std::string& target) = 0;
  // A link of the private archive: the private pane's link handler (it
  // also plays archived sounds, "::PlAr...").
  virtual void PrivateLink(const std::string& target) = 0;
  // Text copied from the pane goes into the message line.
  virtual void InsertIntoMessageLine(const std::string& text) = 0;
  virtual void CountTraffic(int64_t bytes) = 0;
  virtual void DownloadActivity() = 0;
  // Smiley and picture codes of received text (own = false).
  virtual std::string CodesToMarkup(const std::string& text) = 0;
};

// The settings a viewer reads when it is created.
struct ArchiveViewerSettings {
  std::string programDir;  // ends with "/"; holds private.arc
  int arcViewKb = 60;      // ArcView
  std::string chatDir;     // ChatDir, the service's scripts
  bool zipEnable = false;  // ZipEnable
  std::string userName;    // UserName
};

inline constexpr int kArchiveCount = 11;  // 0 private, 1..10 public

// The archive number of a top-right shortcut target ("0".."10").
std::optional<int> ArchiveNumberOf(const std::string& target);

// A viewer window for archive `number` is placed this many pixels right of
// and below its designed position, so open viewers do not cover each other.
inline int ArchiveWindowOffset(int number) { return 10 * number; }

// Captions, Windows-1251.
std::string ArchiveWindowCaption(int number, bool russian);
std::string ArchiveFilterCaption(bool russian);
std::string ArchiveApplyCaption(bool russian);

// The open viewer windows, at most one per archive number.
template <typename Window>
class ArchiveWindowList {
 public:
  Window* Find(int number) const {
    for (const auto& [n, w] : windows_)
      if (n == number) return w;
    return nullptr;
  }
  // False (and nothing changes) when `number` already has a window.
  bool Add(int number, Window* window) {
    if (Find(number)) return false;
    windows_.emplace_back(number, window);
    return true;
  }
  void Remove(const Window* window) {
    std::erase_if(windows_, [window](const auto& e) { return e.second == window; });
  }
  std::vector<Window*> All() const {
    std::vector<Window*> all;
    for (const auto& e : windows_) all.push_back(e.second);
    return all;
  }

 private:
  std::vector<std::pair<int, Window*>> windows_;
};

class ArchiveViewerModel : private TextDownloadReceiver {
 public:
  ArchiveViewerModel(int number, ArchiveViewerSettings settings, ArchiveViewerView& view,
                     ArchiveViewerHost& host, TextDownloader& downloader);
  ~ArchiveViewerModel() override;
  ArchiveViewerModel(const ArchiveViewerModel&) = delete;
  ArchiveViewerModel& operator=(const ArchiveViewerModel&) = delete;

  int Number() const { return number_; }
  bool IsPrivate() const { return number_ == 0; }
  bool Downloading() const { return download_ != nullptr; }

  // The load request posted when the window is shown, and the link
  // "Refresh this window": the last page of the private archive, or a new
  // download of the public one.
  void Load();

  // Ctrl+PgUp and Ctrl+PgDown.  True when the key is the viewer's (always
  // in the private archive, whether or not there was a page to go to; a
  // key during a search is ignored).
  bool PageUpKey();
  bool PageDownKey();

  // A link of the pane, delivered after the pane's walk over its lines.
  void LinkClicked(const std::string& target);
  // Text copied from the pane.
  void Copied(const std::string& text);

  // The filter edit changed; Apply pressed (or Enter in the filter) with its
  // text (Windows-1251).  Both archives are filtered here, the filter and
  // the lines folded with FoldForSearch (look-alike letters and case
  // ignored): the public pane is sent only its matching lines, so the
  // window sets no line filter of its own on the pane.  A search still
  // running gives way to the new one.
  void FilterEdited();
  void Apply(const std::string& filterText);

  // The private archive's search of a filtered page, and the formatting of
  // a downloaded public page, go on in slices from the event loop
  // (Continue); Stop ends the search with what it found.
  bool Searching() const;
  bool Formatting() const { return !page_.empty(); }
  void Continue();
  void StopSearch();

  // The private archive's pager (null for a public archive).
  const ArchivePages* Pages() const { return pages_.get(); }

 private:
  void DownloadProgress(int64_t bytes, int64_t total) override;
  void DownloadActivity() override;
  void DownloadDone(const std::string& body) override;
  void DownloadFailed() override;

  // Shows the page the pager has, or starts the search for it.
  void ShowPage(bool fromTop);
  void EndSearch();
  void AddPublic(const ViewLine& line);
  void ShowPublic();
  void FormatPageSlice();
  bool PassesFilter(const ViewLine& line) const;

  const int number_;
  const ArchiveViewerSettings settings_;
  ArchiveViewerView& view_;
  ArchiveViewerHost& host_;
  TextDownloader& downloader_;
  std::unique_ptr<ArchivePages> pages_;
  std::unique_ptr<TextDownload> download_;
  std::vector<ViewLine> publicLines_;  // everything the public pane holds
  std::string page_;                   // a downloaded page still being formatted
  size_t pageAt_ = 0;                  // how far
  std::string filter_;                 // folded
  bool pageFromTop_ = false;           // how the page being searched is shown
};

}  // namespace media
