#include "settings/settings.h"

#include <algorithm>
#include <limits>
#include <variant>
#include <vector>

#include "text/cp1251.h"
#include "text/line_file.h"

namespace settings {
namespace {

using FieldRef = std::variant<bool*, int*, std::string*>;

// One key of the file and the field it fills.  The table below lists the
// keys in the order of the start-up read.
struct KeyBinding {
  std::string section;
  std::string key;
  FieldRef (*field)(Settings&);
};

const void* Address(const FieldRef& ref) {
  return std::visit([](auto* p) -> const void* { return p; }, ref);
}

const std::vector<KeyBinding>& Bindings() {
  static const std::vector<KeyBinding> table = [] {
    std::vector<KeyBinding> t;
    auto add = [&t](const char* section, std::string key, FieldRef (*field)(Settings&)) {
      t.push_back({section, std::move(key), field});
    };
#define CHAT_KEY(section, name) add(section, #name, [](Settings& s) -> FieldRef { return &s.name; })
    CHAT_KEY("Global", Translit);
    CHAT_KEY("Global", Preview);
    CHAT_KEY("Global", CheckIP);
    CHAT_KEY("Global", FineType);
    CHAT_KEY("Global", Animation);
    CHAT_KEY("Global", AutoOffLine);
    CHAT_KEY("Global", FilterAll);
    CHAT_KEY("Global", RussianInterface);
    CHAT_KEY("Global", TextColor);
    CHAT_KEY("Global", BackColor);
    CHAT_KEY("Global", FontSize);
    CHAT_KEY("Global", HelloText);
    CHAT_KEY("Global", HilightMoves);
    CHAT_KEY("Global", RememberPassword);
    CHAT_KEY("Global", GoAwayText);
    CHAT_KEY("Global", ChatDir);
    CHAT_KEY("Global", QelDir);
    CHAT_KEY("Security", DebugMode);
    add("Caching", "Type", [](Settings& s) -> FieldRef { return &s.Caching.Type; });
    add("Caching", "QELTime", [](Settings& s) -> FieldRef { return &s.Caching.QELTime; });
    add("Caching", "NQELTime", [](Settings& s) -> FieldRef { return &s.Caching.NQELTime; });
    CHAT_KEY("Global", CreateArchive);
    CHAT_KEY("Global", SndArchiving);
    CHAT_KEY("Global", ZipEnable);
    CHAT_KEY("Global", ArcLimit);
    CHAT_KEY("Global", ArcView);
    CHAT_KEY("Global", UserName);
    CHAT_KEY("Global", Password);
    CHAT_KEY("Global", UserNum);
    CHAT_KEY("Global", UserMail);
    CHAT_KEY("Global", UserSmileNum);
    CHAT_KEY("Global", CurrentAckID);
    CHAT_KEY("Global", Server);
    CHAT_KEY("Global", Sex);
    CHAT_KEY("Global", Port1);
    CHAT_KEY("Desktop", Notifications);
    CHAT_KEY("Desktop", TrayIcon);
#undef CHAT_KEY
    // Captureless lambdas cannot take the index, so the four sets are
    // spelled out.
#define CHAT_SOUND_SET(n)                                                                   \
  add("Sounds", "AnswerType" #n, [](Settings& s) -> FieldRef { return &s.AnswerType[n]; }); \
  add("Sounds", "Wave" #n, [](Settings& s) -> FieldRef { return &s.Wave[n]; });             \
  add("Sounds", "StealFocus" #n, [](Settings& s) -> FieldRef { return &s.StealFocus[n]; })
    CHAT_SOUND_SET(0);
    CHAT_SOUND_SET(1);
    CHAT_SOUND_SET(2);
    CHAT_SOUND_SET(3);
#undef CHAT_SOUND_SET
    add("Sounds", "PlayNow", [](Settings& s) -> FieldRef { return &s.PlayNow; });
    add("Sounds", "LastWav", [](Settings& s) -> FieldRef { return &s.LastWav; });
    add("DirectLink", "LocalAddress", [](Settings& s) -> FieldRef { return &s.LocalAddress; });
    add("Discovery", "Page1", [](Settings& s) -> FieldRef { return &s.DiscoveryPages[0]; });
    add("Discovery", "Page2", [](Settings& s) -> FieldRef { return &s.DiscoveryPages[1]; });
    add("Discovery", "Page3", [](Settings& s) -> FieldRef { return &s.DiscoveryPages[2]; });
    // The letter keys: key i is the i-th letter; the field is found by
    // address in Save(), so one accessor per slot is needed.
    static_assert(kTranslitLetterCount == 33);
    using Accessor = FieldRef (*)(Settings&);
    static const Accessor letters[kTranslitLetterCount] = {
#define L(i) [](Settings& s) -> FieldRef { return &s.TranslitTable[i]; }
        L(0),  L(1),  L(2),  L(3),  L(4),  L(5),  L(6),  L(7),  L(8),  L(9),  L(10),
        L(11), L(12), L(13), L(14), L(15), L(16), L(17), L(18), L(19), L(20), L(21),
        L(22), L(23), L(24), L(25), L(26), L(27), L(28), L(29), L(30), L(31), L(32),
#undef L
    };
    for (int i = 0; i < kTranslitLetterCount; ++i)
      add("Translit", std::string(1, TranslitLowerLetters()[i]), letters[i]);
    add("Translit", "Divider", [](Settings& s) -> FieldRef { return &s.Divider; });
    return t;
  }();
  return table;
}

const KeyBinding* BindingOf(const Settings& s, const void* field) {
  Settings& self = const_cast<Settings&>(s);  // accessors only take addresses
  for (const KeyBinding& b : Bindings())
    if (Address(b.field(self)) == field) return &b;
  return nullptr;
}

bool WriteField(IniFile& ini, const KeyBinding& b, const FieldRef& ref) {
  if (auto* p = std::get_if<bool*>(&ref)) return ini.WriteBool(b.section, b.key, **p);
  if (auto* p = std::get_if<int*>(&ref)) return ini.WriteInt(b.section, b.key, **p);
  return ini.Write(b.section, b.key, *std::get<std::string*>(ref));
}

void ReadField(const IniFile& ini, const KeyBinding& b, const FieldRef& ref) {
  // The field holds its default when Load starts.
  if (auto* p = std::get_if<bool*>(&ref)) {
    **p = ini.ReadBool(b.section, b.key, **p);
  } else if (auto* p = std::get_if<int*>(&ref)) {
    **p = ini.ReadInt(b.section, b.key, **p);
  } else {
    std::string* v = std::get<std::string*>(ref);
    *v = ini.ReadString(b.section, b.key, *v);
  }
}

}  // namespace

Settings::Settings() : HelloText(text::W("Прибежал %s, весело помахивая хвостиком")) {}

void Settings::Load(const std::string& programDir) {
  *this = Settings();
  ProgramDir = programDir;
  if (!ProgramDir.empty() && ProgramDir.back() != '/') ProgramDir += '/';
  CacheDir = ProgramDir + "Cache/";
  // A replace cut short by a kill left its temporary beside the file.
  if (!ProgramDir.empty()) text::RemoveStaleReplaceTemporaries(ProgramDir);

  // One reading of the file serves every key; it is taken again after each
  // write-back, which goes through the field's own writer.
  IniFile ini = File();
  ini.KeepSnapshot();
  for (const KeyBinding& b : Bindings()) {
    FieldRef ref = b.field(*this);
    ReadField(ini, b, ref);
    const void* at = Address(ref);
    if (at == &DebugMode) {
      Save(ChatDir);
      Save(QelDir);
      ini.KeepSnapshot();
    } else if (at == &Sex) {
      Save(Server);
      ini.KeepSnapshot();
      ini.Delete("Global", "Port");
      ini.Delete("Global", "UserDir");
    } else if (at == &Port1) {
      Save(Port1);
      ini.KeepSnapshot();
    }
  }

  if (std::all_of(TranslitTable.begin(), TranslitTable.end(),
                  [](const std::string& e) { return e.empty(); }))
    TranslitTable = DefaultTranslitTable();
  if (FineType < 0 || FineType > 3) FineType = 0;
  ArcLimit = std::clamp(ArcLimit, 2, 1000);
}

bool Settings::KeyOf(const void* field, std::string* section, std::string* key) const {
  const KeyBinding* b = BindingOf(*this, field);
  if (!b) return false;
  if (section) *section = b->section;
  if (key) *key = b->key;
  return true;
}

namespace {
template <class T>
bool SaveBound(Settings& s, const T& field) {
  const KeyBinding* b = BindingOf(s, &field);
  if (!b) return false;
  IniFile ini = s.File();
  return WriteField(ini, *b, b->field(s));
}
}  // namespace

bool Settings::Save(const bool& field) { return SaveBound(*this, field); }
bool Settings::Save(const int& field) { return SaveBound(*this, field); }
bool Settings::Save(const std::string& field) { return SaveBound(*this, field); }

void Settings::SaveOnClose() {
  IniBatch batch(IniPath());
  Save(Preview);
  Save(Animation);
  Save(RussianInterface);
  Save(CurrentAckID);
  Save(LastWav);
  Save(CheckIP);
  Save(FineType);
}

void Settings::SaveIdentity() {
  Save(UserNum);
  Save(UserName);
  Save(Password);
  Save(UserMail);
  Save(UserSmileNum);
}

void Settings::ForgetNameAndPassword() {
  Set(UserName, "");
  Set(Password, "");
}

void Settings::SetServerAddress(std::string chatDir, int port1, std::string server) {
  Set(ChatDir, std::move(chatDir));
  Set(Port1, port1);
  Set(Server, std::move(server));
}

int Settings::TakeAckID() {
  int id = CurrentAckID;
  // Past the largest 32-bit number the counter starts again at 1 rather
  // than going negative.
  CurrentAckID = id == std::numeric_limits<int>::max() ? 1 : id + 1;
  Save(CurrentAckID);
  return id;
}


}  // namespace settings
