#include "text/kept_folder.h"

#include <sys/stat.h>

#include <filesystem>

#include "text/line_file.h"

namespace text {

namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

KeptFolder::KeptFolder(std::string dir, KeepLimits limits) : dir_(std::move(dir)), limits_(limits) {}

void KeptFolder::Count() {
  if (counted_) return;
  counted_ = true;
  ++scans_;
  // Temporaries a crash left behind go; everything else counts.
  text::RemoveStaleReplaceTemporaries(dir_);
  namespace fs = std::filesystem;
  std::error_code ec;
  for (fs::directory_iterator it(fs::path(dir_), ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code sizeError;
    if (!it->is_regular_file(sizeError)) continue;
    const uintmax_t size = it->file_size(sizeError);
    if (sizeError) continue;
    bytes_ += size;
    ++files_;
  }
}

uint64_t KeptFolder::Bytes() {
  Count();
  return bytes_;
}

size_t KeptFolder::Files() {
  Count();
  return files_;
}

bool KeptFolder::HasRoom(uint64_t bytes) {
  Count();
  return files_ < limits_.files && bytes_ + bytes <= limits_.bytes;
}

int KeptFolder::NextFreeNumber(const std::string& key, int first,
                               const std::function<std::string(int)>& fileNameOf) {
  int& next = nextNumber_[key];
  int n = std::max(next, first);
  while (n < INT32_MAX && Exists(dir_ + fileNameOf(n))) ++n;
  next = n;
  return n;
}

bool KeptFolder::Keep(const std::string& fileName, std::string_view bytes) {
  if (!HasRoom(bytes.size())) return false;
  std::error_code ec;
  std::filesystem::create_directories(dir_, ec);
  const std::string path = dir_ + fileName;
  const bool replaced = Exists(path);
  // Whole or not at all, but not forced to the disk: thousands may come.
  if (replaced || !text::ReplaceFileAtomically(path, bytes, {.syncToDisk = false})) return false;
  bytes_ += bytes.size();
  ++files_;
  return true;
}

}  // namespace text
