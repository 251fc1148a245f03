#pragma once
// Paging through private.arc for the archive viewer: a page of about
// `pageBytes` bytes of whole lines, read from the file a page at a time, so
// the viewer's memory stays bounded by a few pages whatever the file's size.
// With a filter, a page collects about `pageBytes` bytes of matching lines,
// reading backward or forward from where the last page ended.  The file may
// grow (new private messages) or be trimmed while pages are shown.
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

  // Sets the filter (folded with FoldLookAlikes; the lines are folded the
  // same way before the comparison) and shows the page that ends where the
  // current one ends: the matching lines before it, or with an empty
  // filter the unfiltered page.
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

  // The marker lines.
  static ViewLine TopMarker(bool atStart);
  static ViewLine BottomMarker(bool atEnd);
  static ViewLine EmptyArchiveLine();

 private:
  class File;

  void ShowRange(int64_t a, int64_t b);  // unfiltered [a, b); -1, -1 is the last page
  void ShowMatchingBefore(int64_t b);    // filtered, backward; -1 is the end
  void ShowMatchingFrom(int64_t a);      // filtered, forward
  void ShowEmpty();
  // The lines matching the filter between the file offsets start and end.
  void ShowFilteredPage(int64_t start, int64_t end, int64_t size, std::vector<ViewLine> oldestFirst);
  bool Matches(std::string_view line) const;
  int64_t CurrentSize() const;

  const std::string path_;
  const int64_t pageBytes_;
  const StoredLineFormatter format_;
  std::string filter_;  // folded
  std::vector<ViewLine> lines_;
  int64_t pageStart_ = -1, pageEnd_ = -1;
  int64_t shownStart_ = 0, shownEnd_ = 0;
  bool empty_ = true;
  mutable uint64_t bytesRead_ = 0;
};

}  // namespace media
