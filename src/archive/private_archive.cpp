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
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <atomic>
#include <utility>
#include <vector>

#include "settings/settings.h"
#include "text/cp1251.h"
#include "text/line_file.h"
#include "text/shown_text.h"

namespace media {
namespace {

constexpr char kBrokenBar = '\xA6';

// A trim keeps this share of the limit (in tenths): the newest lines, from
// the first line start in that stretch, so the next trim is far away.
constexpr int64_t kKeepTenths = 9;
// The line start is looked for in pieces this big.
constexpr int64_t kTrimSearch = 64 * 1024;
// The trim copies through a buffer of this size.
constexpr int64_t kCopyPiece = 100000;
// The state-picture patch reads the file from its end in windows this big.
constexpr int64_t kPatchWindow = 10000;

constexpr int64_t kMegabyte = 1048576;

std::string CannotOpenText() { return text::Shown("Не могу открыть файл архива привата для записи", "Cannot open the private archive file for writing"); }
std::string CannotTrimText() { return text::Shown("Не могу уменьшить размер файла привата", "Cannot shrink the private archive file"); }

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
// The archive holds private conversations: a new one is its owner's only.
int OpenArchive(const std::string& path) {
  if (text::IsReadOnlyFile(path)) return -1;
  return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
}

// Where a trim of a file of `size` bytes cuts it: after the first line
// feed at or past the point that leaves `keep` bytes.  `size` (nothing is
// left, the trim is skipped) when there is none; -1 on a read error.
int64_t TrimCutPoint(int fd, int64_t size, int64_t keep) {
  std::string probe;
  for (int64_t at = std::max<int64_t>(0, size - keep - 1); at < size; at += kTrimSearch) {
    if (!ReadAt(fd, at, std::min(kTrimSearch, size - at), &probe)) return -1;
    if (const size_t lf = probe.find('\n'); lf != std::string::npos) return at + static_cast<int64_t>(lf) + 1;
  }
  return size;
}

// Copies [from, to) of `in` to `out` at `outAt`.
bool CopyRange(int in, int64_t from, int64_t to, int out, int64_t outAt) {
  std::string piece;
  while (from < to) {
    if (!ReadAt(in, from, std::min(kCopyPiece, to - from), &piece) || piece.empty()) return false;
    if (!WriteAllAt(out, piece, outAt)) return false;
    from += static_cast<int64_t>(piece.size());
    outAt += static_cast<int64_t>(piece.size());
  }
  return true;
}

// Trims run on a worker thread, one per archive at a time.  Appends and
// status patches take the archive's lock for their short writes; the trim
// copies the bulk without it and takes it only to copy what was appended
// meanwhile and rename, so no line is lost and nobody waits for the copy.
struct TrimState {
  std::mutex lock;                  // guards the file's appends, patches and the rename
  std::thread worker;
  std::atomic<bool> running{false};
  std::vector<std::string> failures;  // reported by the next append, on its thread
  std::vector<std::pair<std::string, std::string>> patches;  // made while a trim copied
  int trims = 0;
};

struct TrimRegistry {
  std::mutex lock;
  std::map<std::string, std::unique_ptr<TrimState>> states;  // by archive path
  ~TrimRegistry() {
    for (auto& entry : states)
      if (entry.second->worker.joinable()) entry.second->worker.join();
  }
};

TrimRegistry& Registry() {
  static TrimRegistry registry;
  return registry;
}

TrimState& StateOf(const std::string& path) {
  TrimRegistry& r = Registry();
  std::lock_guard<std::mutex> guard(r.lock);
  auto& state = r.states[path];
  if (!state) state = std::make_unique<TrimState>();
  return *state;
}

bool PatchOpenFile(int fd, const std::string& from, const std::string& to);

// The trim itself, on the worker: the newest kKeepTenths of the limit go to
// the copy, then, under the lock, what was appended meanwhile, and the copy
// replaces the archive in one rename.
void RunTrim(TrimState& state, const std::string& path, const std::string& copyPath, int64_t limit) {
  auto fail = [&state](const std::string& text) {
    std::lock_guard<std::mutex> guard(state.lock);
    state.failures.push_back(text);
    state.patches.clear();
  };
  {
    std::lock_guard<std::mutex> guard(state.lock);
    state.patches.clear();
  }
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fail(CannotTrimText());
  struct stat st;
  const int64_t size = ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
  const mode_t mode = ::fstat(fd, &st) == 0 ? (st.st_mode & 07777) : 0600;
  const int64_t cut = TrimCutPoint(fd, size, limit * kKeepTenths / 10);
  if (cut < 0 || cut >= size) {  // nothing would be left: keep the file
    ::close(fd);
    std::lock_guard<std::mutex> guard(state.lock);
    state.patches.clear();
    return;
  }
  int copy = text::IsReadOnlyFile(copyPath)
                 ? -1
                 : ::open(copyPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (copy < 0) {
    ::close(fd);
    return fail(CannotTrimText());
  }
  bool ok = CopyRange(fd, cut, size, copy, 0);
  {
    std::lock_guard<std::mutex> guard(state.lock);
    const int64_t now = ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : size;
    ok = ok && CopyRange(fd, size, now, copy, size - cut);
    // Status changes made meanwhile may lie in the part copied already.
    for (const auto& [from, to] : state.patches) PatchOpenFile(copy, from, to);
    state.patches.clear();
    ok = ok && ::fsync(copy) == 0;
    ok = (::close(copy) == 0) && ok;
    // The old archive stays until its replacement is complete: one rename.
    if (!ok || ::rename(copyPath.c_str(), path.c_str()) != 0) {
      ::unlink(copyPath.c_str());
      state.failures.push_back(CannotTrimText());
    } else {
      ++state.trims;
    }
  }
  ::close(fd);
}

void StartTrim(TrimState& state, const std::string& path, const std::string& copyPath, int64_t limit) {
  if (state.running.exchange(true)) return;
  if (state.worker.joinable()) state.worker.join();
  state.worker = std::thread([&state, path, copyPath, limit] {
    RunTrim(state, path, copyPath, limit);
    state.running = false;
  });
}

}  // namespace

void FinishArchiveTrims(const std::string& programDir, const ArchiveTrace& trace) {
  TrimState& state = StateOf(ArchiveFilePath(programDir));
  if (state.worker.joinable()) state.worker.join();
  std::vector<std::string> failures;
  {
    std::lock_guard<std::mutex> guard(state.lock);
    failures.swap(state.failures);
  }
  for (const auto& f : failures) Report(trace, f);
}

int ArchiveTrimCount(const std::string& programDir) {
  TrimState& state = StateOf(ArchiveFilePath(programDir));
  std::lock_guard<std::mutex> guard(state.lock);
  return state.trims;
}

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
  TrimState& state = StateOf(path);
  std::vector<std::string> failures;
  int64_t size = 0;
  {
    std::lock_guard<std::mutex> guard(state.lock);
    failures.swap(state.failures);
    const int fd = OpenArchive(path);
    if (fd < 0) {
      failures.push_back(CannotOpenText());
    } else {
      struct stat st;
      size = ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
      // A failed write is taken back, so no half line is left for the next
      // one to run into.
      if (WriteAllAt(fd, stored, size)) {
        size += static_cast<int64_t>(stored.size());
      } else {
        int ignored = ::ftruncate(fd, size);
        (void)ignored;
      }
      ::close(fd);
    }
  }
  for (const auto& f : failures) Report(trace, f);
  const int64_t limit = static_cast<int64_t>(std::clamp(arcLimitMb, 2, 1000)) * kMegabyte;
  if (size > limit) StartTrim(state, path, ArchiveCopyPath(programDir), limit);
}

bool PatchArchiveStatus(const std::string& path, std::string_view number, int oldPicture,
                        int newPicture) {
  const std::string head = "<id=" + std::string(number) + "><pict=-";
  const std::string from = head + std::to_string(oldPicture) + ">";
  const std::string to = head + std::to_string(newPicture) + ">";
  if (from.size() != to.size() || text::IsReadOnlyFile(path)) return false;
  TrimState& state = StateOf(path);
  std::lock_guard<std::mutex> guard(state.lock);
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  const bool patched = PatchOpenFile(fd, from, to);
  ::close(fd);
  // A trim under way copies from the file as it was: it patches its copy too.
  if (patched && state.running) state.patches.emplace_back(from, to);
  return patched;
}

namespace {

bool PatchOpenFile(int fd, const std::string& from, const std::string& to) {
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
  return patched;
}

}  // namespace

}  // namespace media
