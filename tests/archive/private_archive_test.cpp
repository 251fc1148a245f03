#include "archive/private_archive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "temp_dir.h"
#include "text/bytes.h"
#include "text/cp1251.h"

namespace {

using text::W;

std::tm SomeTime() {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 9;
  t.tm_hour = 7;
  t.tm_min = 5;
  t.tm_sec = 3;
  t.tm_wday = 3;
  return t;
}

// The stored line of `line` without its time stamp.
std::string AfterStamp(const std::string& stored) { return stored.substr(stored.find('\xA6')); }

class Archive : public ::testing::Test {
 protected:
  void Append(const std::string& line, int limitMb = 5) {
    media::AppendArchiveLine(dir_.Path(), limitMb, line,
                             [this](const std::string& m) { traces_.push_back(m); });
  }
  std::string Arc() const { return dir_.Get("private.arc"); }
  void Finish() {
    media::FinishArchiveTrims(dir_.Path(), [this](const std::string& m) { traces_.push_back(m); });
  }
  // Bytes of a whole line as AppendArchiveLine will store it now.
  static size_t StoredSize(const std::string& line) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return media::ArchiveLineText(line, local).size() + 1;
  }
  TempDir dir_;
  std::vector<std::string> traces_;
};

TEST(ArchiveLine, StampBarsColorsAndLineBreaks) {
  const std::tm t = SomeTime();
  std::string stamp = media::ArchiveTimeStamp(t);
  ASSERT_EQ(stamp.rfind("09.12.26 07.05.03 (", 0), 0u);
  EXPECT_EQ(stamp.back(), ')');
  EXPECT_GT(stamp.size(), std::string("09.12.26 07.05.03 ()").size());
  std::tm sunday = t;
  sunday.tm_wday = 0;
  EXPECT_NE(media::ArchiveTimeStamp(sunday), stamp);

  EXPECT_EQ(media::ArchiveLineText("#ffffff|#000000|12:30 <b>Guest:</b> a|b", t),
            stamp + W("¦#ffffff¦#000000¦12:30 <b>Guest:</b> a¦b"));
  EXPECT_EQ(AfterStamp(media::ArchiveLineText("#A0b1C2|#123456|x\r\ny\n", t)),
            W("¦#A0b1C2¦#123456¦x  y "));
  for (const char* bad : {"#12345", "#1234567", "#gggggg", "red", ""}) {
    std::string line = std::string(bad) + "|" + bad + "|t";
    EXPECT_EQ(AfterStamp(media::ArchiveLineText(line, t)), W("¦#ffffff¦#000000¦t")) << bad;
  }
  EXPECT_EQ(AfterStamp(media::ArchiveLineText("no colors", t)), W("¦#ffffff¦#000000¦no colors"));
}

TEST_F(Archive, AppendsOneLineFeedEndedLinePerCall) {
  Append("#ffffff|#000000|one");
  Append("#ffffff|#0000ff|two|three");
  std::string arc = Arc();
  ASSERT_EQ(std::count(arc.begin(), arc.end(), '\n'), 2);
  EXPECT_EQ(arc.find('|'), std::string::npos);
  EXPECT_EQ(arc.find('\r'), std::string::npos);
  size_t lf = arc.find('\n');
  EXPECT_TRUE(text::EndsWith(arc.substr(0, lf), W("¦#ffffff¦#000000¦one")));
  EXPECT_TRUE(text::EndsWith(arc, W("¦#ffffff¦#0000ff¦two¦three\n")));
  EXPECT_TRUE(traces_.empty());
}

TEST_F(Archive, ATrimKeepsTheNewestNineTenthsOfTheLimitFromALineStart) {
  // 2097000 bytes and a line of about 240: past 2 MiB, so the file is trimmed.
  const std::string line = "#ffffff|#000000|" + std::string(200, 'n');
  std::string old(2097000, 'x');
  old[100000] = '\n';  // too early: more than nine tenths would stay
  old[250000] = '\n';  // the first line start within the newest nine tenths
  old[600000] = '\n';
  old.back() = '\n';
  dir_.Put("private.arc", old);
  Append(line, 2);
  Finish();
  std::string arc = Arc();
  ASSERT_EQ(arc.size(), old.size() - 250001 + StoredSize(line));
  EXPECT_EQ(arc.compare(0, old.size() - 250001, old, 250001), 0);
  EXPECT_LE(arc.size(), 2097152u * 9 / 10);
  EXPECT_FALSE(dir_.Exists("privatecopy.arc"));
  EXPECT_TRUE(traces_.empty());
  EXPECT_EQ(media::ArchiveTrimCount(dir_.Path()), 1);
}

TEST_F(Archive, LimitBoundaryAndClamp) {
  const std::string line = "#ffffff|#000000|edge";
  const size_t limit = 2 * 1048576;
  dir_.Put("private.arc", std::string(limit - StoredSize(line), 'x'));
  Append(line, 2);  // ends exactly at the limit: no trim
  Finish();
  EXPECT_EQ(Arc().size(), limit);
  // A limit below 2 megabytes counts as 2.
  dir_.Put("private.arc", std::string(1500000, 'x'));
  Append(line, 0);
  Finish();
  EXPECT_EQ(Arc().size(), 1500000 + StoredSize(line));
  EXPECT_EQ(media::ArchiveTrimCount(dir_.Path()), 0);
}

TEST_F(Archive, TrimThatWouldLeaveNothingIsSkipped) {
  dir_.Put("private.arc", "old\n");
  const std::string huge = "#ffffff|#000000|" + std::string(2100000, 'h');
  Append(huge, 2);
  Finish();
  std::string arc = Arc();
  EXPECT_EQ(arc.rfind("old\n", 0), 0u);
  EXPECT_EQ(arc.size(), 4 + StoredSize(huge));
  EXPECT_TRUE(traces_.empty());
}

TEST_F(Archive, CopyThatCannotBeCreatedAppendsUntrimmed) {
  std::string old(2097150, 'x');
  old[500200] = '\n';
  dir_.Put("private.arc", old);
  std::filesystem::create_directory(dir_.File("privatecopy.arc"));
  Append("#ffffff|#000000|kept", 2);
  Finish();
  EXPECT_EQ(traces_, std::vector<std::string>{W("Не могу уменьшить размер файла привата")});
  std::string arc = Arc();
  EXPECT_EQ(arc.compare(0, old.size(), old), 0);
  EXPECT_TRUE(text::EndsWith(arc, W("¦kept\n")));
}

TEST_F(Archive, OneTrimPerTenthOfTheLimitAndNoLineAppendedDuringATrimIsLost) {
  // 10 MB through an archive of 2 MiB, in lines numbered in order, with a
  // status patch now and then.
  const int64_t limit = 2 * 1048576;
  const int lines = 10000;
  int64_t written = 0;
  for (int i = 0; i < lines; ++i) {
    const std::string line = "#ffffff|#000000|<id=" + std::to_string(i) + "><pict=-18>#" + std::to_string(i) + "#" +
                             std::string(1000, 'p');
    Append(line, 2);
    written += int64_t(StoredSize(line));
    if (i % 500 == 499) {
      // The newest line changes its state picture even while a trim copies.
      EXPECT_TRUE(media::PatchArchiveStatus(dir_.File("private.arc"), std::to_string(i), 18, 17));
    }
  }
  Finish();
  EXPECT_TRUE(traces_.empty());
  const int trims = media::ArchiveTrimCount(dir_.Path());
  RecordProperty("trims", trims);
  RecordProperty("written_bytes", std::to_string(written));
  EXPECT_GE(trims, int(written / limit));
  EXPECT_LE(trims, int(written / (limit / 10)) + 1);
  // The newest lines are all there, in order, without a gap, and patched.
  const std::string arc = Arc();
  EXPECT_LE(int64_t(arc.size()), limit + 2 * 1048576);
  std::vector<int> numbers;
  for (size_t at = arc.find('#', arc.find("><pict=")); at != std::string::npos;) {
    const size_t end = arc.find('#', at + 1);
    numbers.push_back(std::stoi(arc.substr(at + 1, end - at - 1)));
    at = arc.find("><pict=", end);
    if (at != std::string::npos) at = arc.find('#', at);
  }
  ASSERT_FALSE(numbers.empty());
  EXPECT_EQ(numbers.back(), lines - 1);
  for (size_t k = 1; k < numbers.size(); ++k) ASSERT_EQ(numbers[k], numbers[k - 1] + 1);
  EXPECT_NE(arc.find("<id=9999><pict=-17>"), std::string::npos);
  EXPECT_EQ(arc.find("<id=9998><pict=-17>"), std::string::npos);
  size_t lf = 0;
  for (char c : arc) lf += c == '\n';
  EXPECT_EQ(lf, numbers.size());
}

TEST_F(Archive, ReadOnlyArchiveIsLeftAlone) {
  dir_.Put("private.arc", "old\n");
  dir_.MakeReadOnly("private.arc");
  Append("#ffffff|#000000|lost");
  EXPECT_EQ(traces_, std::vector<std::string>{W("Не могу открыть файл архива привата для записи")});
  EXPECT_EQ(Arc(), "old\n");
  media::AppendArchiveLine(dir_.Path(), 5, "#ffffff|#000000|x", nullptr);  // no trace: no crash
}

TEST_F(Archive, StatusPatchTakesTheNewestWindowAndItsFirstOccurrence) {
  const std::string p16 = "<id=5><pict=-16>";
  std::string body(30000, '.');
  body.replace(100, p16.size(), p16);     // oldest window
  body.replace(25000, p16.size(), p16);   // newest window, first
  body.replace(28000, p16.size(), p16);   // newest window, second
  body.replace(29000, 17, "<id=15><pict=-16>");
  dir_.Put("private.arc", body);
  const std::string path = dir_.File("private.arc");
  ASSERT_TRUE(media::PatchArchiveStatus(path, "5", 16, 17));
  std::string expect = body;
  expect.replace(25000, p16.size(), "<id=5><pict=-17>");
  EXPECT_EQ(Arc(), expect);
  // Next the one at 28000, then the oldest; then nothing is left.
  ASSERT_TRUE(media::PatchArchiveStatus(path, "5", 16, 17));
  ASSERT_TRUE(media::PatchArchiveStatus(path, "5", 16, 17));
  EXPECT_EQ(Arc().substr(100, p16.size()), "<id=5><pict=-17>");
  EXPECT_FALSE(media::PatchArchiveStatus(path, "5", 16, 17));
  EXPECT_EQ(Arc().substr(29000, 17), "<id=15><pict=-16>");
}

TEST_F(Archive, StatusPatchFindsAnOccurrenceAcrossAWindowBorder) {
  std::string body(25000, '.');
  body.replace(25000 - 10000 - 5, 16, "<id=9><pict=-18>");
  dir_.Put("private.arc", body);
  const std::string path = dir_.File("private.arc");
  ASSERT_TRUE(media::PatchArchiveStatus(path, "9", 18, 17));
  EXPECT_EQ(Arc().substr(25000 - 10005, 16), "<id=9><pict=-17>");
  EXPECT_EQ(Arc().size(), 25000u);
  // Short file, missing file, pictures of different widths.
  dir_.Put("short.arc", "<id=1><pict=-16>\n");
  EXPECT_TRUE(media::PatchArchiveStatus(dir_.File("short.arc"), "1", 16, 17));
  EXPECT_EQ(dir_.Get("short.arc"), "<id=1><pict=-17>\n");
  EXPECT_FALSE(media::PatchArchiveStatus(dir_.File("none.arc"), "1", 16, 17));
  EXPECT_FALSE(media::PatchArchiveStatus(dir_.File("short.arc"), "1", 17, 100));
  EXPECT_EQ(dir_.Get("short.arc"), "<id=1><pict=-17>\n");
}

}  // namespace
