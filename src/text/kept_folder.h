#pragma once
// A folder that keeps what peers send (Pictures/, Sounds/).  It is bounded
// in bytes and files as a whole, since any number of peers may send.  The
// folder is counted once, on first use, and the count is kept up to date
// afterwards, so keeping one more file costs no scan of the folder.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace text {

struct KeepLimits {
  uint64_t bytes = uint64_t(256) << 20;
  size_t files = 20000;
};

class KeptFolder {
 public:
  // `dir` ends with "/"; it is created when the first file is kept.
  explicit KeptFolder(std::string dir, KeepLimits limits = {});

  // Whether one more file of `bytes` stays within the bounds.
  bool HasRoom(uint64_t bytes);
  // The first number from `first` on whose file, named by `fileNameOf`,
  // does not exist yet.  The number found is remembered per `key` (a
  // sender's name and extension), so his next file probes from there.
  int NextFreeNumber(const std::string& key, int first, const std::function<std::string(int)>& fileNameOf);
  // Writes `bytes` as `fileName` in the folder (whole or not at all) and
  // counts it.  False when there is no room or the write fails.
  bool Keep(const std::string& fileName, std::string_view bytes);

  const std::string& Dir() const { return dir_; }
  uint64_t Bytes();
  size_t Files();
  // How often the folder was listed: once for its whole life.
  int Scans() const { return scans_; }
  const KeepLimits& Limits() const { return limits_; }

 private:
  void Count();

  std::string dir_;
  KeepLimits limits_;
  bool counted_ = false;
  int scans_ = 0;
  uint64_t bytes_ = 0;
  size_t files_ = 0;
  std::map<std::string, int> nextNumber_;  // by key
};

}  // namespace text
