#include "picture/cache_index.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace picture;

namespace {

class Cache : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = std::string(CHAT_BINARY_DIR "/picture-cache-test/") + info->name();
    QDir(Q(root_)).removeRecursively();
    QDir().mkpath(Q(root_));
    folder_ = root_ + "/Cache";
    index_ = folder_ + "/index.dat";
  }
  void TearDown() override {
    QFile::setPermissions(Q(folder_ + "/keep.gif"), QFile::ReadOwner | QFile::WriteOwner);
    QDir(Q(root_)).removeRecursively();
  }
  static QString Q(const std::string& s) { return QString::fromStdString(s); }
  static void Write(const std::string& path, const std::string& bytes) {
    QDir().mkpath(QFileInfo(Q(path)).absolutePath());
    QFile f(Q(path));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes.data(), qint64(bytes.size()));
  }
  static std::string Read(const std::string& path) {
    QFile f(Q(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : "<missing>";
  }
  bool InCache(const std::string& name) const { return QFile::exists(Q(folder_ + "/" + name)); }

  std::string root_, folder_, index_;
};

}  // namespace

TEST(CacheRules, FileSuffixNeverCarriesAPath) {
  EXPECT_EQ(LocalFileSuffix("http://h/a.GIF"), ".GIF");
  for (const char* bin : {"http://h/a.jpeg", "http://h/a?x=.g/f", "http://h/a./...", "gif"})
    EXPECT_EQ(LocalFileSuffix(bin), ".bin") << bin;
  EXPECT_TRUE(IsCacheable("http://h/A.GIF"));
  EXPECT_FALSE(IsCacheable("http://h/x.gif?v=2"));
}

TEST_F(Cache, SurvivesARestartWithExactFileFormat) {
  CacheIndex cache;
  cache.LoadCacheIndex(index_, folder_, 45000);
  ASSERT_EQ(cache.mode(), CacheIndex::Mode::OwnCache);
  ASSERT_TRUE(QDir(Q(folder_)).exists());

  std::string a = cache.NewLocalFile("http://h/b.gif");
  std::string b = cache.NewLocalFile("http://h/a.JPG");
  EXPECT_EQ(a, folder_ + "/p1.gif");
  EXPECT_EQ(b, folder_ + "/p2.JPG");
  Write(a, "A");
  Write(b, "B");
  cache.OnDecoded("http://h/b.gif", a, false, true, 45000);
  cache.OnDecoded("http://h/a.JPG", b, false, true, 44999);
  ASSERT_TRUE(cache.Save());
  EXPECT_EQ(Read(index_), "3\r\nhttp://h/a.JPG\r\np2.JPG\r\n44999\r\nhttp://h/b.gif\r\np1.gif\r\n45000\r\n");
  EXPECT_EQ(QDir(Q(folder_)).entryList(QDir::Files).size(), 3);  // no temporary file left

  CacheIndex restarted;
  restarted.LoadCacheIndex(index_, folder_, 45001);
  EXPECT_EQ(restarted.fileCounter(), 3);
  ASSERT_EQ(restarted.records().size(), 2u);
  EXPECT_EQ(restarted.CachedFile("http://h/b.gif"), a);
  EXPECT_EQ(restarted.CachedFile("http://h/a.JPG"), b);
  EXPECT_FALSE(restarted.CachedFile("http://h/other.gif"));
  QFile::remove(Q(a));  // a record whose file is gone is not used
  EXPECT_FALSE(restarted.CachedFile("http://h/b.gif"));
}

TEST_F(Cache, LifetimesAndBadRecordsAreDroppedWithTheirFiles) {
  Write(folder_ + "/p1.gif", "1");
  Write(folder_ + "/p2.gif", "2");
  Write(folder_ + "/p3.gif", "3");
  Write(folder_ + "/p4.gif", "4");
  Write(root_ + "/outside.gif", "x");
  Write(index_,
        "9\n"
        "http://q/smileset/1.gif\np1.gif\n100\n"     // lifetime 0: goes
        "http://h/2.gif\r\np2.gif\r\n95\r\n"         // 5 days, lifetime 10: stays
        "http://h/3.gif\np3.gif\nyesterday\n"        // day no number: goes
        "http://h/4.gif\nC:\\old\\dir\\p4.gif\n90\n"  // bare name kept; 10 days: goes
        "http://h/5.gif\n../outside.gif\n100\n"      // stays, but only inside the folder
        "http://h/6.gif\np6.gif\n");                 // ends early
  CacheIndex cache;
  cache.LoadCacheIndex(index_, folder_, 100, [](const std::string& url) {
    return LifeTimeFor(url, "http://q/smileset/", 0, 10);
  });
  EXPECT_EQ(cache.fileCounter(), 9);
  EXPECT_FALSE(InCache("p1.gif"));
  EXPECT_TRUE(InCache("p2.gif"));
  EXPECT_FALSE(InCache("p3.gif"));
  EXPECT_FALSE(InCache("p4.gif"));
  EXPECT_TRUE(QFile::exists(Q(root_ + "/outside.gif")));
  ASSERT_EQ(cache.records().size(), 2u);
  EXPECT_EQ(cache.records().at("http://h/2.gif").day, 95);
  EXPECT_EQ(cache.records().at("http://h/5.gif").fileName, "outside.gif");
  EXPECT_FALSE(cache.CachedFile("http://h/5.gif"));  // not in the cache folder
}

TEST_F(Cache, ClearCacheKeepsReadOnlyFilesAndStartsAgainAtP1) {
  CacheIndex cache;
  cache.LoadCacheIndex(index_, folder_, 100);
  for (int i = 0; i < 3; ++i) {
    std::string f = cache.NewLocalFile("http://h/" + std::to_string(i) + ".gif");
    Write(f, "x");
    cache.OnDecoded("http://h/" + std::to_string(i) + ".gif", f, false, true, 100);
  }
  Write(folder_ + "/keep.gif", "k");
  QFile::setPermissions(Q(folder_ + "/keep.gif"), QFile::ReadOwner);
  cache.ClearCache();
  EXPECT_TRUE(cache.records().empty());
  EXPECT_EQ(cache.fileCounter(), 1);
  EXPECT_EQ(QDir(Q(folder_)).entryList(QDir::Files), QStringList{"keep.gif"});
  EXPECT_EQ(cache.NewLocalFile("http://h/new.gif"), folder_ + "/p1.gif");

  // A name that is still taken (a read-only survivor) is skipped.
  Write(folder_ + "/p2.gif", "old");
  QFile::setPermissions(Q(folder_ + "/p2.gif"), QFile::ReadOwner);
  EXPECT_EQ(cache.NewLocalFile("http://h/next.gif"), folder_ + "/p3.gif");
  QFile::setPermissions(Q(folder_ + "/p2.gif"), QFile::ReadOwner | QFile::WriteOwner);
}

TEST_F(Cache, DecodingOutcomeDecidesOverFileAndRecord) {
  CacheIndex cache;
  cache.LoadCacheIndex(index_, folder_, 100);
  // Not loaded: the file goes, and so does a record naming it.
  std::string f1 = cache.NewLocalFile("http://h/1.gif");
  Write(f1, "x");
  cache.OnDecoded("http://h/1.gif", f1, false, true, 100);
  cache.OnDecoded("http://h/1.gif", f1, true, false, 100);
  EXPECT_FALSE(QFile::exists(Q(f1)));
  EXPECT_TRUE(cache.records().empty());

  // A picture that can never be looked up, or whose URL would break the
  // index file, is not kept.
  for (const std::string url : {"http://h/pic.png", "http://h/a\r\nb.gif"}) {
    std::string f2 = cache.NewLocalFile(url);
    Write(f2, "x");
    cache.OnDecoded(url, f2, false, true, 100);
    EXPECT_FALSE(QFile::exists(Q(f2))) << url;
  }
  EXPECT_TRUE(cache.records().empty());

  // Cache type 0: downloads are deleted after decoding and the index is
  // neither used nor extended; back on, the earlier record serves again.
  std::string f3 = cache.NewLocalFile("http://h/3.gif");
  Write(f3, "x");
  cache.OnDecoded("http://h/3.gif", f3, false, true, 100);
  cache.SetCacheType(0);
  EXPECT_FALSE(cache.InUse());
  EXPECT_FALSE(cache.CachedFile("http://h/3.gif"));
  std::string f4 = cache.NewLocalFile("http://h/4.gif");
  Write(f4, "x");
  cache.OnDecoded("http://h/4.gif", f4, false, true, 100);
  EXPECT_FALSE(QFile::exists(Q(f4)));
  EXPECT_EQ(cache.records().size(), 1u);
  cache.SetCacheType(1);
  EXPECT_EQ(cache.CachedFile("http://h/3.gif"), f3);
}

TEST_F(Cache, WithoutACacheFolderDownloadsAreTemporary) {
  CacheIndex cache;  // before LoadCacheIndex
  std::string f = cache.NewLocalFile("http://h/a.gif");
  EXPECT_TRUE(f.rfind(QDir::tempPath().toStdString(), 0) == 0) << f;
  Write(f, "x");
  cache.OnDecoded("http://h/a.gif", f, false, true, 100);
  EXPECT_FALSE(QFile::exists(Q(f)));
  EXPECT_TRUE(cache.records().empty());
}
