// The settings dialog's logic on a real program directory: what OK stores
// and in which order, what Cancel leaves alone, the transliteration editor,
// the contact list moves, the event reactions, the cache and archive pages
// and what reaches the server.
#include "setup/settings_editor.h"

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>

#include "temp_dir.h"
#include "text/cp1251.h"

using media::SettingsEditor;
using text::W;

namespace {

struct Host : media::SettingsDialogHost {
  bool online = false;
  bool playable = true;
  bool answer = true;
  std::vector<std::string> sent, asked, told, played;
  int beeps = 0, cacheClears = 0, highlightRefreshes = 0;

  bool SocketOpen() override { return online; }
  void SendLine(const std::string& line) override { sent.push_back(line); }
  void ClearPictureCache() override { ++cacheClears; }
  void Beep() override { ++beeps; }
  bool PlayWave(const std::string& file) override {
    played.push_back(file);
    return playable;
  }
  void RefreshMoveHighlighting() override { ++highlightRefreshes; }
  bool Ask(const std::string& caption, const std::string& text, bool) override {
    asked.push_back(caption + "|" + text);
    return answer;
  }
  void Tell(const std::string& caption, const std::string& text) override { told.push_back(caption + "|" + text); }
};

class SettingsEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.Load(dir.Path());
    settings.RussianInterface = true;
  }
  // A fresh dialog opened on the current settings and lists.
  SettingsEditor& Open() {
    editor = std::make_unique<SettingsEditor>(settings, media::ContactListsRef{friends, blackList}, host);
    editor->Load();
    return *editor;
  }
  std::vector<std::string> Keys(const std::string& section) const {
    std::vector<std::string> keys;
    for (const auto& [key, value] : settings.File().ReadSection(section)) keys.push_back(key);
    return keys;
  }
  std::string Stored(const std::string& section, const std::string& key) const {
    return settings.File().ReadString(section, key, "<none>");
  }
  int LetterIndex(const char* utf8Letter) const {
    return int(settings::TranslitLowerLetters().find(W(utf8Letter)));
  }

  TempDir dir;
  settings::Settings settings;
  std::vector<std::string> friends, blackList;
  Host host;
  std::unique_ptr<SettingsEditor> editor;
};

TEST_F(SettingsEditorTest, OkWritesExactlyTheKeysOfTheOrder) {
  std::filesystem::remove(dir.File("molvat.ini"));
  SettingsEditor& e = Open();
  e.rememberPassword = false;
  e.Ok();
  EXPECT_EQ(Keys("Global"),
            (std::vector<std::string>{"TextColor", "BackColor", "FontSize", "HelloText", "GoAwayText", "HilightMoves",
                                      "RememberPassword", "Password", "Sex", "Translit", "CreateArchive",
                                      "SndArchiving", "ZipEnable", "ArcLimit", "ArcView", "AutoOffLine",
                                      "FilterAll"}));
  std::vector<std::string> translit;
  for (char letter : settings::TranslitLowerLetters()) translit.push_back(std::string(1, letter));
  translit.push_back("Divider");
  EXPECT_EQ(Keys("Translit"), translit);
  std::vector<std::string> sounds;
  for (int n = 0; n < 4; ++n)
    for (const char* k : {"AnswerType", "Wave", "StealFocus"}) sounds.push_back(k + std::to_string(n));
  sounds.push_back("PlayNow");
  EXPECT_EQ(Keys("Sounds"), sounds);
  EXPECT_EQ(Keys("Caching"), (std::vector<std::string>{"Type", "QELTime", "NQELTime"}));
  EXPECT_EQ(Keys("Security"), std::vector<std::string>{});
  EXPECT_EQ(host.highlightRefreshes, 1);
  // The colours in the stored form: six upper-case digits, blue first.
  EXPECT_EQ(Stored("Global", "BackColor"), "FFFFFF");
}

// Counts the files renamed into a directory (an atomic replace ends with
// one), as the kernel reports them.
class RenameCounter {
 public:
  explicit RenameCounter(const std::string& dir) : fd_(inotify_init1(IN_NONBLOCK)) {
    inotify_add_watch(fd_, dir.c_str(), IN_MOVED_TO);
  }
  ~RenameCounter() { close(fd_); }
  // Renames onto `name` since the last call.
  int Take(const std::string& name) {
    int count = 0;
    alignas(inotify_event) char buffer[8192];
    for (ssize_t n; (n = read(fd_, buffer, sizeof buffer)) > 0;)
      for (char* p = buffer; p < buffer + n;) {
        auto* event = reinterpret_cast<inotify_event*>(p);
        if (event->len && name == event->name) ++count;
        p += sizeof(inotify_event) + event->len;
      }
    return count;
  }

 private:
  int fd_;
};

TEST_F(SettingsEditorTest, OneOkAndOneCloseEachReplaceTheFileOnce) {
  RenameCounter renames(dir.Path());
  ASSERT_EQ(renames.Take("molvat.ini"), 0);
  SettingsEditor& e = Open();
  e.fontSize = 15;
  e.divider = "+";
  e.wave[2] = "/tmp/x.wav";
  e.Ok();
  EXPECT_EQ(renames.Take("molvat.ini"), 1);
  EXPECT_EQ(Stored("Global", "FontSize"), "15");
  EXPECT_EQ(Stored("Translit", "Divider"), "+");
  EXPECT_EQ(Stored("Sounds", "Wave2"), "/tmp/x.wav");
  EXPECT_EQ(Stored("Caching", "NQELTime"), "300");
  Open().Ok();
  EXPECT_EQ(renames.Take("molvat.ini"), 1);

  settings.CurrentAckID = 77;
  settings.FineType = 2;
  settings.SaveOnClose();
  EXPECT_EQ(renames.Take("molvat.ini"), 1);
  EXPECT_EQ(Stored("Global", "CurrentAckID"), "77");
  EXPECT_EQ(Stored("Global", "FineType"), "2");
  // A single write outside an operation still reaches the disk at once.
  settings.TakeAckID();
  EXPECT_EQ(renames.Take("molvat.ini"), 1);
  EXPECT_EQ(Stored("Global", "CurrentAckID"), "78");
  // A read-only file refuses the writes of a batch as it refuses single ones.
  std::filesystem::permissions(dir.File("molvat.ini"), std::filesystem::perms::owner_read);
  SettingsEditor& f = Open();
  f.fontSize = 20;
  f.Ok();
  EXPECT_EQ(renames.Take("molvat.ini"), 0);
  EXPECT_EQ(Stored("Global", "FontSize"), "15");
  std::filesystem::permissions(dir.File("molvat.ini"), std::filesystem::perms::owner_all);
}

TEST_F(SettingsEditorTest, EditedPagesReachSettingsAndFileOnOk) {
  SettingsEditor& e = Open();
  e.textColor = 0x0000FF;  // red
  e.fontSize = 17;
  e.helloText = W("Привет, %s");
  e.divider = "#";
  e.arcView = 100;
  e.goAway = W("ушёл");
  e.nqelTime = 9;
  host.online = true;
  e.privInfo = {"typed on the Info page", W("и сохранено")};
  e.Ok();
  EXPECT_EQ(settings.TextColor, "0000FF");
  EXPECT_EQ(settings.FontSize, 17);
  EXPECT_EQ(settings.HelloText, W("Привет, %s"));
  EXPECT_EQ(Stored("Translit", "Divider"), "#");
  EXPECT_EQ(Stored("Global", "ArcView"), "100");
  EXPECT_EQ(Stored("Global", "GoAwayText"), W("ушёл"));
  EXPECT_EQ(Stored("Caching", "NQELTime"), "9");
  // OK keeps the personal information without sending it.
  EXPECT_EQ(dir.Get("privinfo.txt"), "typed on the Info page\r\n" + W("и сохранено\r\n"));
  for (const std::string& line : host.sent) EXPECT_EQ(line.find("You="), std::string::npos) << line;

  // A second opening shows what was stored.
  SettingsEditor& again = Open();
  EXPECT_EQ(again.privInfo, (std::vector<std::string>{"typed on the Info page", W("и сохранено")}));
  EXPECT_EQ(again.textColor, 0x0000FFu);
  EXPECT_EQ(again.fontSize, 17);
  EXPECT_EQ(again.divider, "#");
}

TEST_F(SettingsEditorTest, CancelLeavesFileListsAndSettingsAlone) {
  friends = {"bob", "alice"};
  blackList = {"zed"};
  const std::string before = dir.Get("molvat.ini");
  SettingsEditor& e = Open();
  e.SelectFriend(0);
  e.ToBlack();
  e.toAdd = "carol";
  e.AddFriend();
  e.SelectLetter(0);
  e.SetEng("q");
  e.SetAnswerType(2);
  e.textColor = 0x123456;
  e.sex = 2;
  editor.reset();  // closed without OK
  EXPECT_EQ(dir.Get("molvat.ini"), before);
  EXPECT_EQ(friends, (std::vector<std::string>{"bob", "alice"}));
  EXPECT_EQ(blackList, std::vector<std::string>{"zed"});
  EXPECT_EQ(settings.TranslitTable[0], "a");
  EXPECT_EQ(settings.AnswerType[0], 0);
  EXPECT_EQ(settings.Sex, 0);
  EXPECT_TRUE(host.sent.empty());
}

TEST_F(SettingsEditorTest, TransliterationEditor) {
  SettingsEditor& e = Open();
  ASSERT_EQ(e.repList.size(), 33u);
  EXPECT_EQ(e.repList[LetterIndex("щ")], W("щ - shch"));
  EXPECT_FALSE(e.EngEnabled());  // no selection, and translit off
  e.translit = true;
  EXPECT_FALSE(e.EngEnabled());
  EXPECT_EQ(e.RusText(), "");
  EXPECT_EQ(e.EngText(), "");

  const int sh = LetterIndex("ш");
  e.SelectLetter(sh);
  EXPECT_TRUE(e.EngEnabled());
  EXPECT_EQ(e.RusText(), W("ш"));
  EXPECT_EQ(e.EngText(), "sh");
  e.SetEng(" SH ");
  EXPECT_EQ(e.repList[sh], W("ш -  SH "));
  e.SelectLetter(0);
  e.SetEng("abcdefgh");  // the edit takes five characters
  EXPECT_EQ(e.EngText(), "abcde");
  e.Ok();
  EXPECT_EQ(settings.TranslitTable[sh], "sh");
  EXPECT_EQ(Stored("Translit", W("ш")), "sh");
  EXPECT_EQ(settings.TranslitTable[0], "abcde");

  // Defaults: only after Yes.
  SettingsEditor& d = Open();
  host.answer = false;
  EXPECT_FALSE(d.RestoreDefaults());
  EXPECT_EQ(d.repList[0], W("а - abcde"));
  ASSERT_EQ(host.asked.size(), 1u);
  EXPECT_EQ(host.asked[0], W("Внимание|Вернуть настройки по умолчанию?"));
  host.answer = true;
  EXPECT_TRUE(d.RestoreDefaults());
  EXPECT_EQ(d.repList[0], W("а - a"));
}

TEST_F(SettingsEditorTest, ContactListMovesKeepTheSelectionRule) {
  friends = {"bob", "Carl", "alice"};
  blackList = {"zed"};
  SettingsEditor& e = Open();
  EXPECT_EQ(e.friends, (std::vector<std::string>{"alice", "bob", "Carl"}));
  EXPECT_FALSE(e.ToBlackEnabled());
  e.SelectFriend(1);
  EXPECT_TRUE(e.ToBlackEnabled() && e.OffDelEnabled());
  e.ToBlack();  // bob goes; the same index stays selected
  EXPECT_EQ(e.friends, (std::vector<std::string>{"alice", "Carl"}));
  EXPECT_EQ(e.blackList, (std::vector<std::string>{"bob", "zed"}));
  EXPECT_EQ(e.friendIndex, 1);
  e.ToBlack();  // Carl was the last: the one before it is selected
  EXPECT_EQ(e.friends, std::vector<std::string>{"alice"});
  EXPECT_EQ(e.friendIndex, 0);
  EXPECT_EQ(e.blackList, (std::vector<std::string>{"bob", "Carl", "zed"}));
  e.DeleteFriend();
  EXPECT_TRUE(e.friends.empty());
  EXPECT_EQ(e.friendIndex, -1);
  EXPECT_FALSE(e.OffDelEnabled());

  e.SelectBlack(2);
  e.ToOff();
  EXPECT_EQ(e.friends, std::vector<std::string>{"zed"});
  EXPECT_EQ(e.blackIndex, 1);
  e.DeleteBlack();
  EXPECT_EQ(e.blackList, std::vector<std::string>{"bob"});
  EXPECT_EQ(e.blackIndex, 0);

  e.Ok();
  EXPECT_EQ(friends, std::vector<std::string>{"zed"});
  EXPECT_EQ(blackList, std::vector<std::string>{"bob"});

  // A name both files list is never doubled by a move.
  friends = {"bob", "bob"};
  blackList = {"bob"};
  SettingsEditor& twice = Open();
  EXPECT_EQ(twice.friends, std::vector<std::string>{"bob"});
  twice.SelectFriend(0);
  twice.ToBlack();
  EXPECT_EQ(twice.blackList, std::vector<std::string>{"bob"});
}

TEST_F(SettingsEditorTest, AddingANameAlreadyListedTellsWhere) {
  friends = {"alice"};
  blackList = {"zed"};
  SettingsEditor& e = Open();
  e.toAdd = "   ";
  EXPECT_FALSE(e.ButAddEnabled());
  e.toAdd = " alice ";
  EXPECT_TRUE(e.ButAddEnabled());
  e.AddFriend();
  e.toAdd = "zed";
  e.AddFriend();
  EXPECT_EQ(host.told, (std::vector<std::string>{W("Внимание|Уже есть в списке оффлайна"),
                                                 W("Внимание|Уже есть в черном списке оффлайна")}));
  EXPECT_EQ(e.toAdd, "zed");
  e.toAdd = " Bob ";
  e.AddFriend();
  EXPECT_EQ(e.friends, (std::vector<std::string>{"alice", "Bob"}));
  EXPECT_EQ(e.toAdd, "");
  EXPECT_EQ(host.told.size(), 2u);
}

TEST_F(SettingsEditorTest, EventReactionsAreEditedPerEvent) {
  SettingsEditor& e = Open();
  EXPECT_EQ(e.event, 0);
  EXPECT_FALSE(e.WavPlayEnabled());  // public messages: no sound
  e.SelectEvent(1);
  EXPECT_TRUE(e.WavPlayEnabled());  // the beep
  e.PlayWave();
  EXPECT_EQ(host.beeps, 1);

  e.SelectEvent(2);
  e.SetAnswerType(2);
  EXPECT_TRUE(e.WavNameEnabled());
  EXPECT_FALSE(e.WavPlayEnabled());  // no file yet
  e.SetWave("/sounds/friend.wav");
  e.SetStealFocus(true);
  EXPECT_TRUE(e.WavPlayEnabled());
  host.playable = false;
  e.PlayWave();
  EXPECT_EQ(host.played, std::vector<std::string>{"/sounds/friend.wav"});
  EXPECT_EQ(host.told, std::vector<std::string>{W("Внимание|Ошибка проигрывания файла")});

  e.SelectEvent(3);
  EXPECT_EQ(e.answerType[3], 1);
  EXPECT_FALSE(e.WavNameEnabled());
  e.SetAnswerType(0);
  e.playNow = false;
  e.Ok();
  EXPECT_EQ(settings.AnswerType, (std::array<int, 4>{0, 1, 2, 0}));
  EXPECT_EQ(settings.Wave[2], "/sounds/friend.wav");
  EXPECT_TRUE(settings.StealFocus[2]);
  EXPECT_EQ(Stored("Sounds", "Wave2"), "/sounds/friend.wav");
  EXPECT_EQ(Stored("Sounds", "AnswerType3"), "0");
  EXPECT_FALSE(settings.PlayNow);
}

TEST_F(SettingsEditorTest, LeavingTheOwnCacheAsksUnlessItWasCleared) {
  SettingsEditor& e = Open();
  EXPECT_EQ(e.cacheType, 2);
  e.cacheType = 0;
  host.answer = true;
  e.Ok();
  EXPECT_EQ(host.asked, std::vector<std::string>{W("Внимание|Очистить существующий кэш?")});
  EXPECT_EQ(host.cacheClears, 1);
  EXPECT_EQ(settings.Caching.Type, 0);

  // Back to the own cache, then away again after clearing it by hand.
  settings.Set(settings.Caching.Type, 2);
  host.asked.clear();
  SettingsEditor& f = Open();
  f.ClearCache();
  EXPECT_FALSE(f.clrCacheEnabled);
  EXPECT_EQ(host.cacheClears, 2);
  f.cacheType = 1;
  f.Ok();
  EXPECT_TRUE(host.asked.empty());
  EXPECT_EQ(host.cacheClears, 2);

  // A stored type without a radio button shows none and is stored as 2.
  settings.Set(settings.Caching.Type, 7);
  SettingsEditor& g = Open();
  EXPECT_EQ(g.cacheType, -1);
  g.Ok();
  EXPECT_EQ(Stored("Caching", "Type"), "2");
}

TEST_F(SettingsEditorTest, ArchiveIsClearedOnlyAfterYes) {
  SettingsEditor& none = Open();
  EXPECT_FALSE(none.clrArchiveEnabled);
  dir.Put("private.arc", "x");
  SettingsEditor& e = Open();
  EXPECT_TRUE(e.clrArchiveEnabled);
  host.answer = false;
  e.ClearArchive();
  EXPECT_TRUE(dir.Exists("private.arc"));
  host.answer = true;
  e.ClearArchive();
  EXPECT_FALSE(dir.Exists("private.arc"));
  EXPECT_FALSE(e.clrArchiveEnabled);
  EXPECT_EQ(host.asked.back(), W("Внимание|Очистить архив привата"));
}

TEST_F(SettingsEditorTest, ForgettingThePasswordClearsOnlyTheFile) {
  settings.Set(settings.Password, "secret");
  SettingsEditor& e = Open();
  e.rememberPassword = false;
  e.Ok();
  EXPECT_EQ(Stored("Global", "Password"), "");
  EXPECT_EQ(Stored("Global", "RememberPassword"), "0");
  EXPECT_EQ(settings.Password, "secret");
}

TEST_F(SettingsEditorTest, NewLookIsSentOnlyWhenItChangedWhileConnected) {
  host.online = true;
  // Only the greeting: nothing goes out, although the stored default
  // "ffffff" is written back as "FFFFFF".
  Open().helloText = "hi %s";
  editor->Ok();
  EXPECT_TRUE(host.sent.empty());

  settings.Set(settings.Sex, 2);
  SettingsEditor& e = Open();
  e.sex = 0;
  e.Ok();
  ASSERT_EQ(host.sent.size(), 1u);
  EXPECT_EQ(host.sent[0], W("x¦Nastr=1;Color_Bacg=#FFFFFF;Color_Text=#000000;¦\n"));

  SettingsEditor& f = Open();
  f.textColor = 0x0000FF;  // red, stored blue first
  f.backColor = 0x00FF00;
  f.sex = 2;
  f.Ok();
  ASSERT_EQ(host.sent.size(), 2u);
  EXPECT_EQ(host.sent[1], W("x¦Nastr=1;Color_Bacg=#00FF00;Color_Text=#FF0000;Sex=w;¦\n"));

  host.online = false;
  SettingsEditor& g = Open();
  g.sex = 1;
  g.Ok();
  EXPECT_EQ(host.sent.size(), 2u);
  EXPECT_EQ(settings.Sex, 1);
}

TEST_F(SettingsEditorTest, SendInfoSavesAndSendsAClosedRecord) {
  SettingsEditor& e = Open();
  e.privInfo = {W("Я тут"), "a;b|c\r", ""};
  e.SendInfo();
  EXPECT_EQ(dir.Get("privinfo.txt"), W("Я тут\r\na;b|c\r\r\n\r\n"));
  EXPECT_EQ(host.told, std::vector<std::string>{W("Внимание|Вам надо быть в онлайне чтобы переслать информацию")});
  EXPECT_TRUE(host.sent.empty());

  host.online = true;
  e.SendInfo();
  ASSERT_EQ(host.sent.size(), 1u);
  EXPECT_EQ(host.sent[0], W("x¦Nastr=1;You=Я тут<br>a%3bb%7cc<br>;¦\n"));

  settings.RussianInterface = false;
  host.online = false;
  e.SendInfo();
  EXPECT_EQ(host.told.back(), "Attention|You must be online to send info");
}

}  // namespace
