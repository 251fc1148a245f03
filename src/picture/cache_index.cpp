#include "picture/cache_index.h"

#include "text/bytes.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <vector>

namespace picture {
namespace {

QString Q(const std::string& path) { return QFile::decodeName(path.c_str()); }

bool Exists(const std::string& path) { return QFileInfo(Q(path)).isFile(); }

std::string BareName(std::string_view name) {
  size_t slash = name.find_last_of("/\\");
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  if (name == "." || name == "..") return {};
  return std::string(name);
}

// Lines ended by CR LF or LF; a last line without an end counts too.
std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  QFile file(Q(path));
  if (!file.open(QIODevice::ReadOnly)) return lines;
  const QByteArray data = file.readAll();
  std::string_view rest(data.constData(), size_t(data.size()));
  while (!rest.empty()) {
    size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return lines;
}

bool AlphaNumeric(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

int TodayDayNumber() {
  return int(QDate::currentDate().toJulianDay() - QDate(1899, 12, 30).toJulianDay());
}

bool IsCacheable(std::string_view url) {
  if (!text::Contains(url, "http://")) return false;
  const std::string lower = text::Lower(url);
  return text::EndsWith(lower, ".gif") || text::EndsWith(lower, ".jpg") ||
         text::EndsWith(lower, ".bmp");
}

std::string LocalFileSuffix(std::string_view url) {
  if (url.size() >= 4) {
    std::string_view last = url.substr(url.size() - 4);
    if (last[0] == '.' && AlphaNumeric(last[1]) && AlphaNumeric(last[2]) && AlphaNumeric(last[3]))
      return std::string(last);
  }
  return ".bin";
}

int LifeTimeFor(std::string_view url, std::string_view qelDir, int qelTime, int nqelTime) {
  return !qelDir.empty() && text::StartsWith(url, qelDir) ? qelTime : nqelTime;
}

std::string CacheIndex::InFolder(const std::string& bareName) const {
  return cacheFolder_ + "/" + bareName;
}

void CacheIndex::LoadCacheIndex(const std::string& indexFile, const std::string& cacheFolder,
                                int today, const LifeTime& lifeTime) {
  if (indexFile.empty() || cacheFolder.empty()) return;
  indexFile_ = indexFile;
  cacheFolder_ = cacheFolder;
  mode_ = Mode::OwnCache;
  fileCounter_ = 1;

  const std::vector<std::string> lines = ReadLines(indexFile);
  if (!lines.empty()) {
    if (auto counter = text::ParseInt(lines[0])) {
      fileCounter_ = *counter;
      for (size_t i = 1; i + 2 < lines.size(); i += 3) {
        const std::string& url = lines[i];
        const std::string bare = BareName(lines[i + 1]);
        if (bare.empty()) continue;
        auto day = text::ParseInt(lines[i + 2]);
        const int days = lifeTime ? lifeTime(url) : kDefaultLifeTime;
        if (!day || int64_t(today) - *day >= days) {
          QFile::remove(Q(InFolder(bare)));
          continue;
        }
        records_[url] = CacheRecord{bare, *day};
      }
    }
  }
  QDir().mkpath(Q(cacheFolder_));
}

void CacheIndex::ClearCache() {
  records_.clear();
  fileCounter_ = 1;
  if (cacheFolder_.empty()) return;
  QDir folder(Q(cacheFolder_));
  for (const QFileInfo& entry : folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
    if (!(entry.permissions() & QFileDevice::WriteOwner)) continue;  // read-only stays
    QFile::remove(entry.absoluteFilePath());
  }
}

bool CacheIndex::Save() const {
  if (indexFile_.empty()) return false;
  if (!cacheFolder_.empty()) QDir().mkpath(Q(cacheFolder_));
  QDir().mkpath(QFileInfo(Q(indexFile_)).absolutePath());
  QSaveFile file(Q(indexFile_));
  if (!file.open(QIODevice::WriteOnly)) return false;
  std::string out = std::to_string(fileCounter_) + "\r\n";
  for (const auto& [url, record] : records_)
    out += url + "\r\n" + record.fileName + "\r\n" + std::to_string(record.day) + "\r\n";
  if (file.write(out.data(), qint64(out.size())) != qint64(out.size())) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

std::optional<std::string> CacheIndex::CachedFile(const std::string& url) const {
  if (!InUse() || !IsCacheable(url)) return std::nullopt;
  auto it = records_.find(url);
  if (it == records_.end()) return std::nullopt;
  std::string path = InFolder(it->second.fileName);
  if (!Exists(path)) return std::nullopt;
  return path;
}

std::string CacheIndex::NewLocalFile(const std::string& url) {
  std::string folder = cacheFolder_;
  std::string prefix = "/p";
  if (folder.empty()) {
    // No cache folder yet: such files are deleted after decoding anyway.
    folder = QFile::encodeName(QDir::tempPath()).toStdString();
    prefix = "/chatpic" + std::to_string(QCoreApplication::applicationPid()) + "-p";
  }
  const std::string suffix = LocalFileSuffix(url);
  for (;;) {
    const std::string bare = prefix.substr(1) + std::to_string(fileCounter_) + suffix;
    ++fileCounter_;
    bool named = false;
    for (const auto& entry : records_)
      if (entry.second.fileName == bare) {
        named = true;
        break;
      }
    const std::string path = folder + "/" + bare;
    if (!named && !Exists(path)) return path;
  }
}

void CacheIndex::OnDecoded(const std::string& url, const std::string& localFile, bool fromCache,
                           bool loaded, int today) {
  const std::string bare = BareName(localFile);
  if (!loaded) {
    QFile::remove(Q(localFile));
    auto it = records_.find(url);
    if (it != records_.end() && it->second.fileName == bare) records_.erase(it);
    return;
  }
  if (fromCache) return;
  const bool storable = InUse() && IsCacheable(url) && !bare.empty() &&
                        url.find_first_of("\r\n") == std::string::npos &&
                        Q(localFile) == Q(InFolder(bare));
  if (storable)
    records_[url] = CacheRecord{bare, today};
  else
    QFile::remove(Q(localFile));
}

}  // namespace picture
