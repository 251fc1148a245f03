// File names made from user names, and what a killed replace leaves behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "temp_dir.h"
#include "text/bytes.h"
#include "text/line_file.h"

namespace {

TEST(SafeFileName, NamesTooLongForAFileAreCutWithAHashAndNeverCollide) {
  const std::string shortName(150, 'a');
  EXPECT_EQ(text::SafeFileName(shortName), shortName);
  std::set<std::string> made;
  // Long names differing only at their end, with escapes around the cut and
  // multi-byte UTF-8 letters, all fit a file name with room for a number.
  for (int i = 0; i < 50; ++i) {
    std::string name = std::string(170, 'b') + "%%%%/" + std::string(100, 'c') + std::to_string(i);
    std::string cyrillic;
    for (int k = 0; k < 150; ++k) cyrillic += "\xD0\x96";
    for (const std::string& n : {name, cyrillic + std::to_string(i)}) {
      const std::string safe = text::SafeFileName(n);
      EXPECT_LE(safe.size(), text::kMaxSafeFileName);
      EXPECT_EQ(safe, text::SafeFileName(n));  // the same name, the same file
      EXPECT_EQ(safe.find('/'), std::string::npos);
      made.insert(safe);
      // No cut in the middle of an escape or a letter.
      const size_t mark = safe.find("%~");
      ASSERT_NE(mark, std::string::npos);
      const std::string head = safe.substr(0, mark);
      for (size_t p = head.find('%'); p != std::string::npos; p = head.find('%', p + 1))
        EXPECT_LE(p + 3, head.size());
      EXPECT_NE(static_cast<unsigned char>(head.back()), 0xD0);
    }
  }
  EXPECT_EQ(made.size(), 100u);
  // A short name spelling the mark cannot meet a long one: its "%" is escaped.
  EXPECT_EQ(text::SafeFileName("a%~0123").find("%~"), std::string::npos);

  // The cut name can really be created.
  TempDir dir;
  const std::string path = dir.Path() + text::SafeFileName(std::string(400, 'z')) + "123.cwv";
  EXPECT_TRUE(text::ReplaceFileAtomically(path, "x"));
}

TEST(StaleTemporaries, WhatAKilledReplaceLeftIsRemovedAndNothingElse) {
  TempDir dir;
  for (const char* name : {".molvat.ini.Ab12Cd", ".offline.lst.zzzzzz", "molvat.ini", ".hidden", "Bob1.cwv",
                           "..molvat.ini.Ab12Cd", ".x.abc", "%2eBob.Ab12Cd"})
    std::ofstream(dir.Path() + name) << "x";
  std::filesystem::create_directory(dir.Path() + ".dir.Ab12Cd");
  EXPECT_EQ(text::RemoveStaleReplaceTemporaries(dir.Path()), 2u);
  std::set<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path())) left.insert(e.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{"molvat.ini", ".hidden", "Bob1.cwv", "..molvat.ini.Ab12Cd", ".x.abc",
                                          "%2eBob.Ab12Cd", ".dir.Ab12Cd"}));
  EXPECT_EQ(text::RemoveStaleReplaceTemporaries(dir.Path() + "missing/"), 0u);
}

}  // namespace
