#pragma once
// The settings dialog without its widgets: the working copy of every page,
// what each control's action does to it, and what OK stores, in which order
// and what it sends to the server.  Nothing reaches the settings, the
// contact lists or molvat.ini before Ok(); the immediate actions (clearing
// the picture cache or the archive, sending the personal information) act
// at once, as their buttons say.  Texts are Windows-1251.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "text/shown_text.h"
#include "settings/settings.h"

namespace media {

// What the dialog reaches outside itself.
class SettingsDialogHost {
 public:
  virtual ~SettingsDialogHost() = default;
  virtual bool SocketOpen() = 0;
  virtual void SendLine(const std::string& line) = 0;
  // Forgets every cached picture and deletes the cache's files.
  virtual void ClearPictureCache() = 0;
  virtual void Beep() = 0;
  // Plays a wave file; false when it cannot be played.
  virtual bool PlayWave(const std::string& file) = 0;
  // Open game windows show or hide their move highlighting again.
  virtual void RefreshMoveHighlighting() {}
  // Modal boxes; `defaultNo` makes No the default button.
  virtual bool Ask(const std::string& caption, const std::string& text, bool defaultNo) = 0;
  virtual void Tell(const std::string& caption, const std::string& text) = 0;
};

// The contact lists the dialog edits (the chat's own vectors).
struct ContactListsRef {
  std::vector<std::string>& friends;
  std::vector<std::string>& blackList;
};

class SettingsEditor {
 public:
  static constexpr int kEngMaxLength = 5;
  static constexpr int kEventCount = settings::kReactionSetCount;

  SettingsEditor(settings::Settings& settings, ContactListsRef contacts, SettingsDialogHost& host);

  // ---- the working copy, one block per page ----
  // Common
  uint32_t textColor = 0;  // Windows colour values, red in the low byte
  uint32_t backColor = 0xFFFFFF;
  int fontSize = 11;
  std::string helloText;
  int sex = 0;
  bool hilightMoves = false;
  bool rememberPassword = true;
  // Translit: 33 items "letter - sequence" in letter order
  bool translit = false;
  std::vector<std::string> repList;
  int letter = -1;  // selected item
  std::string divider;
  // OffLine: both lists kept sorted
  std::vector<std::string> friends, blackList;
  int friendIndex = -1, blackIndex = -1;
  std::string toAdd;
  bool autoOffLine = true, filterAll = false;
  std::string goAway;
  // Notifications: the working reaction sets and the event shown
  int event = 0;
  std::array<int, kEventCount> answerType{};
  std::array<std::string, kEventCount> wave;
  std::array<bool, kEventCount> stealFocus{};
  bool playNow = true;
  // Caching: -1 when the stored type has no radio button
  int cacheType = 2;
  int nqelTime = 300, qelTime = 0;
  bool clrCacheEnabled = true;
  // Archive
  bool createArchive = true, sndArchiving = false, zipEnable = false;
  int arcLimit = 5, arcView = 60;
  bool clrArchiveEnabled = false;
  // TabInfo: the memo's lines
  std::vector<std::string> privInfo;
  // Server: the chat server's host and port, the web folder of its scripts
  std::string server;
  int port1 = 8080;
  std::string chatDir;

  // Every page from the settings, the lists and the files, as the dialog
  // is shown.
  void Load();

  // ---- Translit ----
  void SelectLetter(int index);
  bool EngEnabled() const { return translit && letter >= 0; }
  std::string RusText() const;  // the selected letter
  std::string EngText() const;  // its sequence
  void SetEng(const std::string& sequence);
  // Asks first; true when the table was refilled.
  bool RestoreDefaults();

  // ---- OffLine ----
  void SelectFriend(int index);
  void SelectBlack(int index);
  bool OffDelEnabled() const { return friendIndex >= 0; }
  bool ToBlackEnabled() const { return friendIndex >= 0; }
  bool BOffDelEnabled() const { return blackIndex >= 0; }
  bool ToOffEnabled() const { return blackIndex >= 0; }
  void ToBlack();
  void ToOff();
  void DeleteFriend();
  void DeleteBlack();
  bool ButAddEnabled() const;
  // Adds the trimmed name to the friends, or tells why it is not added.
  void AddFriend();

  // ---- Notifications ----
  void SelectEvent(int e);
  void SetAnswerType(int tag);
  void SetWave(const std::string& file);
  void SetStealFocus(bool on);
  bool WavNameEnabled() const { return answerType[event] == 2; }
  bool WavPlayEnabled() const;
  void PlayWave();

  // ---- Caching, Archive ----
  void ClearCache();
  // Asks first; deletes private.arc on Yes.
  void ClearArchive();

  // ---- Server ----
  // A host without blanks or control bytes, a port of 1..65535, and a web
  // folder beginning with "http://"; OK stores nothing of the page otherwise.
  bool ServerValid() const;

  // ---- TabInfo ----
  // Saves privinfo.txt and sends the text when connected.
  void SendInfo();

  // Stores every page, in order, and sends the new look when it changed
  // while connected.
  void Ok();

  // The line that tells the server the user's colours and sex.
  static std::string LookLine(const std::string& textColor, const std::string& backColor, int sex);
  // The line that sends the personal information text.
  static std::string InfoLine(const std::vector<std::string>& lines);

 private:
  std::string Caption() const;
  // A question or message in the dialog's language.
  std::string Say(const text::ShownText& t) const;
  std::string ArchivePath() const;

  settings::Settings& settings_;
  ContactListsRef contacts_;
  SettingsDialogHost& host_;
};

}  // namespace media
