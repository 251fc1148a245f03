#include "setup/settings_editor.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "setup/settings_texts.h"
#include "setup/priv_info.h"
#include "wire/wire.h"
#include "text/bytes.h"
#include "text/cp1251.h"

namespace media {
namespace {

// The sorted list boxes order names as the user reads them: letters of
// either case together, then the bytes decide.
bool NameBefore(const std::string& a, const std::string& b) {
  const std::string la = text::Lower(a), lb = text::Lower(b);
  return la != lb ? la < lb : a < b;
}

bool Has(const std::vector<std::string>& list, const std::string& name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

void InsertSorted(std::vector<std::string>& list, const std::string& name) {
  if (Has(list, name)) return;  // a name a file listed twice stays once
  list.insert(std::upper_bound(list.begin(), list.end(), name, NameBefore), name);
}

std::vector<std::string> Sorted(std::vector<std::string> list) {
  std::stable_sort(list.begin(), list.end(), NameBefore);
  list.erase(std::unique(list.begin(), list.end()), list.end());
  return list;
}

// The index that stays selected after an item of a list went: the same
// one, or the one before it when the list got shorter; -1 when empty.
int StaySelected(int index, size_t size) {
  if (size == 0) return -1;
  return std::min(index, int(size) - 1);
}

// Removes the selected item of `from`, puts it into `to` sorted, keeping
// the destination's own selection on the item it was on.
void MoveSelected(std::vector<std::string>& from, int& fromIndex, std::vector<std::string>& to, int& toIndex) {
  if (fromIndex < 0 || fromIndex >= int(from.size())) return;
  const std::string name = from[fromIndex];
  const std::string selected = toIndex >= 0 && toIndex < int(to.size()) ? to[toIndex] : std::string();
  from.erase(from.begin() + fromIndex);
  fromIndex = StaySelected(fromIndex, from.size());
  InsertSorted(to, name);
  if (!selected.empty()) toIndex = int(std::find(to.begin(), to.end(), selected) - to.begin());
}

std::string HexColor(uint32_t value) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%06X", unsigned(value & 0xFFFFFF));
  return buf;
}

std::string RepItem(int i, const std::string& sequence) {
  return std::string(1, settings::TranslitLowerLetters()[i]) + " - " + sequence;
}

}  // namespace

SettingsEditor::SettingsEditor(settings::Settings& settings, ContactListsRef contacts, SettingsDialogHost& host)
    : settings_(settings), contacts_(contacts), host_(host) {}

std::string SettingsEditor::Caption() const {
  return settings_.RussianInterface ? text::W("Внимание") : "Attention";
}

std::string SettingsEditor::Say(const text::ShownText& t) const {
  return text::W(settings_.RussianInterface ? t.russian : t.english);
}

std::string SettingsEditor::ArchivePath() const { return settings_.ProgramDir + "private.arc"; }

void SettingsEditor::Load() {
  const settings::Settings& s = settings_;
  textColor = wire::ColorSettingToValue(s.TextColor);
  backColor = wire::ColorSettingToValue(s.BackColor);
  fontSize = std::clamp(s.FontSize, 1, 40);
  helloText = s.HelloText;
  sex = s.Sex;
  hilightMoves = s.HilightMoves;
  rememberPassword = s.RememberPassword;

  translit = s.Translit;
  repList.clear();
  for (int i = 0; i < settings::kTranslitLetterCount; ++i) repList.push_back(RepItem(i, s.TranslitTable[i]));
  letter = std::clamp(letter, -1, settings::kTranslitLetterCount - 1);
  divider = s.Divider.substr(0, 1);

  friends = Sorted(contacts_.friends);
  blackList = Sorted(contacts_.blackList);
  friendIndex = blackIndex = -1;
  toAdd.clear();
  autoOffLine = s.AutoOffLine;
  filterAll = s.FilterAll;
  goAway = s.GoAwayText;

  event = 0;
  answerType = s.AnswerType;
  wave = s.Wave;
  stealFocus = s.StealFocus;
  playNow = s.PlayNow;

  const int type = s.Caching.Type;
  cacheType = type >= 0 && type <= 2 ? type : -1;
  nqelTime = std::clamp(s.Caching.NQELTime, 0, 9999);
  qelTime = std::clamp(s.Caching.QELTime, 0, 9999);
  clrCacheEnabled = true;

  createArchive = s.CreateArchive;
  sndArchiving = s.SndArchiving;
  zipEnable = s.ZipEnable;
  arcLimit = std::clamp(s.ArcLimit, 2, 1000);
  arcView = std::clamp(s.ArcView, 10, 500);
  std::error_code ec;
  clrArchiveEnabled = std::filesystem::exists(ArchivePath(), ec);

  privInfo = ReadPrivInfo(s.ProgramDir);

  server = s.Server;
  port1 = s.Port1;
  chatDir = s.ChatDir;
}

bool SettingsEditor::ServerValid() const {
  const bool hostOk = !server.empty() && std::none_of(server.begin(), server.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return b <= ' ' || b == 0x7F || c == '/';
  });
  return hostOk && port1 >= 1 && port1 <= 65535 && text::StartsWith(chatDir, "http://") && chatDir.size() > 7;
}

// ---- Translit ----

void SettingsEditor::SelectLetter(int index) {
  letter = index >= 0 && index < int(repList.size()) ? index : -1;
}

std::string SettingsEditor::RusText() const { return letter >= 0 ? repList[letter].substr(0, 1) : std::string(); }

std::string SettingsEditor::EngText() const {
  return letter >= 0 && repList[letter].size() > 4 ? repList[letter].substr(4) : std::string();
}

void SettingsEditor::SetEng(const std::string& sequence) {
  if (letter < 0) return;
  repList[letter] = repList[letter].substr(0, 4) + sequence.substr(0, kEngMaxLength);
}

bool SettingsEditor::RestoreDefaults() {
  if (!host_.Ask(Caption(), Say(questions::kRestoreDefaults), true)) return false;
  const settings::TranslitSequences& table = settings::DefaultTranslitTable();
  for (int i = 0; i < settings::kTranslitLetterCount; ++i) repList[i] = RepItem(i, table[i]);
  return true;
}

// ---- OffLine ----

void SettingsEditor::SelectFriend(int index) { friendIndex = index >= 0 && index < int(friends.size()) ? index : -1; }

void SettingsEditor::SelectBlack(int index) { blackIndex = index >= 0 && index < int(blackList.size()) ? index : -1; }

void SettingsEditor::ToBlack() { MoveSelected(friends, friendIndex, blackList, blackIndex); }

void SettingsEditor::ToOff() { MoveSelected(blackList, blackIndex, friends, friendIndex); }

void SettingsEditor::DeleteFriend() {
  if (friendIndex < 0) return;
  friends.erase(friends.begin() + friendIndex);
  friendIndex = StaySelected(friendIndex, friends.size());
}

void SettingsEditor::DeleteBlack() {
  if (blackIndex < 0) return;
  blackList.erase(blackList.begin() + blackIndex);
  blackIndex = StaySelected(blackIndex, blackList.size());
}

bool SettingsEditor::ButAddEnabled() const { return !text::Trim(toAdd).empty(); }

void SettingsEditor::AddFriend() {
  const std::string name = text::Trim(toAdd);
  if (name.empty()) return;
  if (Has(friends, name)) {
    host_.Tell(Caption(), Say(questions::kAlreadyFriend));
  } else if (Has(blackList, name)) {
    host_.Tell(Caption(), Say(questions::kAlreadyBlackListed));
  } else {
    const std::string selected = friendIndex >= 0 ? friends[friendIndex] : std::string();
    InsertSorted(friends, name);
    if (!selected.empty()) friendIndex = int(std::find(friends.begin(), friends.end(), selected) - friends.begin());
    toAdd.clear();
  }
}

// ---- Notifications ----

void SettingsEditor::SelectEvent(int e) { event = std::clamp(e, 0, kEventCount - 1); }

void SettingsEditor::SetAnswerType(int tag) { answerType[event] = tag; }

void SettingsEditor::SetWave(const std::string& file) { wave[event] = file; }

void SettingsEditor::SetStealFocus(bool on) { stealFocus[event] = on; }

bool SettingsEditor::WavPlayEnabled() const {
  return answerType[event] == 1 || (answerType[event] == 2 && !wave[event].empty());
}

void SettingsEditor::PlayWave() {
  if (!WavPlayEnabled()) return;
  if (answerType[event] == 1) {
    host_.Beep();
    return;
  }
  if (!host_.PlayWave(wave[event])) host_.Tell(Caption(), Say(questions::kCannotPlay));
}

// ---- Caching, Archive ----

void SettingsEditor::ClearCache() {
  host_.ClearPictureCache();
  clrCacheEnabled = false;
}

void SettingsEditor::ClearArchive() {
  if (!host_.Ask(Caption(), Say(questions::kClearArchive), true)) return;
  std::error_code ec;
  std::filesystem::remove(ArchivePath(), ec);
  clrArchiveEnabled = std::filesystem::exists(ArchivePath(), ec);
}

// ---- TabInfo ----

std::string SettingsEditor::InfoLine(const std::vector<std::string>& lines) {
  // Each line end becomes "<br>"; a carriage return left inside a line
  // would reach the wire, so it becomes a blank like every other one.
  std::string joined;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) joined += "<br>";
    std::string line = lines[i];
    if (!line.empty() && line.back() == '\r') line.pop_back();
    joined += wire::ReplaceChar(wire::ReplaceChar(line, '\r', ' '), '\n', ' ');
  }
  return wire::RecordWriter().Raw("Nastr", "1").Escaped("You", joined).Line();
}

void SettingsEditor::SendInfo() {
  WritePrivInfo(settings_.ProgramDir, privInfo);
  if (host_.SocketOpen()) {
    host_.SendLine(InfoLine(privInfo));
    return;
  }
  host_.Tell(Caption(), settings_.RussianInterface ? text::W("Вам надо быть в онлайне чтобы переслать информацию")
                                                   : "You must be online to send info");
}

// ---- OK ----

std::string SettingsEditor::LookLine(const std::string& textColorSetting, const std::string& backColorSetting,
                                     int sexValue) {
  std::string body = "Nastr=1;Color_Bacg=#" + wire::ColorToWire(backColorSetting) + ";Color_Text=#" +
                     wire::ColorToWire(textColorSetting) + ";";
  if (sexValue == 1) body += "Sex=m;";
  if (sexValue == 2) body += "Sex=w;";
  return wire::BuildLine('x', body);
}

void SettingsEditor::Ok() {
  settings::Settings& s = settings_;
  // 1. The look before, and the colours in the stored form.
  const std::string oldText = s.TextColor, oldBack = s.BackColor;
  const int oldSex = s.Sex;
  const int oldType = s.Caching.Type;
  s.TextColor = HexColor(textColor);
  s.BackColor = HexColor(backColor);
  const int newType = cacheType == 0 || cacheType == 1 ? cacheType : 2;
  {
    // Every key below reaches the file in one replace, at the end of this block.
    settings::IniBatch batch(s.IniPath());

    // 2. The general page.
    s.Save(s.TextColor);
    s.Save(s.BackColor);
    s.Set(s.FontSize, fontSize);
    s.Set(s.HelloText, helloText);
    s.Set(s.GoAwayText, goAway);
    s.Set(s.HilightMoves, hilightMoves);
    s.Set(s.RememberPassword, rememberPassword);
    // The stored password goes; the one in memory serves until the end.
    if (!rememberPassword) s.File().Write("Global", "Password", "");
    s.Set(s.Sex, sex);

    // 3. The transliteration table: up to ten characters after "X - ".
    for (int i = 0; i < settings::kTranslitLetterCount && i < int(repList.size()); ++i) {
      const std::string& item = repList[i];
      const std::string sequence = item.size() > 4 ? item.substr(4, 10) : std::string();
      s.Set(s.TranslitTable[i], text::Trim(text::Lower(sequence)));
    }

    // 4. Divider and the switches.
    s.Set(s.Divider, divider);
    s.Set(s.Translit, translit);
    s.Set(s.CreateArchive, createArchive);
    s.Set(s.SndArchiving, sndArchiving);
    s.Set(s.ZipEnable, zipEnable);
    s.Set(s.ArcLimit, std::clamp(arcLimit, 2, 1000));
    s.Set(s.ArcView, std::clamp(arcView, 10, 500));
    s.Set(s.AutoOffLine, autoOffLine);
    s.Set(s.FilterAll, filterAll);

    // 5. The reaction sets.
    for (int n = 0; n < kEventCount; ++n) {
      s.Set(s.AnswerType[n], answerType[n]);
      s.Set(s.Wave[n], wave[n]);
      s.Set(s.StealFocus[n], stealFocus[n]);
    }
    s.Set(s.PlayNow, playNow);

    // 6. The contact lists (their files are written at close).
    contacts_.friends = friends;
    contacts_.blackList = blackList;

    // 7. The cache.
    s.Set(s.Caching.Type, newType);
    s.Set(s.Caching.QELTime, std::clamp(qelTime, 0, 9999));
    s.Set(s.Caching.NQELTime, std::clamp(nqelTime, 0, 9999));
  }
  // The question comes after the file is written: it runs a nested loop.
  if (oldType == 2 && newType != 2 && clrCacheEnabled &&
      host_.Ask(Caption(), Say(questions::kClearCache), false))
    host_.ClearPictureCache();

  // 8. Games.
  host_.RefreshMoveHighlighting();

  // The server page: the next connection goes there.
  if (ServerValid()) {
    if (s.Server != server) s.Set(s.Server, server);
    if (s.Port1 != port1) s.Set(s.Port1, port1);
    if (s.ChatDir != chatDir) s.Set(s.ChatDir, chatDir);
  }
  // The personal information typed on its page is kept, not sent: only
  // "send to server" sends it.  An untouched page leaves the file alone.
  if (privInfo != ReadPrivInfo(s.ProgramDir)) WritePrivInfo(s.ProgramDir, privInfo);

  // 9. The new look goes to the server.
  // Compared without case: a hand-written "ffffff" is the colour "FFFFFF".
  const bool changed = !text::EqualsIgnoreCase(s.TextColor, oldText) || !text::EqualsIgnoreCase(s.BackColor, oldBack) ||
                       s.Sex != oldSex;
  if (changed && host_.SocketOpen())
    host_.SendLine(LookLine(s.TextColor, s.BackColor, s.Sex));
}

}  // namespace media
