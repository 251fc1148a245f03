#pragma once
// The user's settings: one field per key of molvat.ini in the program
// directory, the transliteration table and the four reaction sets.  The
// field names are the key names.  Fields are read freely; a change that
// must last is stored with Set() or Save(), which write that one key to the
// file at once.  A file that cannot be written leaves the fields as set.
#include <array>
#include <cstdint>
#include <string>
#include <utility>

#include "settings/ini_file.h"
#include "settings/translit_table.h"

namespace settings {

// The reaction sets: which kind of event makes the sound or raises the
// window.  The values index the [Sounds] arrays.
enum class ReactionSet { Public = 0, Personal = 1, FriendOnline = 2, Game = 3 };
constexpr int kReactionSetCount = 4;

// [Caching]
struct CachingSettings {
  int Type = 2;  // 0 none, 1 the system's web cache, 2 own cache
  int QELTime = 0;
  int NQELTime = 300;
};

class Settings {
 public:
  // ---- [Global] ----
  bool Translit = false;
  bool Preview = false;
  bool CheckIP = true;
  int FineType = 0;  // 0..3; anything else is read as 0
  bool Animation = true;
  bool AutoOffLine = true;
  bool FilterAll = false;
  bool RussianInterface = false;
  std::string TextColor = "000000";  // BBGGRR hex digits
  std::string BackColor = "ffffff";
  int FontSize = 11;
  std::string HelloText;  // "Прибежал %s, весело помахивая хвостиком"
  bool HilightMoves = false;
  bool RememberPassword = true;
  std::string GoAwayText;
  std::string ChatDir = "http://127.0.0.1:8081/cgi-bin/chat/";
  std::string QelDir = "http://127.0.0.1:8081/smileset/";
  bool CreateArchive = true;
  bool SndArchiving = false;
  bool ZipEnable = false;
  int ArcLimit = 5;  // megabytes, read clamped to 2..1000
  int ArcView = 60;  // kilobytes
  std::string UserName;
  std::string Password;
  std::string UserNum;
  std::string UserMail;
  std::string UserSmileNum;
  int CurrentAckID = 1;
  std::string Server = "127.0.0.1";
  int Sex = 0;  // 0 not chosen, 1 male, 2 female
  int Port1 = 8080;

  // ---- [Security] ----
  bool DebugMode = false;

  // ---- [Caching] ----
  CachingSettings Caching;

  // ---- [Sounds] ----  reaction sets, indexed by ReactionSet
  std::array<int, kReactionSetCount> AnswerType = {0, 1, 0, 1};  // 0 none, 1 beep, 2 Wave
  std::array<std::string, kReactionSetCount> Wave;
  std::array<bool, kReactionSetCount> StealFocus = {false, true, false, true};
  bool PlayNow = true;
  int LastWav = 1;

  // ---- [Desktop] ----  a section of its own, which other clients skip
  bool Notifications = true;  // desktop notifications while the window is not active
  bool TrayIcon = true;       // the tray icon that shows waiting private messages

  // ---- [DirectLink] ----  never sent: the loopback address of 127.0.0.0/8
  // this client listens on for direct links and reaches the server from, so
  // two clients on one machine are told apart.  Empty: the local address of
  // the connection to the chat server.
  std::string LocalAddress;

  // ---- [Discovery] ----  the three announcement pages that name the chat
  // server's current address.  Fixed addresses of their own, never derived
  // from ChatDir, which may be the very site that moved; the keys only
  // override them (tests, a service that moves its pages).
  std::array<std::string, 3> DiscoveryPages = {"http://127.0.0.1:8081/a/gloc.html",
                                               "http://127.0.0.1:8081/b/gloc.html",
                                               "http://127.0.0.1:8081/c/gloc.html"};

  // ---- [Translit] ----  one sequence per letter of TranslitLowerLetters()
  TranslitSequences TranslitTable;
  std::string Divider = "_";

  // ---- start-up facts, not stored ----
  std::string ProgramDir;  // file-system path (not Windows-1251), ends with "/"
  // The picture cache: "Cache/" in the program directory unless the caller
  // sets another after Load (an installed client's per-user cache folder).
  std::string CacheDir;

  Settings();

  // Reads molvat.ini of `programDir` (which ends with "/"), every key in
  // turn, with the start-up write-backs: ChatDir and QelDir after
  // DebugMode, Server after Sex, the obsolete Global keys Port and UserDir
  // deleted, Port1 after reading it.  So a fresh directory gets a file
  // holding exactly those four keys.  An empty stored transliteration table
  // is replaced in memory by the default one.
  void Load(const std::string& programDir);

  std::string IniPath() const { return ProgramDir + "molvat.ini"; }
  // The settings file itself, for the rare write that must not change a
  // field (the dialog clears the stored password but keeps it in memory).
  IniFile File() const { return IniFile(IniPath()); }

  // Writes the key bound to `field` (a member of this object) with the
  // field's current value.  False when the field has no key or the write
  // failed.
  bool Save(const bool& field);
  bool Save(const int& field);
  bool Save(const std::string& field);

  // Assigns and writes in one step: Set(s.TextColor, "0000FF").
  template <class T, class V>
  bool Set(T& field, V&& value) {
    field = std::forward<V>(value);
    return Save(static_cast<const T&>(field));
  }

  // Section and key of a field of this object; false when it has none.
  bool KeyOf(const void* field, std::string* section, std::string* key) const;

  // ---- the single writers ----
  // Main window close: Preview, Animation, RussianInterface, CurrentAckID,
  // [Sounds] LastWav, CheckIP, FineType, in this order, as one replace of
  // the file.
  void SaveOnClose();
  // Login dialog OK: UserNum, UserName, Password, UserMail, UserSmileNum.
  void SaveIdentity();
  // "log in under another name" / "register": name and password emptied.
  void ForgetNameAndPassword();
  // Server discovery took a new address: ChatDir, Port1, Server.
  void SetServerAddress(std::string chatDir, int port1, std::string server);
  // The number for the next message awaiting acknowledgement.  The counter
  // moves on and is written at once, so a crash never reuses a number.
  int TakeAckID();
};


}  // namespace settings
