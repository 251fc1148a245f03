#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include "temp_dir.h"
#include "text/cp1251.h"

namespace {

using settings::IniFile;
using text::W;

TEST(IniFile, FirstWriteCreatesTheFileAndEveryWriteReachesTheDisk) {
  TempDir dir;
  IniFile ini(dir.File("molvat.ini"));
  EXPECT_FALSE(ini.Read("Global", "Server").has_value());
  EXPECT_FALSE(dir.Exists("molvat.ini"));

  ASSERT_TRUE(ini.Write("Global", "Server", "127.0.0.1"));
  ASSERT_TRUE(ini.WriteInt("Global", "Port1", 8080));
  ASSERT_TRUE(ini.WriteBool("Sounds", "PlayNow", false));
  ASSERT_TRUE(ini.Write("Global", "ChatDir", "http://h/"));
  EXPECT_EQ(dir.Get("molvat.ini"),
            "[Global]\r\nServer=127.0.0.1\r\nPort1=8080\r\nChatDir=http://h/\r\n"
            "[Sounds]\r\nPlayNow=0\r\n");

  // A second reader of the same file sees each write at once.
  IniFile other(dir.File("molvat.ini"));
  EXPECT_EQ(other.ReadInt("Global", "Port1", 0), 8080);
  ASSERT_TRUE(ini.WriteInt("Global", "Port1", 9000));
  EXPECT_EQ(other.ReadInt("Global", "Port1", 0), 9000);
  EXPECT_EQ(dir.EntryCount(), 1u);  // the temporary file of the replace is gone
}

TEST(IniFile, NamesCompareWithoutCaseCyrillicIncluded) {
  TempDir dir;
  dir.Put("molvat.ini", W("[GLOBAL]\nfinetype=2\n[translit]\nА=a\nЁ=jo\n"));
  IniFile ini(dir.File("molvat.ini"));
  EXPECT_EQ(ini.ReadInt("Global", "FineType", 0), 2);
  EXPECT_EQ(ini.Read("Translit", W("а")), "a");
  EXPECT_EQ(ini.Read("Translit", W("ё")), "jo");
  EXPECT_FALSE(ini.Read("Translit", W("б")).has_value());

  // Writing an existing key in another case replaces it and keeps the spelling.
  ASSERT_TRUE(ini.WriteInt("Global", "FINETYPE", 3));
  ASSERT_TRUE(ini.Write("TRANSLIT", W("а"), "q"));
  EXPECT_EQ(dir.Get("molvat.ini"), W("[GLOBAL]\r\nfinetype=3\r\n[translit]\r\nА=q\r\nЁ=jo\r\n"));
}

TEST(IniFile, ValuesAreStoredAsGivenAndReadWithoutSurroundingBlanks) {
  TempDir dir;
  IniFile ini(dir.File("molvat.ini"));
  std::string hello = W("Прибежал %s, \"весело\" ; = [x] ¦|");
  ASSERT_TRUE(ini.Write("Global", "HelloText", hello));
  EXPECT_EQ(ini.Read("Global", "HelloText"), hello);
  EXPECT_NE(dir.Get("molvat.ini").find("HelloText=" + hello + "\r\n"), std::string::npos);

  dir.Put("molvat.ini", "[Global]\r\n  Server =  host name \t\r\nEmpty=\r\nNoEquals\r\n;Port1=1\r\n");
  EXPECT_EQ(ini.Read("Global", "Server"), "host name");
  EXPECT_EQ(ini.ReadString("Global", "Empty", "fallback"), "");
  EXPECT_EQ(ini.ReadString("Global", "Absent", "fallback"), "fallback");
  EXPECT_FALSE(ini.Read("Global", "NoEquals").has_value());
  EXPECT_FALSE(ini.Read("Global", ";Port1").has_value());
  EXPECT_FALSE(ini.Read("Global", "Port1").has_value());
}

TEST(IniFile, NumbersAndBooleans) {
  TempDir dir;
  dir.Put("molvat.ini",
          "[G]\nA=12\nB=-3\nC=12x\nD=\nE=99999999999\nF=+7\n"
          "T=5\nZ=0\nN=yes\n");
  IniFile ini(dir.File("molvat.ini"));
  EXPECT_EQ(ini.ReadInt("G", "A", 1), 12);
  EXPECT_EQ(ini.ReadInt("G", "B", 1), -3);
  EXPECT_EQ(ini.ReadInt("G", "C", 1), 1);  // not a number: the default
  EXPECT_EQ(ini.ReadInt("G", "D", 1), 1);
  EXPECT_EQ(ini.ReadInt("G", "E", 1), 1);  // beyond 32 bits
  EXPECT_EQ(ini.ReadInt("G", "F", 1), 7);
  EXPECT_TRUE(ini.ReadBool("G", "T", false));  // any non-zero number
  EXPECT_FALSE(ini.ReadBool("G", "Z", true));
  EXPECT_TRUE(ini.ReadBool("G", "N", true));  // not a number: the default
  EXPECT_FALSE(ini.ReadBool("G", "N", false));
}

TEST(IniFile, NewKeysGoIntoTheirSectionAndOtherLinesStay) {
  TempDir dir;
  dir.Put("molvat.ini", "; a comment\n[Global]\nServer=a\n\n[Sounds]\nLastWav=4\n");
  IniFile ini(dir.File("molvat.ini"));
  ASSERT_TRUE(ini.WriteInt("Global", "Port1", 1));
  ASSERT_TRUE(ini.Write("Caching", "Type", "2"));
  EXPECT_EQ(dir.Get("molvat.ini"),
            "; a comment\r\n[Global]\r\nServer=a\r\nPort1=1\r\n\r\n[Sounds]\r\nLastWav=4\r\n"
            "[Caching]\r\nType=2\r\n");
  // A file whose last line has no line end keeps that line.
  dir.Put("molvat.ini", "[Global]\nServer=a");
  ASSERT_TRUE(ini.Write("Global", "QelDir", "q"));
  EXPECT_EQ(dir.Get("molvat.ini"), "[Global]\r\nServer=a\r\nQelDir=q\r\n");
}

TEST(IniFile, LineEndsInValuesAndBadNamesCannotAddKeys) {
  TempDir dir;
  IniFile ini(dir.File("molvat.ini"));
  ASSERT_TRUE(ini.Write("Global", "GoAwayText", "away\r\n[Security]\r\nDebugMode=1"));
  EXPECT_FALSE(ini.Read("Security", "DebugMode").has_value());
  EXPECT_EQ(ini.Read("Global", "GoAwayText"), "away  [Security]  DebugMode=1");

  for (std::string key : {"", "a=b", "a\nb", ";x", "[x", " lead", "trail "})
    EXPECT_FALSE(ini.Write("Global", key, "v")) << key;
  for (std::string section : {"", "a]b", "a\nb", " x"})
    EXPECT_FALSE(ini.Write(section, "Key", "v")) << section;
  EXPECT_EQ(ini.ReadSection("Global").size(), 1u);
}

TEST(IniFile, DeleteAndReadSection) {
  TempDir dir;
  IniFile ini(dir.File("molvat.ini"));
  // Deleting from a missing file does not create it.
  EXPECT_TRUE(ini.Delete("Global", "Port"));
  EXPECT_FALSE(dir.Exists("molvat.ini"));

  dir.Put("molvat.ini", "[Global]\nPort=1\nport1=2\nPORT=3\n[Other]\nPort=4\n");
  ASSERT_TRUE(ini.Delete("Global", "Port"));
  EXPECT_FALSE(ini.Read("Global", "Port").has_value());
  EXPECT_EQ(ini.ReadInt("Global", "Port1", 0), 2);
  EXPECT_EQ(ini.ReadInt("Other", "Port", 0), 4);

  using Section = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(ini.ReadSection("GLOBAL"), (Section{{"port1", "2"}}));
  EXPECT_EQ(ini.ReadSection("Other"), (Section{{"Port", "4"}}));
  EXPECT_TRUE(ini.ReadSection("None").empty());
}

TEST(IniFile, ReadOnlyFileRefusesWritesAndStaysAsItWas) {
  TempDir dir;
  const std::string before = "[Global]\r\nServer=a\r\nPort=1\r\n";
  dir.Put("molvat.ini", before);
  dir.MakeReadOnly("molvat.ini");
  IniFile ini(dir.File("molvat.ini"));
  EXPECT_FALSE(ini.Write("Global", "Server", "b"));
  EXPECT_FALSE(ini.Write("Global", "New", "b"));
  EXPECT_FALSE(ini.Delete("Global", "Port"));
  EXPECT_EQ(dir.Get("molvat.ini"), before);
  EXPECT_EQ(ini.Read("Global", "Server"), "a");
  EXPECT_EQ(dir.EntryCount(), 1u);
}

}  // namespace
