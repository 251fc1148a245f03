#include "http/gzip_unpack.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <zlib.h>

#include <algorithm>
#include <memory>

namespace http {
namespace {

constexpr qint64 kBlock = 10000;

QString TempTemplate() { return QDir::tempPath() + QStringLiteral("/ZLBXXXXXX"); }

struct GzCloser {
  void operator()(gzFile_s* f) const {
    if (f) gzclose_r(f);
  }
};

// Streams the packed file into `out`; false on a zlib error, a truncated
// stream, a write failure, the size limit or cancellation.
bool Unpack(const QString& packedName, qint64 packedSize, QFile& out, const GunzipJob& job) {
  std::unique_ptr<gzFile_s, GzCloser> gz(gzopen(QFile::encodeName(packedName).constData(), "rb"));
  if (!gz) return false;
  std::string chunk(64 * 1024, '\0');
  int64_t total = 0;
  int reported = 0;
  for (;;) {
    if (job.cancelled && job.cancelled()) return false;
    int n = gzread(gz.get(), chunk.data(), unsigned(chunk.size()));
    if (n < 0) return false;
    if (n == 0) break;
    total += n;
    if (total > job.limit) return false;
    if (out.write(chunk.data(), n) != n) return false;
    if (job.progress && packedSize > 0) {
      int percent = int(std::min<int64_t>(100, int64_t(gzoffset(gz.get())) * 100 / packedSize));
      while (reported + 5 <= percent) {
        reported += 5;
        job.progress(reported);
      }
    }
  }
  int err = Z_OK;
  gzerror(gz.get(), &err);
  if (err != Z_OK) return false;  // Z_BUF_ERROR: the stream ended early
  if (gzclose_r(gz.release()) != Z_OK) return false;
  if (job.progress)
    while (reported < 100) job.progress(reported += 5);
  return out.flush();
}

// zlib's gzip file reader stops quietly when the input ends inside a
// stream, so a cut-off body would pass as a shorter one.  This pass also
// refuses a body that unpacks beyond the limit before any file is written.  Every member must
// reach its end; bytes after the last member that are no gzip header are
// ignored, as the file reader does.
bool StreamIsComplete(const std::string& packed, int64_t limit) {
  if (packed.empty()) return true;
  size_t at = 0;
  int64_t unpacked = 0;
  char scratch[16384];
  do {
    z_stream z{};
    if (inflateInit2(&z, 15 + 16) != Z_OK) return false;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data() + at));
    z.avail_in = uInt(packed.size() - at);
    int ret;
    do {
      z.next_out = reinterpret_cast<Bytef*>(scratch);
      z.avail_out = sizeof scratch;
      ret = inflate(&z, Z_NO_FLUSH);
      unpacked += int64_t(sizeof scratch - z.avail_out);
    } while (ret == Z_OK && unpacked <= limit);
    at += z.total_in;
    inflateEnd(&z);
    if (ret != Z_STREAM_END || unpacked > limit) return false;
  } while (packed.size() - at >= 2 && uint8_t(packed[at]) == 0x1f && uint8_t(packed[at + 1]) == 0x8b);
  return true;
}

bool ReadBack(QFile& file, std::string& into) {
  if (!file.seek(0)) return false;
  std::string result;
  char block[kBlock];
  for (;;) {
    qint64 n = file.read(block, kBlock);
    if (n < 0) return false;
    if (n == 0) break;
    result.append(block, size_t(n));
  }
  into.swap(result);
  return true;
}

}  // namespace

bool GunzipThroughFiles(std::string& body, const GunzipJob& job) {
  if (!StreamIsComplete(body, job.limit)) {
    if (!job.targetFile.empty()) QFile::remove(QFile::decodeName(job.targetFile.c_str()));
    return false;
  }
  QTemporaryFile packed(TempTemplate());
  if (!packed.open()) return false;
  if (packed.write(body.data(), qint64(body.size())) != qint64(body.size()) || !packed.flush())
    return false;
  packed.close();

  std::unique_ptr<QFile> dest;
  if (job.targetFile.empty()) {
    auto temp = std::make_unique<QTemporaryFile>(TempTemplate());
    if (!temp->open()) return false;
    dest = std::move(temp);
  } else {
    dest = std::make_unique<QFile>(QFile::decodeName(job.targetFile.c_str()));
    if (!dest->open(QIODevice::ReadWrite | QIODevice::Truncate)) {
      dest->remove();
      return false;
    }
  }

  bool ok = Unpack(packed.fileName(), qint64(body.size()), *dest, job);
  packed.remove();
  if (ok) ok = ReadBack(*dest, body);
  if (!ok || job.targetFile.empty()) {
    dest->close();
    dest->remove();
  }
  return ok;
}

}  // namespace http
