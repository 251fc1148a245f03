#include "archive/archive_pages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>

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
  return {atStart ? text::W("<b>--- Начало архива ---</b>")
                  : text::W("<b><link=\"--- Листать вверх (Ctrl+PgUp) ---\"Page Up></b>")};
}

ViewLine ArchivePages::BottomMarker(bool atEnd) {
  return {atEnd ? text::W("<b>--- Конец архива ---</b>")
                : text::W("<b><link=\"--- Листать вниз (Ctrl+PgDown)---\"Page Down></b>")};
}

ViewLine ArchivePages::EmptyArchiveLine() { return {text::W("Архив пуст...")}; }

int64_t ArchivePages::CurrentSize() const {
  struct stat st;
  return ::stat(path_.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
}

bool ArchivePages::HasPrevious() const { return !empty_ && shownStart_ > 0; }
bool ArchivePages::HasNext() const { return shownEnd_ < CurrentSize(); }

bool ArchivePages::Matches(std::string_view line) const {
  return text::FoldLookAlikes(line).find(filter_) != std::string::npos;
}

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
  filter_ = text::FoldLookAlikes(filter);
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

  std::vector<ViewLine> newestFirst;
  int64_t cursor = b;  // every line from here on is examined
  int64_t shown = 0;
  while (shown < pageBytes_ && cursor > 0) {
    // The lines that start within the page-sized stretch before the
    // cursor; the one crossing its start is read whole with the next one.
    const int64_t from = std::max<int64_t>(0, cursor - pageBytes_);
    int64_t lineStart = 0;
    std::string bytes;
    if (from == 0) {
      bytes = file.Read(0, cursor);
    } else {
      bytes = file.Read(from - 1, cursor - from + 1);
      const size_t lf = bytes.find('\n');
      if (lf != std::string::npos && from + static_cast<int64_t>(lf) < cursor) {
        lineStart = from + static_cast<int64_t>(lf);
        bytes.erase(0, lf + 1);
      } else {  // one line longer than the stretch
        lineStart = file.LineStartBefore(from);
        bytes = file.Read(lineStart, cursor - lineStart);
      }
    }
    if (bytes.empty()) break;  // the file shrank under us

    size_t end = bytes.size();
    while (end > 0 && shown < pageBytes_) {
      const size_t lf = end >= 2 ? bytes.rfind('\n', end - 2) : std::string::npos;
      const size_t begin = lf == std::string::npos ? 0 : lf + 1;
      std::string_view line(bytes.data() + begin, end - begin);
      if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
      if (!line.empty() && Matches(line)) {
        newestFirst.push_back(format_(line));
        shown += static_cast<int64_t>(end - begin);
      }
      cursor = lineStart + static_cast<int64_t>(begin);
      end = begin;
    }
  }

  ShowFilteredPage(cursor, b, size, {newestFirst.rbegin(), newestFirst.rend()});
}

void ArchivePages::ShowMatchingFrom(int64_t a) {
  File file(path_, &bytesRead_);
  const int64_t size = file.Size();
  if (!file.Open() || size == 0) return ShowEmpty();
  a = file.LineStartBefore(std::clamp<int64_t>(a, 0, size));  // the page starts with a whole line

  std::vector<ViewLine> taken;
  int64_t cursor = a;  // every line before this is examined
  int64_t shown = 0;
  while (shown < pageBytes_ && cursor < size) {
    std::string bytes = file.Read(cursor, std::min(size, cursor + pageBytes_) - cursor);
    if (bytes.empty()) break;  // the file shrank under us
    if (cursor + static_cast<int64_t>(bytes.size()) < size) {
      // The line crossing the stretch's end is read whole with the next one.
      const size_t lf = bytes.rfind('\n');
      if (lf != std::string::npos)
        bytes.resize(lf + 1);
      else  // one line longer than the stretch
        bytes = file.Read(cursor, file.LineEndFrom(cursor + static_cast<int64_t>(bytes.size())) - cursor);
    }
    const int64_t base = cursor;
    size_t begin = 0;
    while (begin < bytes.size() && shown < pageBytes_) {
      const size_t lf = bytes.find('\n', begin);
      const size_t next = lf == std::string::npos ? bytes.size() : lf + 1;
      const std::string_view line(bytes.data() + begin, (lf == std::string::npos ? bytes.size() : lf) - begin);
      if (!line.empty() && Matches(line)) {
        taken.push_back(format_(line));
        shown += static_cast<int64_t>(next - begin);
      }
      cursor = base + static_cast<int64_t>(next);
      begin = next;
    }
  }

  ShowFilteredPage(a, cursor, size, std::move(taken));
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
