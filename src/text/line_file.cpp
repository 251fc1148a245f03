#include "text/line_file.h"

#include "text/bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace text {
namespace {

// Reads are done in blocks; where a block ends has no effect on the lines.
constexpr size_t kReadBlock = 64 * 1024;

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

std::vector<std::string> SplitLineFileText(std::string_view bytes) {
  std::vector<std::string> entries;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t lf = bytes.find('\n', start);
    if (lf == std::string_view::npos) break;  // unterminated last line
    size_t end = lf;
    if (end > start && bytes[end - 1] == '\r') --end;
    entries.emplace_back(bytes.substr(start, end - start));
    start = lf + 1;
  }
  return entries;
}

std::vector<std::string> ReadLineFile(const std::string& path) {
  std::vector<std::string> entries;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return entries;
  std::string pending;  // the line being collected, across blocks
  std::string block(kReadBlock, '\0');
  for (;;) {
    size_t n = std::fread(block.data(), 1, block.size(), f);
    if (n == 0) break;
    size_t start = 0;
    for (;;) {
      const char* lf = static_cast<const char*>(std::memchr(block.data() + start, '\n', n - start));
      if (!lf) break;
      size_t pos = static_cast<size_t>(lf - block.data());
      pending.append(block, start, pos - start);
      if (!pending.empty() && pending.back() == '\r') pending.pop_back();
      entries.push_back(std::move(pending));
      pending.clear();
      start = pos + 1;
    }
    pending.append(block, start, n - start);
  }
  std::fclose(f);
  return entries;
}

bool WriteLineFile(const std::string& path, const std::vector<std::string>& entries) {
  std::string out;
  for (const std::string& e : entries) {
    for (char c : e) out.push_back(c == '\n' ? ' ' : c);
    out += "\r\n";
  }
  return ReplaceFileAtomically(path, out);
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return std::nullopt;
  std::string out;
  std::string block(kReadBlock, '\0');
  bool ok = true;
  for (;;) {
    size_t n = std::fread(block.data(), 1, block.size(), f);
    out.append(block, 0, n);
    if (n < block.size()) {
      ok = !std::ferror(f);
      break;
    }
  }
  std::fclose(f);
  if (!ok) return std::nullopt;
  return out;
}

// The temporary's name: "." + the file's name + "." + six characters
// mkstemp chose.  Only one whose file name ends in a plain name is ours.
static bool IsReplaceTemporary(const std::string& name) {
  if (name.size() < 9 || name[0] != '.' || name[name.size() - 7] != '.') return false;
  for (size_t i = name.size() - 6; i < name.size(); ++i)
    if (!std::isalnum(static_cast<unsigned char>(name[i]))) return false;
  return name.size() > 8 && name[1] != '.';
}

size_t RemoveStaleReplaceTemporaries(const std::string& dir) {
  size_t removed = 0;
  DIR* d = ::opendir(dir.c_str());
  if (!d) return 0;
  std::string base = dir;
  if (!base.empty() && base.back() != '/') base += '/';
  while (dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (!IsReplaceTemporary(name)) continue;
    struct stat st;
    const std::string path = base + name;
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(path.c_str()) == 0) ++removed;
  }
  ::closedir(d);
  return removed;
}

bool IsReadOnlyFile(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

bool ReplaceFileAtomically(const std::string& path, std::string_view contents, ReplaceOptions options) {
  // The files rewritten whole hold settings with the password, contact
  // lists and messages: a new one is its owner's only.
  mode_t mode = 0600;
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return false;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
    if (::access(path.c_str(), W_OK) != 0) return false;
    mode = st.st_mode & (options.ownerOnly ? 07700 : 07777);
  }
  std::string tmpl = DirectoryOf(path) + "/." + path.substr(path.rfind('/') + 1) + ".XXXXXX";
  int fd = ::mkstemp(tmpl.data());
  if (fd < 0) return false;
  bool ok = WriteAll(fd, contents) && ::fchmod(fd, mode) == 0 && (!options.syncToDisk || ::fsync(fd) == 0);
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(tmpl.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(tmpl.c_str());
  return ok;
}

std::string UserFilePath(const std::string& dir, std::string_view name, std::string_view suffix) {
  const std::string path = dir + UserFileName(name) + std::string(suffix);
  const std::string old = dir + SafeFileName(name) + std::string(suffix);
  struct stat st;
  if (old != path && ::lstat(path.c_str(), &st) != 0 && ::lstat(old.c_str(), &st) == 0 && S_ISREG(st.st_mode))
    ::rename(old.c_str(), path.c_str());
  return path;
}

}  // namespace text
