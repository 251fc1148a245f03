#include <chrono>
#include "archive/archive_viewer_model.h"

#include "archive/archive_texts.h"
#include "archive/archive_pages.h"
#include "archive/private_archive.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "text/fold.h"

namespace media {
namespace {

// How much of private.arc one turn of the event loop searches.
constexpr int64_t kSearchSlice = 4 * 1024 * 1024;

constexpr const char* kRefreshTarget = "Refresh this window";
constexpr const char* kPageUpTarget = "Page Up";
constexpr const char* kPageDownTarget = "Page Down";

}  // namespace

std::optional<int> ArchiveNumberOf(const std::string& target) {
  const auto n = text::ParseInt(target);
  if (!n || *n < 0 || *n >= kArchiveCount || target.front() == '+' || target.front() == '-') return std::nullopt;
  return *n;
}

std::string ArchiveWindowCaption(int number, bool russian) {
  if (number == 0) return russian ? text::W("Архив привата") : "Private archive";
  return (russian ? text::W("Архив ") : std::string("Archive ")) + std::to_string(number);
}

std::string ArchiveFilterCaption(bool russian) { return russian ? text::W("Фильтр:") : "Filter:"; }
std::string ArchiveApplyCaption(bool russian) { return russian ? text::W("Применить") : "Apply"; }

ArchiveViewerModel::ArchiveViewerModel(int number, ArchiveViewerSettings settings, ArchiveViewerView& view,
                                       ArchiveViewerHost& host, TextDownloader& downloader)
    : number_(number), settings_(std::move(settings)), view_(view), host_(host), downloader_(downloader) {
  if (IsPrivate()) {
    pages_ = std::make_unique<ArchivePages>(
        ArchiveFilePath(settings_.programDir), ArchivePages::PageBytesOf(settings_.arcViewKb),
        [this](std::string_view line) {
          return FormatPrivateArchiveLine(line, [this](const std::string& t) { return host_.CodesToMarkup(t); });
        });
    pages_->SetScanSlice(kSearchSlice);
  }
}

ArchiveViewerModel::~ArchiveViewerModel() = default;

void ArchiveViewerModel::Load() {
  if (IsPrivate()) {
    pages_->ShowLast();
    ShowPage(false);
    return;
  }
  publicLines_.clear();
  std::string().swap(page_);  // a page still being formatted gives way too
  pageAt_ = 0;
  view_.ShowLines({}, false);
  view_.SetProgress(0);
  view_.SetProgressVisible(true);
  AddPublic({text::Shown(texts::kLoading)});
  download_.reset();  // a download still running is abandoned for the new one
  download_ = downloader_.Start(settings_.chatDir + "arx.cgi?arx=" + std::to_string(number_),
                                settings_.zipEnable, *this);
  if (!download_) DownloadFailed();
}

bool ArchiveViewerModel::PageUpKey() {
  if (!IsPrivate()) return false;
  if (!Searching() && pages_->PageUp()) ShowPage(false);
  return true;
}

bool ArchiveViewerModel::PageDownKey() {
  if (!IsPrivate()) return false;
  if (!Searching() && pages_->PageDown()) ShowPage(true);
  return true;
}

bool ArchiveViewerModel::Searching() const { return pages_ && pages_->Scanning(); }

void ArchiveViewerModel::ShowPage(bool fromTop) {
  if (!pages_->Scanning()) {
    view_.ShowLines(pages_->Lines(), fromTop);
    return;
  }
  pageFromTop_ = fromTop;
  view_.SetProgress(0);
  view_.SetSearching(true);
  view_.ContinueLater();
}

void ArchiveViewerModel::Continue() {
  if (Formatting()) return FormatPageSlice();
  if (!Searching()) return;
  if (pages_->ContinueScan()) {
    view_.SetProgress(pages_->ScanPercent());
    view_.ContinueLater();
    return;
  }
  EndSearch();
}

void ArchiveViewerModel::StopSearch() {
  if (!Searching()) return;
  pages_->StopScan();
  EndSearch();
}

void ArchiveViewerModel::EndSearch() {
  view_.SetSearching(false);
  view_.ShowLines(pages_->Lines(), pageFromTop_);
}

void ArchiveViewerModel::LinkClicked(const std::string& target) {
  if (target == kRefreshTarget) {
    Load();
  } else if (target == kPageUpTarget) {
    PageUpKey();
  } else if (target == kPageDownTarget) {
    PageDownKey();
  } else if (IsPrivate()) {
    host_.PrivateLink(target);
  } else {
    host_.LinkAction(target);
  }
}

void ArchiveViewerModel::Copied(const std::string& text) { host_.InsertIntoMessageLine(text); }

void ArchiveViewerModel::FilterEdited() { view_.SetApplyEnabled(true); }

void ArchiveViewerModel::Apply(const std::string& filterText) {
  view_.SetApplyEnabled(false);
  filter_ = text::FoldForSearch(filterText);
  if (IsPrivate()) {
    pages_->SetFilter(filterText);
    ShowPage(false);
  } else {
    ShowPublic();
  }
}

bool ArchiveViewerModel::PassesFilter(const ViewLine& line) const {
  return filter_.empty() || text::FoldForSearch(line.markup).find(filter_) != std::string::npos;
}

void ArchiveViewerModel::AddPublic(const ViewLine& line) {
  publicLines_.push_back(line);
  if (PassesFilter(line)) view_.AddLine(line);
}

void ArchiveViewerModel::ShowPublic() {
  std::vector<ViewLine> shown;
  for (const ViewLine& line : publicLines_)
    if (PassesFilter(line)) shown.push_back(line);
  view_.ShowLines(shown, false);
}

void ArchiveViewerModel::DownloadProgress(int64_t bytes, int64_t total) {
  if (total <= 0) return;
  view_.SetProgress(static_cast<int>(std::clamp<int64_t>(bytes * 100 / total, 0, 100)));
}

void ArchiveViewerModel::DownloadActivity() { host_.DownloadActivity(); }

void ArchiveViewerModel::DownloadDone(const std::string& body) {
  host_.CountTraffic(static_cast<int64_t>(body.size()));
  download_.reset();
  page_ = body;
  pageAt_ = 0;
  FormatPageSlice();
}

// A page of a few megabytes is tens of thousands of lines: they are
// formatted a slice at a time with a return to the event loop between
// slices, so the window (and the chat) stays responsive meanwhile.
void ArchiveViewerModel::FormatPageSlice() {
  constexpr auto kSlice = std::chrono::milliseconds(8);
  const auto until = std::chrono::steady_clock::now() + kSlice;
  const auto codes = [this](const std::string& t) { return host_.CodesToMarkup(t); };
  for (int n = 1; pageAt_ < page_.size(); ++n) {
    const size_t lf = page_.find('\n', pageAt_);
    const size_t end = lf == std::string::npos ? page_.size() : lf;
    const std::string_view line(page_.data() + pageAt_, end - pageAt_);
    pageAt_ = end == page_.size() ? end : end + 1;
    if (!line.empty() && line != "\r") AddPublic(FormatPublicArchiveLine(line, settings_.userName, codes));
    if (n % 64 == 0 && std::chrono::steady_clock::now() >= until) break;
  }
  if (pageAt_ < page_.size()) {
    view_.SetProgress(static_cast<int>(pageAt_ * 100 / page_.size()));
    view_.ContinueLater();
    return;
  }
  std::string().swap(page_);
  pageAt_ = 0;
  AddPublic({text::Shown(texts::kLoaded)});
  view_.SetProgressVisible(false);
}

void ArchiveViewerModel::DownloadFailed() {
  AddPublic({text::Shown(texts::kLoadFailed)});
  AddPublic({text::Shown(texts::kTryAgain) + kRefreshTarget + ">"});
  download_.reset();
  view_.SetProgress(0);
  view_.SetProgressVisible(false);
}

}  // namespace media
