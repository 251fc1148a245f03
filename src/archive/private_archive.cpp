#include "archive/private_archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLocale>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "settings/settings.h"
#include "text/cp1251.h"
#include "text/line_file.h"

namespace media {
namespace {

constexpr char kBrokenBar = '\xA6';

// A trim keeps the file from the first line start after this offset...
constexpr int64_t kTrimOffset = 500000;
// ...looked for within this many bytes; without one the cut is blind.
constexpr int64_t kTrimSearch = 5000;
// The trim copies through a buffer of this size.
constexpr int64_t kCopyPiece = 100000;
// The state-picture patch reads the file from its end in windows this big.
constexpr int64_t kPatchWindow = 10000;

constexpr int64_t kMegabyte = 1048576;

std::string CannotOpenText() { return text::W("Не могу открыть файл архива привата для записи"); }
std::string CannotTrimText() { return text::W("Не могу уменьшить размер файла привата"); }
std::string CannotReopenText() { return text::W("Не могу открыть уменьшенный файл привата"); }

void Report(const ArchiveTrace& trace, const std::string& message) {
  if (trace) trace(message);
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::string_view CheckedColor(std::string_view color, std::string_view fallback) {
  if (color.size() != 7 || color[0] != '#') return fallback;
  if (!std::all_of(color.begin() + 1, color.end(), IsHexDigit)) return fallback;
  return color;
}

bool WriteAllAt(int fd, std::string_view data, int64_t offset) {
  while (!data.empty()) {
    ssize_t n = ::pwrite(fd, data.data(), data.size(), offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<size_t>(n));
    offset += n;
  }
  return true;
}

// Reads up to `length` bytes at `offset`; fewer only at the end of the file.
bool ReadAt(int fd, int64_t offset, int64_t length, std::string* out) {
  out->resize(static_cast<size_t>(length));
  size_t got = 0;
  while (got < out->size()) {
    ssize_t n = ::pread(fd, out->data() + got, out->size() - got, offset + static_cast<int64_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  out->resize(got);
  return true;
}

// Opens the archive for appending; a file without any write permission bit
// counts as write-protected even for a user the system would let through.
int OpenArchive(const std::string& path) {
  if (text::IsReadOnlyFile(path)) return -1;
  return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
}

// Where a trim cuts the file: after the first line feed within kTrimSearch
// bytes from kTrimOffset, else right after that stretch.  -1 on a read error.
int64_t TrimCutPoint(int fd) {
  std::string probe;
  if (!ReadAt(fd, kTrimOffset, kTrimSearch, &probe)) return -1;
  size_t lf = probe.find('\n');
  return lf == std::string::npos ? kTrimOffset + kTrimSearch + 1
                                 : kTrimOffset + static_cast<int64_t>(lf) + 1;
}

// Copies `fd` from `cut` to its end into `copyPath` and puts the copy in the
// archive's place.  Returns the descriptor to append to: `fd` itself when
// the trim was skipped or failed (the archive is then as it was), a new one
// for the trimmed file, or -1 when that could not be opened.
int Trim(int fd, int64_t size, const std::string& path, const std::string& copyPath,
         const ArchiveTrace& trace) {
  const int64_t cut = TrimCutPoint(fd);
  if (cut < 0 || cut >= size) return fd;  // nothing would be left: keep the file

  struct stat st;
  mode_t mode = ::fstat(fd, &st) == 0 ? (st.st_mode & 07777) : 0644;
  int copy = text::IsReadOnlyFile(copyPath)
                 ? -1
                 : ::open(copyPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (copy < 0) {
    Report(trace, CannotTrimText());
    return fd;
  }
  bool ok = true;
  std::string piece;
  for (int64_t from = cut, to = 0; ok;) {
    ok = ReadAt(fd, from, kCopyPiece, &piece) && WriteAllAt(copy, piece, to);
    if (static_cast<int64_t>(piece.size()) < kCopyPiece) break;
    from += kCopyPiece;
    to += kCopyPiece;
  }
  ok = ok && ::fsync(copy) == 0;
  ok = (::close(copy) == 0) && ok;
  // The old archive stays until its replacement is complete: one rename.
  if (!ok || ::rename(copyPath.c_str(), path.c_str()) != 0) {
    ::unlink(copyPath.c_str());
    Report(trace, CannotTrimText());
    return fd;
  }
  ::close(fd);
  int trimmed = OpenArchive(path);
  if (trimmed < 0) Report(trace, CannotReopenText());
  return trimmed;
}

}  // namespace

std::string ArchiveFilePath(const std::string& programDir) { return programDir + "private.arc"; }
std::string ArchiveCopyPath(const std::string& programDir) { return programDir + "privatecopy.arc"; }

std::string ArchiveTimeStamp(const std::tm& local) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%02d.%02d.%02d %02d.%02d.%02d", local.tm_mday,
                local.tm_mon + 1, (local.tm_year + 1900) % 100, local.tm_hour, local.tm_min,
                local.tm_sec);
  const int weekday = local.tm_wday == 0 ? 7 : local.tm_wday;  // Monday is 1
  QString day = QLocale::system().dayName(weekday, QLocale::ShortFormat);
  return std::string(digits) + " (" + text::Utf8ToCp1251(day.toStdString()) + ")";
}

std::string ArchiveLineText(std::string_view line, const std::tm& local) {
  std::string_view background = "#ffffff", foreground = "#000000", entry = line;
  size_t first = line.find('|');
  size_t second = first == std::string_view::npos ? first : line.find('|', first + 1);
  if (second != std::string_view::npos) {
    background = CheckedColor(line.substr(0, first), background);
    foreground = CheckedColor(line.substr(first + 1, second - first - 1), foreground);
    entry = line.substr(second + 1);
  }
  std::string out = ArchiveTimeStamp(local);
  out += '|';
  out += background;
  out += '|';
  out += foreground;
  out += '|';
  out += entry;
  for (char& c : out) {
    if (c == '|') c = kBrokenBar;
    else if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

void AppendArchiveLine(const std::string& programDir, int arcLimitMb, std::string_view line,
                       const ArchiveTrace& trace) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  const std::string stored = ArchiveLineText(line, local) + '\n';

  const std::string path = ArchiveFilePath(programDir);
  int fd = OpenArchive(path);
  if (fd < 0) {
    Report(trace, CannotOpenText());
    return;
  }
  struct stat st;
  int64_t size = ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
  const int64_t limit = static_cast<int64_t>(std::clamp(arcLimitMb, 2, 1000)) * kMegabyte;
  if (size + static_cast<int64_t>(stored.size()) > limit) {
    fd = Trim(fd, size, path, ArchiveCopyPath(programDir), trace);
    if (fd < 0) return;
    size = ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
  }
  // A failed write is taken back, so no half line is left for the next one
  // to run into.
  if (!WriteAllAt(fd, stored, size)) {
    int ignored = ::ftruncate(fd, size);
    (void)ignored;
  }
  ::close(fd);
}

bool PatchArchiveStatus(const std::string& path, std::string_view number, int oldPicture,
                        int newPicture) {
  const std::string head = "<id=" + std::string(number) + "><pict=-";
  const std::string from = head + std::to_string(oldPicture) + ">";
  const std::string to = head + std::to_string(newPicture) + ">";
  if (from.size() != to.size() || text::IsReadOnlyFile(path)) return false;
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  const int64_t size = ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
  // Each window reaches into the next newer one by the pattern's length
  // less one, so an occurrence belongs to the window it starts in.
  const int64_t reach = static_cast<int64_t>(from.size()) - 1;
  bool patched = false;
  std::string window;
  for (int64_t k = 1; size - kPatchWindow * k > -kPatchWindow && !patched; ++k) {
    const int64_t start = std::max<int64_t>(0, size - kPatchWindow * k);
    const int64_t end = std::min(size, size - kPatchWindow * (k - 1) + reach);
    if (!ReadAt(fd, start, end - start, &window)) break;
    size_t at = window.find(from);
    if (at == std::string::npos) continue;
    patched = WriteAllAt(fd, to, start + static_cast<int64_t>(at));
    break;
  }
  ::close(fd);
  return patched;
}

}  // namespace media
