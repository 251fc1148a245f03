#pragma once
// Paging through private.arc for the archive viewer: a page of about
// `pageBytes` bytes of whole lines, read from the file a page at a time, so
// the viewer's memory stays bounded by a few pages whatever the file's size.
// With a filter, a page collects about `pageBytes` bytes of matching lines,
// reading backward or forward from where the last page ended.  The file may
// grow (new private messages) or be trimmed while pages are shown.
//
// A filtered page may take a scan of the whole file.  By default a call
// scans to the end; after SetScanSlice a call only starts the scan, which
// ContinueScan takes on a slice at a time, so the window stays responsive
// and the user can stop it.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_format.h"

namespace media {

// Formats one stored line (without its line feed) for the pane.
using StoredLineFormatter = std::function<ViewLine(std::string_view)>;

class ArchivePages {
 public:
  // Page sizes outside 10..500 KB (ArcView) are brought into that range.
  static int64_t PageBytesOf(int arcViewKb);

  ArchivePages(std::string path, int64_t pageBytes, StoredLineFormatter format);

  // The last page of the file, unfiltered or filtered by the current filter.
  void ShowLast();
  // The previous or next page; false (nothing changes) when there is none.
  // The file's current size decides, so lines appended since the last page
  // can be reached.
  bool PageUp();
  bool PageDown();
  bool HasPrevious() const;
  bool HasNext() const;

  // Sets the filter (folded with FoldForSearch, look-alike letters and case
  // ignored; the lines are folded the same way before the comparison) and
  // shows the page that ends where the current one ends: the matching lines
  // before it, or with an empty filter the unfiltered page.
  void SetFilter(std::string_view filter);
  const std::string& Filter() const { return filter_; }

  // What the pane shows: the top marker, the lines, the bottom marker; or
  // the single line "Архив пуст..." for a missing or empty file.
  const std::vector<ViewLine>& Lines() const { return lines_; }

  // Byte offsets of the shown page, and how far its whole lines reach.
  int64_t PageStart() const { return pageStart_; }
  int64_t PageEnd() const { return pageEnd_; }
  int64_t ShownStart() const { return shownStart_; }
  int64_t ShownEnd() const { return shownEnd_; }

  // Bytes read from the file so far.
  uint64_t BytesRead() const { return bytesRead_; }

  // About `bytes` of the file per ContinueScan; 0 (the default) scans a
  // filtered page whole within the call that asks for it.
  void SetScanSlice(int64_t bytes) { scanSlice_ = bytes; }
  // A filtered page is being searched: Lines() still hold the last page.
  bool Scanning() const { return scan_.active; }
  // Searches on for about one slice; false once the page is complete.
  bool ContinueScan();
  // Ends the search where it stands: the page holds the lines found so far
  // and reaches as far as the search came, so paging on continues from there.
  void StopScan();
  // How far the running search has come, 0..100.
  int ScanPercent() const;

  // The marker lines.
  static ViewLine TopMarker(bool atStart);
  static ViewLine BottomMarker(bool atEnd);
  static ViewLine EmptyArchiveLine();

 private:
  class File;

  // A search for matching lines, backward from `end` or forward from
  // `start`; every line between `cursor` and the fixed end has been looked at.
  struct Scan {
    bool active = false;
    bool backward = true;
    int64_t start = 0, end = 0, cursor = 0, size = 0;
    int64_t shown = 0;  // bytes of the lines taken
    std::vector<ViewLine> found;  // newest first when backward
  };

  void ShowRange(int64_t a, int64_t b);  // unfiltered [a, b); -1, -1 is the last page
  void ShowMatchingBefore(int64_t b);    // filtered, backward; -1 is the end
  void ShowMatchingFrom(int64_t a);      // filtered, forward
  void ShowEmpty();
  // One stretch of the search; false when the page is complete.
  bool ScanBackward(File& file);
  bool ScanForward(File& file);
  void EndScan();
  // Calls `take(begin, end)` for each line of `bytes` (end after its line
  // feed, if any) that holds the filter, in file order.
  template <typename Take>
  void ForEachMatch(std::string_view bytes, Take take);
  // The lines matching the filter between the file offsets start and end.
  void ShowFilteredPage(int64_t start, int64_t end, int64_t size, std::vector<ViewLine> oldestFirst);
  int64_t CurrentSize() const;

  const std::string path_;
  const int64_t pageBytes_;
  const StoredLineFormatter format_;
  std::string filter_;  // folded
  std::string folded_;  // the stretch being searched, folded
  Scan scan_;
  int64_t scanSlice_ = 0;
  std::vector<ViewLine> lines_;
  int64_t pageStart_ = -1, pageEnd_ = -1;
  int64_t shownStart_ = 0, shownEnd_ = 0;
  bool empty_ = true;
  mutable uint64_t bytesRead_ = 0;
};

}  // namespace media
