#include "text/line_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "temp_dir.h"

namespace {

using Lines = std::vector<std::string>;

TEST(LineFile, LineEndsAndTheUnterminatedLastLine) {
  TempDir dir;
  // CR LF and bare LF mixed; a CR not followed by LF stays in the entry;
  // empty entries count; the text after the last line end is not an entry.
  dir.Put("a.lst", "one\r\ntwo\nthr\ree\r\n\r\n\nfive\r\r\nhalf");
  EXPECT_EQ(text::ReadLineFile(dir.File("a.lst")),
            (Lines{"one", "two", "thr\ree", "", "", "five\r"}));
  EXPECT_EQ(text::SplitLineFileText("one\r\ntwo\nthr\ree\r\n\r\n\nfive\r\r\nhalf"),
            (Lines{"one", "two", "thr\ree", "", "", "five\r"}));

  dir.Put("b.lst", "only a partial line\r");
  EXPECT_TRUE(text::ReadLineFile(dir.File("b.lst")).empty());
  EXPECT_TRUE(text::ReadLineFile(dir.File("missing.lst")).empty());
  EXPECT_TRUE(text::ReadLineFile(dir.Path()).empty());  // a directory reads as nothing
}

TEST(LineFile, LinesLongerThanOneReadBlock) {
  TempDir dir;
  // Entries around and beyond the read block size, with the CR of a CR LF
  // falling on every position relative to a block end.
  Lines entries;
  std::string bytes;
  for (size_t len : {65535u, 65534u, 1u, 200000u, 0u, 65536u, 131071u}) {
    std::string e(len, 'x');
    for (size_t i = 0; i < len; i += 997) e[i] = static_cast<char>('a' + i % 26);
    entries.push_back(e);
    bytes += e + (len % 2 ? "\r\n" : "\n");
  }
  dir.Put("long.lst", bytes);
  EXPECT_EQ(text::ReadLineFile(dir.File("long.lst")), entries);
}

TEST(LineFile, WriterPutsCrLfAfterEveryEntryAndKeepsEntriesWhole) {
  TempDir dir;
  std::string path = dir.File("offline.lst");
  ASSERT_TRUE(text::WriteLineFile(path, {"\xC2\xE0\xF1\xFF", "", "two words"}));
  EXPECT_EQ(dir.Get("offline.lst"), "\xC2\xE0\xF1\xFF\r\n\r\ntwo words\r\n");

  // A line end inside an entry would split it into two on the next start.
  ASSERT_TRUE(text::WriteLineFile(path, {"evil\r\nname", "b\nc"}));
  EXPECT_EQ(text::ReadLineFile(path), (Lines{"evil\r name", "b c"}));
  ASSERT_TRUE(text::WriteLineFile(path, {"cr\r", "in\rside"}));
  EXPECT_EQ(text::ReadLineFile(path), (Lines{"cr\r", "in\rside"}));

  ASSERT_TRUE(text::WriteLineFile(path, {}));
  EXPECT_EQ(dir.Get("offline.lst"), "");
}

TEST(LineFile, AtomicReplace) {
  TempDir dir;
  std::string path = dir.File("waitacq.dat");
  dir.Put("waitacq.dat", "old\r\n");
  ::chmod(path.c_str(), 0640);
  ASSERT_TRUE(text::ReplaceFileAtomically(path, "new\r\n"));
  EXPECT_EQ(dir.Get("waitacq.dat"), "new\r\n");
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(dir.EntryCount(), 1u);  // no temporary file left behind

  // A read-only file is left alone, even for a user the permissions do not bind.
  dir.MakeReadOnly("waitacq.dat");
  EXPECT_TRUE(text::IsReadOnlyFile(path));
  EXPECT_FALSE(text::ReplaceFileAtomically(path, "other\r\n"));
  EXPECT_EQ(dir.Get("waitacq.dat"), "new\r\n");
  EXPECT_EQ(dir.EntryCount(), 1u);

  // Something that is not a regular file is never replaced.
  std::filesystem::create_directory(dir.File("sub"));
  EXPECT_FALSE(text::ReplaceFileAtomically(dir.File("sub"), "x"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("sub")));
  // Nor can a file be made in a directory that does not exist.
  EXPECT_FALSE(text::WriteLineFile(dir.File("nowhere/offline.lst"), {"a"}));
}

TEST(LineFile, ANewFileIsTheOwnersOnlyAnExistingOneKeepsItsMode) {
  TempDir dir;
  // Whatever the process's mask lets through.
  const mode_t oldMask = ::umask(022);
  ASSERT_TRUE(text::WriteLineFile(dir.File("offline.lst"), {"friend"}));
  ASSERT_TRUE(text::ReplaceFileAtomically(dir.File("molvat.ini"), "[Global]\r\nPassword=x\r\n"));
  dir.Put("shared.txt", "old");
  ::chmod(dir.File("shared.txt").c_str(), 0644);
  ASSERT_TRUE(text::ReplaceFileAtomically(dir.File("shared.txt"), "new"));
  ::umask(oldMask);
  struct stat st;
  ASSERT_EQ(::stat(dir.File("offline.lst").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  ASSERT_EQ(::stat(dir.File("molvat.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  ASSERT_EQ(::stat(dir.File("shared.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST(LineFile, ReadWholeFileKeepsEveryByte) {
  TempDir dir;
  std::string all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
  std::string big;
  for (int i = 0; i < 1000; ++i) big += all;
  ASSERT_TRUE(text::ReplaceFileAtomically(dir.File("bytes"), big));
  EXPECT_EQ(text::ReadWholeFile(dir.File("bytes")), big);
  EXPECT_FALSE(text::ReadWholeFile(dir.File("absent")).has_value());
}

}  // namespace
