#include "settings/settings.h"

#include <filesystem>
#include <gtest/gtest.h>

#include <limits>

#include "temp_dir.h"
#include "text/cp1251.h"

namespace {

using settings::IniFile;
using settings::Settings;
using text::W;

TEST(Settings, FreshStartWritesExactlyTheFourHostKeys) {
  TempDir dir;
  Settings s;
  s.Load(dir.Path());
  EXPECT_EQ(dir.Get("molvat.ini"),
            "[Global]\r\n"
            "ChatDir=http://127.0.0.1:8081/cgi-bin/chat/\r\n"
            "QelDir=http://127.0.0.1:8081/smileset/\r\n"
            "Server=127.0.0.1\r\n"
            "Port1=8080\r\n");

  // Defaults that differ from a zero or empty value.
  EXPECT_TRUE(s.CheckIP && s.Animation && s.PlayNow && s.RememberPassword);
  EXPECT_EQ(s.AnswerType, (std::array<int, 4>{0, 1, 0, 1}));
  EXPECT_EQ(s.StealFocus, (std::array<bool, 4>{false, true, false, true}));
  EXPECT_EQ(s.TranslitTable, settings::DefaultTranslitTable());

  // The first close adds its keys, in its order.
  s.SaveOnClose();
  EXPECT_EQ(dir.Get("molvat.ini"),
            "[Global]\r\n"
            "ChatDir=http://127.0.0.1:8081/cgi-bin/chat/\r\n"
            "QelDir=http://127.0.0.1:8081/smileset/\r\n"
            "Server=127.0.0.1\r\n"
            "Port1=8080\r\n"
            "Preview=0\r\nAnimation=1\r\nRussianInterface=0\r\nCurrentAckID=1\r\n"
            "CheckIP=1\r\nFineType=0\r\n"
            "[Sounds]\r\nLastWav=1\r\n");
}

TEST(Settings, StoredValuesAreReadWhateverTheCaseOfTheirNames) {
  TempDir dir;
  dir.Put("molvat.ini", W("[global]\r\nTRANSLIT=1\r\nserver=chat.example\r\nport1=1234\r\n"
                          "textcolor=0000FF\r\nUserName=Вася\r\nSex=2\r\nArcView=abc\r\n"
                          "[SOUNDS]\r\nanswertype2=2\r\nwave2=/tmp/ring.wav\r\nstealfocus1=0\r\n"
                          "[caching]\r\ntype=0\r\n[security]\r\ndebugmode=1\r\n"));
  Settings s;
  s.Load(dir.Path());
  EXPECT_TRUE(s.Translit);
  EXPECT_EQ(s.Server, "chat.example");
  EXPECT_EQ(s.Port1, 1234);
  EXPECT_EQ(s.TextColor, "0000FF");
  EXPECT_EQ(s.UserName, W("Вася"));
  EXPECT_EQ(s.Sex, 2);
  EXPECT_EQ(s.ArcView, 60);  // not a number: the default
  EXPECT_EQ(s.AnswerType[2], 2);
  EXPECT_EQ(s.Wave[2], "/tmp/ring.wav");
  EXPECT_FALSE(s.StealFocus[1]);
  EXPECT_TRUE(s.StealFocus[3]);
  EXPECT_EQ(s.Caching.Type, 0);
  EXPECT_TRUE(s.DebugMode);
  // The write-backs update the existing keys instead of adding new ones.
  IniFile ini(dir.File("molvat.ini"));
  EXPECT_EQ(ini.ReadSection("Global").size(), 9u);
}

TEST(Settings, StartUpDeletesObsoleteKeysAndClampsFineTypeAndArcLimit) {
  TempDir dir;
  dir.Put("molvat.ini", "[Global]\r\nPort=80\r\nUserDir=C:\\x\r\nFineType=7\r\nArcLimit=0\r\n");
  dir.Put(".molvat.ini.a1B2c3", "left by a kill");
  dir.Put(".offline.lst.Zz9Yy8", "left by a kill");
  Settings s;
  s.Load(dir.Path());
  EXPECT_FALSE(std::filesystem::exists(dir.File(".molvat.ini.a1B2c3")));
  EXPECT_FALSE(std::filesystem::exists(dir.File(".offline.lst.Zz9Yy8")));
  settings::IniFile ini = s.File();
  EXPECT_FALSE(ini.Read("Global", "Port").has_value());
  EXPECT_FALSE(ini.Read("Global", "UserDir").has_value());
  EXPECT_EQ(s.FineType, 0);
  EXPECT_EQ(s.ArcLimit, 2);
  s.SaveOnClose();
  EXPECT_EQ(ini.Read("Global", "FineType"), "0");

  for (auto [stored, fine] : {std::pair{"3", 3}, {"-1", 0}, {"4", 0}, {"x", 0}}) {
    ini.Write("Global", "FineType", stored);
    s.Load(dir.Path());
    EXPECT_EQ(s.FineType, fine) << stored;
  }
  for (auto [stored, limit] : {std::pair{"1000", 1000}, {"1001", 1000}, {"-5", 2}, {"7", 7}}) {
    ini.Write("Global", "ArcLimit", stored);
    s.Load(dir.Path());
    EXPECT_EQ(s.ArcLimit, limit) << stored;
  }
}

TEST(Settings, TransliterationTableDefaultRule) {
  TempDir dir;
  dir.Put("molvat.ini", W("[Translit]\r\nА=a\r\nDivider=\r\n"));
  Settings s;
  s.Load(dir.Path());
  // One stored letter: the table is taken as read, every other letter empty.
  EXPECT_EQ(s.TranslitTable[0], "a");
  for (int i = 1; i < settings::kTranslitLetterCount; ++i) EXPECT_EQ(s.TranslitTable[i], "") << i;
  EXPECT_EQ(s.Divider, "");

  // Without it the default table comes back, and the file is not written.
  settings::IniFile ini = s.File();
  ini.Delete("Translit", W("а"));
  std::string before = dir.Get("molvat.ini");
  s.Load(dir.Path());
  EXPECT_EQ(s.TranslitTable, settings::DefaultTranslitTable());
  EXPECT_EQ(dir.Get("molvat.ini"), before);

  // The letter order puts the soft sign before "ы" and the hard sign after.
  ini.Write("Translit", W("ъ"), "hh");
  s.Load(dir.Path());
  EXPECT_EQ(s.TranslitTable[29], "hh");
  EXPECT_EQ(settings::TranslitLowerLetters().substr(27, 3), W("ьыъ"));
  EXPECT_EQ(settings::DefaultTranslitTable()[28], "y");
}

TEST(Settings, SetWritesTheKeyOfTheField) {
  TempDir dir;
  Settings s;
  s.Load(dir.Path());
  settings::IniFile ini = s.File();
  EXPECT_TRUE(s.Set(s.TextColor, "0000FF"));
  EXPECT_TRUE(s.Set(s.Caching.QELTime, 5));
  EXPECT_TRUE(s.Set(s.StealFocus[2], true));
  EXPECT_TRUE(s.Set(s.Wave[3], "/x.wav"));
  EXPECT_TRUE(s.Set(s.TranslitTable[6], "yo"));
  EXPECT_TRUE(s.Set(s.DebugMode, true));
  EXPECT_EQ(ini.Read("Global", "TextColor"), "0000FF");
  EXPECT_EQ(ini.Read("Caching", "QELTime"), "5");
  EXPECT_EQ(ini.Read("Sounds", "StealFocus2"), "1");
  EXPECT_EQ(ini.Read("Sounds", "Wave3"), "/x.wav");
  EXPECT_EQ(ini.Read("Translit", W("ё")), "yo");
  EXPECT_EQ(ini.Read("Security", "DebugMode"), "1");

  // Everything written comes back on the next start.
  Settings again;
  again.Load(dir.Path());
  EXPECT_EQ(again.TextColor, "0000FF");
  EXPECT_EQ(again.Caching.QELTime, 5);
  EXPECT_TRUE(again.StealFocus[2]);
  EXPECT_EQ(again.Wave[3], "/x.wav");
  EXPECT_EQ(again.TranslitTable[6], "yo");
  EXPECT_EQ(again.TranslitTable[0], "");  // a stored table replaces the default whole

  // Fields without a key, and objects that are not fields, are refused.
  EXPECT_FALSE(s.Set(s.ProgramDir, std::string("/elsewhere/")));
  EXPECT_FALSE(s.Save(again.TextColor));
  std::string section, key;
  ASSERT_TRUE(s.KeyOf(&s.AnswerType[1], &section, &key));
  EXPECT_EQ(section + "/" + key, "Sounds/AnswerType1");
}

TEST(Settings, ReadOnlyFileKeepsTheValuesInMemory) {
  TempDir dir;
  Settings s;
  s.Load(dir.Path());
  std::string before = dir.Get("molvat.ini");
  dir.MakeReadOnly("molvat.ini");
  EXPECT_FALSE(s.Set(s.FontSize, 20));
  EXPECT_EQ(s.FontSize, 20);
  EXPECT_EQ(s.TakeAckID(), 1);
  EXPECT_EQ(s.CurrentAckID, 2);
  s.SaveOnClose();
  EXPECT_EQ(dir.Get("molvat.ini"), before);
  // Loading again from the unchanged file is no error either.
  s.Load(dir.Path());
  EXPECT_EQ(s.FontSize, 11);
}

TEST(Settings, TheSingleWriters) {
  TempDir dir;
  Settings s;
  s.Load(dir.Path());
  settings::IniFile ini = s.File();

  // Every message number is on disk before the next one is handed out.
  EXPECT_EQ(s.TakeAckID(), 1);
  EXPECT_EQ(s.TakeAckID(), 2);
  EXPECT_EQ(ini.ReadInt("Global", "CurrentAckID", 0), 3);
  Settings afterCrash;
  afterCrash.Load(dir.Path());
  EXPECT_EQ(afterCrash.TakeAckID(), 3);
  s.Set(s.CurrentAckID, std::numeric_limits<int>::max());
  EXPECT_EQ(s.TakeAckID(), std::numeric_limits<int>::max());
  EXPECT_EQ(s.CurrentAckID, 1);

  s.UserNum = "42";
  s.UserName = W("Вася");
  s.Password = "pw";
  s.UserMail = "a@b";
  s.UserSmileNum = "7";
  s.SaveIdentity();
  EXPECT_EQ(ini.Read("Global", "UserName"), W("Вася"));
  EXPECT_EQ(ini.Read("Global", "UserSmileNum"), "7");
  s.ForgetNameAndPassword();
  EXPECT_EQ(s.UserName, "");
  EXPECT_EQ(ini.Read("Global", "UserName"), "");
  EXPECT_EQ(ini.Read("Global", "Password"), "");
  EXPECT_EQ(ini.Read("Global", "UserNum"), "42");

  s.SetServerAddress("http://new/cgi-bin/chat/", 9001, "new");
  Settings again;
  again.Load(dir.Path());
  EXPECT_EQ(again.ChatDir, "http://new/cgi-bin/chat/");
  EXPECT_EQ(again.Port1, 9001);
  EXPECT_EQ(again.Server, "new");
}

TEST(Settings, LoadStartsFromTheDefaults) {
  TempDir first, second;
  Settings s;
  first.Put("molvat.ini", "[Global]\r\nFontSize=30\r\n[Translit]\r\nDivider=-\r\n");
  s.Load(first.Path());
  EXPECT_EQ(s.FontSize, 30);
  s.Load(second.Path());
  EXPECT_EQ(s.FontSize, 11);
  EXPECT_EQ(s.Divider, "_");
  EXPECT_EQ(s.ProgramDir, second.Path());
  EXPECT_EQ(s.IniPath(), second.File("molvat.ini"));
  std::string noSlash = second.Path().substr(0, second.Path().size() - 1);
  s.Load(noSlash);
  EXPECT_EQ(s.IniPath(), second.File("molvat.ini"));
}

}  // namespace
