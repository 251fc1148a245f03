#include "archive/archive_pages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string.h>
#include <utility>
#include <cerrno>
#include <iterator>

#include "archive/archive_texts.h"
#include "text/cp1251.h"
#include "text/fold.h"

namespace media {
namespace {

// How far around a page the unfiltered view first looks for the line
// feeds that make its edges whole lines.
constexpr int64_t kLookAround = 5000;
// Lines are followed beyond the page for at most this many bytes; a longer
// line is cut there.
constexpr int64_t kLineLimit = 256 * 1024;

// A filtered search reads at least this much at a time.
constexpr int64_t kScanStretch = 256 * 1024;

constexpr int kMinPageKb = 10;
constexpr int kMaxPageKb = 500;

// Calls `take` with every line of `bytes` (without its line feed) and the
// offsets where the line starts and where the next one starts.
template <typename Take>
void ForEachLine(std::string_view bytes, Take take) {
  size_t pos = 0;
  while (pos < bytes.size()) {
    const size_t lf = bytes.find('\n', pos);
    const size_t end = lf == std::string_view::npos ? bytes.size() : lf;
    const size_t next = lf == std::string_view::npos ? bytes.size() : lf + 1;
    take(bytes.substr(pos, end - pos));
    pos = next;
  }
}

}  // namespace

// private.arc opened for one page: reads count into the pager's total.
class ArchivePages::File {
 public:
  File(const std::string& path, uint64_t* counter) : counter_(counter) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd_ >= 0 && ::fstat(fd_, &st) == 0) size_ = static_cast<int64_t>(st.st_size);
  }
  ~File() {
    if (fd_ >= 0) ::close(fd_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  bool Open() const { return fd_ >= 0; }
  int64_t Size() const { return size_; }

  // Up to `length` bytes at `offset`; fewer at the end of the file.
  std::string Read(int64_t offset, int64_t length) const {
    std::string out;
    if (length <= 0 || offset < 0) return out;
    out.resize(static_cast<size_t>(length));
    size_t got = 0;
    while (got < out.size()) {
      ssize_t n = ::pread(fd_, out.data() + got, out.size() - got, offset + static_cast<int64_t>(got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    out.resize(got);
    *counter_ += got;
    return out;
  }

  // Start of the line that holds the byte before `pos`: just after the
  // last line feed before `pos`, 0 at the start of the file, or
  // pos - kLineLimit for a line too long to follow.
  int64_t LineStartBefore(int64_t pos) const {
    for (int64_t to = pos; to > 0 && pos - to < kLineLimit;) {
      const int64_t from = std::max<int64_t>({0, to - kLookAround, pos - kLineLimit});
      const std::string chunk = Read(from, to - from);
      const size_t lf = chunk.rfind('\n');
      if (lf != std::string::npos) return from + static_cast<int64_t>(lf) + 1;
      if (chunk.size() < static_cast<size_t>(to - from)) return from;  // the file shrank
      to = from;
    }
    return pos <= kLineLimit ? 0 : pos - kLineLimit;
  }

  // Just after the first line feed at or after `pos`, the end of the file,
  // or pos + kLineLimit for a line too long to follow.
  int64_t LineEndFrom(int64_t pos) const {
    for (int64_t from = pos; from < size_ && from - pos < kLineLimit;) {
      const int64_t to = std::min({size_, from + kLookAround, pos + kLineLimit});
      const std::string chunk = Read(from, to - from);
      const size_t lf = chunk.find('\n');
      if (lf != std::string::npos) return from + static_cast<int64_t>(lf) + 1;
      if (chunk.size() < static_cast<size_t>(to - from)) return from + static_cast<int64_t>(chunk.size());
      from = to;
    }
    return std::min(size_, pos + kLineLimit);
  }

 private:
  int fd_ = -1;
  int64_t size_ = 0;
  uint64_t* counter_;
};

int64_t ArchivePages::PageBytesOf(int arcViewKb) {
  return static_cast<int64_t>(std::clamp(arcViewKb, kMinPageKb, kMaxPageKb)) * 1024;
}

ArchivePages::ArchivePages(std::string path, int64_t pageBytes, StoredLineFormatter format)
    : path_(std::move(path)), pageBytes_(std::max<int64_t>(pageBytes, 1)), format_(std::move(format)) {}

ViewLine ArchivePages::TopMarker(bool atStart) {
  return {text::Shown(atStart ? texts::kArchiveStart : texts::kPageUpMarker)};
}

ViewLine ArchivePages::BottomMarker(bool atEnd) {
  return {text::Shown(atEnd ? texts::kArchiveEnd : texts::kPageDownMarker)};
}

ViewLine ArchivePages::EmptyArchiveLine() { return {text::Shown(texts::kArchiveEmpty)}; }

int64_t ArchivePages::CurrentSize() const {
  struct stat st;
  return ::stat(path_.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
}

bool ArchivePages::HasPrevious() const { return !empty_ && shownStart_ > 0; }
bool ArchivePages::HasNext() const { return shownEnd_ < CurrentSize(); }

void ArchivePages::ShowEmpty() {
  lines_ = {EmptyArchiveLine()};
  pageStart_ = pageEnd_ = shownStart_ = shownEnd_ = 0;
  empty_ = true;
}

void ArchivePages::ShowLast() {
  if (filter_.empty())
    ShowRange(-1, -1);
  else
    ShowMatchingBefore(-1);
}

bool ArchivePages::PageUp() {
  if (!HasPrevious()) return false;
  if (filter_.empty())
    ShowRange(pageStart_ - pageBytes_, pageStart_);
  else
    ShowMatchingBefore(pageStart_);
  return true;
}

bool ArchivePages::PageDown() {
  if (!HasNext()) return false;
  if (filter_.empty())
    ShowRange(pageEnd_, pageEnd_ + pageBytes_);
  else
    ShowMatchingFrom(pageEnd_);
  return true;
}

void ArchivePages::SetFilter(std::string_view filter) {
  scan_ = Scan{};
  filter_ = text::FoldForSearch(filter);
  const int64_t end = empty_ ? -1 : shownEnd_;
  if (!filter_.empty())
    ShowMatchingBefore(end);
  else if (end < 0)
    ShowRange(-1, -1);
  else
    ShowRange(end - pageBytes_, end);
}

void ArchivePages::ShowRange(int64_t a, int64_t b) {
  File file(path_, &bytesRead_);
  const int64_t size = file.Size();
  if (!file.Open() || size == 0) return ShowEmpty();
  if (a < 0 && b < 0) {
    a = size - pageBytes_;
    b = size;
  }
  if (size < b) {
    if (a >= size) a = size - pageBytes_;
    b = size;
  }
  if (a < 0) a = 0;
  pageStart_ = a;
  pageEnd_ = b;

  // One read covers the page and a little around it, which is where the
  // line feeds of its edges normally are.
  const int64_t before = std::min(a, kLookAround);
  const int64_t after = std::min(size - b, kLookAround);
  const int64_t base = a - before;
  std::string bytes = file.Read(base, b + after - base);
  const int64_t bytesEnd = base + static_cast<int64_t>(bytes.size());

  int64_t start;
  const size_t lfBefore = before > 0 ? bytes.rfind('\n', static_cast<size_t>(before - 1)) : std::string::npos;
  if (lfBefore != std::string::npos)
    start = base + static_cast<int64_t>(lfBefore) + 1;
  else
    start = base == 0 ? 0 : file.LineStartBefore(base);

  int64_t end;
  const size_t lfAfter = bytes.find('\n', static_cast<size_t>(b - 1 - base));
  if (lfAfter != std::string::npos)
    end = base + static_cast<int64_t>(lfAfter) + 1;
  else
    end = bytesEnd >= size ? bytesEnd : file.LineEndFrom(bytesEnd);

  if (start >= base && end <= bytesEnd) {
    bytes = bytes.substr(static_cast<size_t>(start - base), static_cast<size_t>(end - start));
  } else {  // a line longer than the look-around: read its whole extent
    bytes = file.Read(start, end - start);
    end = start + static_cast<int64_t>(bytes.size());
  }

  empty_ = false;
  shownStart_ = start;
  shownEnd_ = end;
  lines_.clear();
  lines_.push_back(TopMarker(start == 0));
  ForEachLine(bytes, [this](std::string_view line) {
    if (!line.empty()) lines_.push_back(format_(line));
  });
  lines_.push_back(BottomMarker(end >= size));
}

void ArchivePages::ShowMatchingBefore(int64_t b) {
  File file(path_, &bytesRead_);
  const int64_t size = file.Size();
  if (!file.Open() || size == 0) return ShowEmpty();
  if (b < 0 || b > size) b = size;
  if (b > 0) b = file.LineEndFrom(b - 1);  // the page ends with a whole line
  scan_ = Scan{true, true, b, b, b, size, 0, {}};
  if (scanSlice_ <= 0)
    while (ScanBackward(file)) {
    }
}

void ArchivePages::ShowMatchingFrom(int64_t a) {
  File file(path_, &bytesRead_);
  const int64_t size = file.Size();
  if (!file.Open() || size == 0) return ShowEmpty();
  a = file.LineStartBefore(std::clamp<int64_t>(a, 0, size));  // the page starts with a whole line
  scan_ = Scan{true, false, a, a, a, size, 0, {}};
  if (scanSlice_ <= 0)
    while (ScanForward(file)) {
    }
}

bool ArchivePages::ContinueScan() {
  if (!scan_.active) return false;
  File file(path_, &bytesRead_);
  if (!file.Open()) {
    EndScan();
    return false;
  }
  const uint64_t before = bytesRead_;
  while (scan_.active && bytesRead_ - before < static_cast<uint64_t>(std::max<int64_t>(scanSlice_, 1))) {
    if (!(scan_.backward ? ScanBackward(file) : ScanForward(file))) break;
  }
  return scan_.active;
}

void ArchivePages::StopScan() {
  if (scan_.active) EndScan();
}

int ArchivePages::ScanPercent() const {
  if (!scan_.active) return 100;
  const int64_t total = scan_.backward ? scan_.end : scan_.size - scan_.start;
  const int64_t done = scan_.backward ? scan_.end - scan_.cursor : scan_.cursor - scan_.start;
  return total <= 0 ? 100 : static_cast<int>(std::clamp<int64_t>(done * 100 / total, 0, 100));
}

template <typename Take>
void ArchivePages::ForEachMatch(std::string_view bytes, Take take) {
  // A filter with a line feed can never lie within one line.
  if (filter_.empty() || filter_.find('\n') != std::string::npos) return;
  folded_.resize(bytes.size());
  text::FoldForSearch(bytes.data(), bytes.size(), folded_.data());
  const char* base = folded_.data();
  size_t from = 0;
  while (from < bytes.size()) {
    const void* hit = ::memmem(base + from, bytes.size() - from, filter_.data(), filter_.size());
    if (!hit) break;
    const size_t at = static_cast<size_t>(static_cast<const char*>(hit) - base);
    const size_t lf = bytes.rfind('\n', at);
    const size_t begin = lf == std::string_view::npos || lf < from ? from : lf + 1;
    const size_t next = bytes.find('\n', at);
    const size_t end = next == std::string_view::npos ? bytes.size() : next + 1;
    take(begin, end);
    from = end;
  }
}

// The lines that start within the stretch before the cursor; the one
// crossing the stretch's start is read whole with the next stretch.
bool ArchivePages::ScanBackward(File& file) {
  Scan& s = scan_;
  if (s.shown >= pageBytes_ || s.cursor <= 0) {
    EndScan();
    return false;
  }
  const int64_t stretch = std::max<int64_t>(pageBytes_, kScanStretch);
  const int64_t from = std::max<int64_t>(0, s.cursor - stretch);
  int64_t lineStart = 0;
  std::string bytes;
  if (from == 0) {
    bytes = file.Read(0, s.cursor);
  } else {
    bytes = file.Read(from - 1, s.cursor - from + 1);
    const size_t lf = bytes.find('\n');
    if (lf != std::string::npos && from + static_cast<int64_t>(lf) < s.cursor) {
      lineStart = from + static_cast<int64_t>(lf);
      bytes.erase(0, lf + 1);
    } else {  // one line longer than the stretch
      lineStart = file.LineStartBefore(from);
      bytes = file.Read(lineStart, s.cursor - lineStart);
    }
  }
  if (bytes.empty()) {  // the file shrank under us
    EndScan();
    return false;
  }
  std::vector<std::pair<size_t, size_t>> matches;
  ForEachMatch(bytes, [&](size_t begin, size_t end) { matches.emplace_back(begin, end); });
  s.cursor = lineStart;
  for (auto m = matches.rbegin(); m != matches.rend(); ++m) {
    std::string_view line(bytes.data() + m->first, m->second - m->first);
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    s.found.push_back(format_(line));
    s.shown += static_cast<int64_t>(m->second - m->first);
    if (s.shown >= pageBytes_) {
      s.cursor = lineStart + static_cast<int64_t>(m->first);
      break;
    }
  }
  return true;
}

bool ArchivePages::ScanForward(File& file) {
  Scan& s = scan_;
  if (s.shown >= pageBytes_ || s.cursor >= s.size) {
    EndScan();
    return false;
  }
  const int64_t stretch = std::max<int64_t>(pageBytes_, kScanStretch);
  std::string bytes = file.Read(s.cursor, std::min(s.size, s.cursor + stretch) - s.cursor);
  if (bytes.empty()) {  // the file shrank under us
    EndScan();
    return false;
  }
  if (s.cursor + static_cast<int64_t>(bytes.size()) < s.size) {
    // The line crossing the stretch's end is read whole with the next one.
    const size_t lf = bytes.rfind('\n');
    if (lf != std::string::npos)
      bytes.resize(lf + 1);
    else  // one line longer than the stretch
      bytes = file.Read(s.cursor, file.LineEndFrom(s.cursor + static_cast<int64_t>(bytes.size())) - s.cursor);
  }
  const int64_t base = s.cursor;
  s.cursor = base + static_cast<int64_t>(bytes.size());
  bool full = false;
  ForEachMatch(bytes, [&](size_t begin, size_t end) {
    if (full) return;
    std::string_view line(bytes.data() + begin, end - begin);
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    s.found.push_back(format_(line));
    s.shown += static_cast<int64_t>(end - begin);
    if (s.shown >= pageBytes_) {
      s.cursor = base + static_cast<int64_t>(end);
      full = true;
    }
  });
  return true;
}

void ArchivePages::EndScan() {
  Scan s = std::move(scan_);
  scan_ = Scan{};
  if (s.backward)
    ShowFilteredPage(s.cursor, s.end, s.size, {s.found.rbegin(), s.found.rend()});
  else
    ShowFilteredPage(s.start, s.cursor, s.size, std::move(s.found));
}

void ArchivePages::ShowFilteredPage(int64_t start, int64_t end, int64_t size, std::vector<ViewLine> oldestFirst) {
  empty_ = false;
  pageStart_ = shownStart_ = start;
  pageEnd_ = shownEnd_ = end;
  lines_.clear();
  lines_.push_back(TopMarker(start == 0));
  lines_.insert(lines_.end(), std::make_move_iterator(oldestFirst.begin()), std::make_move_iterator(oldestFirst.end()));
  lines_.push_back(BottomMarker(end >= size));
}

}  // namespace media
