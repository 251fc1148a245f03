#pragma once
// The own picture cache: the folder of downloaded files and its index
// "index.dat" (the file counter, then URL, file name and day per record).
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace picture {

struct CacheRecord {
  std::string fileName;  // bare file name inside the cache folder
  int day = 0;           // day stored: whole days since 30 December 1899
};

// Today's local date as such a day number.
int TodayDayNumber();

// A URL whose picture may be taken from the cache: it contains "http://"
// and ends, in any case, with ".gif", ".jpg" or ".bmp".
bool IsCacheable(std::string_view url);

// The ending of a downloaded file's name: the URL's last four characters
// when they are "." and three letters or digits, otherwise ".bin".
std::string LocalFileSuffix(std::string_view url);

// Days a cached picture stays valid: `qelTime` for addresses under the
// additional-smiley folder `qelDir`, `nqelTime` for all others.
int LifeTimeFor(std::string_view url, std::string_view qelDir, int qelTime, int nqelTime);

using LifeTime = std::function<int(const std::string& url)>;
inline constexpr int kDefaultLifeTime = 10;

class CacheIndex {
 public:
  enum class Mode : uint8_t { NoCache = 0, OwnCache = 2 };

  // Stores both paths, switches to the own cache and reads the index:
  // records older than their lifetime, or with a day that is no number, are
  // dropped with their files.  Creates the cache folder.  Either path empty:
  // nothing happens.
  void LoadCacheIndex(const std::string& indexFile, const std::string& cacheFolder, int today,
                      const LifeTime& lifeTime = {});
  // Forgets every record, counts files from 1 again and deletes every file
  // of the cache folder that is not read-only.
  void ClearCache();
  // Writes the index by an atomic replace; false when that failed or no
  // index file is known.
  bool Save() const;

  // The setting's cache type: 0 none (downloaded files are deleted after
  // decoding, the cache is neither read nor extended), 1 and 2 the own cache.
  void SetCacheType(int type) { cacheType_ = type; }
  // Whether pictures are taken from and stored into the cache now.
  bool InUse() const { return mode_ == Mode::OwnCache && cacheType_ != 0; }

  // The cached copy of a URL when it may be used and its file exists.
  std::optional<std::string> CachedFile(const std::string& url) const;
  // Path for a new download of `url`: "p" + counter + suffix inside the
  // cache folder (the temporary folder while there is none); the counter
  // moves past names that are taken.
  std::string NewLocalFile(const std::string& url);
  // After decoding: a picture that did not load loses its file (and a
  // record naming it); a downloaded picture that loaded is entered in the
  // index, or its file deleted when the cache is not in use.
  void OnDecoded(const std::string& url, const std::string& localFile, bool fromCache, bool loaded,
                 int today);

  Mode mode() const { return mode_; }
  int fileCounter() const { return fileCounter_; }
  const std::string& cacheFolder() const { return cacheFolder_; }
  const std::string& indexFile() const { return indexFile_; }
  const std::map<std::string, CacheRecord>& records() const { return records_; }

 private:
  std::string InFolder(const std::string& bareName) const;

  Mode mode_ = Mode::NoCache;
  int cacheType_ = 2;
  std::string cacheFolder_;
  std::string indexFile_;
  int fileCounter_ = 1;
  std::map<std::string, CacheRecord> records_;
};

}  // namespace picture
