#include "server/room.h"

#include <algorithm>
#include <chrono>
#include <ctime>

#include "server/bot.h"
#include "server/fines.h"
#include "server/log.h"
#include "server/name_rules.h"
#include "text/bytes.h"
#include "text/cp1251.h"

namespace chatd {

using wire::Field;
using wire::Has;
using wire::RecordWriter;

namespace {

constexpr std::string_view kBar{"\xA6", 1};
constexpr size_t kMaxInfoBytes = 64 * 1024;

bool IsDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Message numbers go back to clients raw, so only plain numbers pass.
std::string CleanMid(const std::string& mid) { return IsDigits(mid) && mid.size() <= 10 ? mid : std::string(); }

std::string TimeOfDay(int64_t seconds) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

std::string Date(int64_t seconds) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d", tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900,
                tm.tm_hour, tm.tm_min);
  return buf;
}

// Addressee names of a Cln text, decoded, without blanks around them and
// without repeats.
std::vector<std::string> Addressees(const std::string& cln) {
  std::vector<std::string> names;
  std::set<std::string> seen;
  for (const auto& part : text::Split(wire::UnescapeField(cln), ',')) {
    std::string name = text::Trim(part);
    if (name.empty() || !seen.insert(AccountKey(name)).second) continue;
    names.push_back(name);
  }
  return names;
}

std::string PositionalBody(const std::string& line) {
  std::string body = line.substr(2);
  if (!body.empty() && body.back() == wire::kBrokenBar) body.pop_back();
  return body;
}

}  // namespace

std::string CleanEscapedText(const std::string& textIn, size_t limit) {
  std::string_view text = textIn;
  if (text.size() > limit) {
    size_t cut = limit;
    for (size_t back = 1; back <= 2 && back <= cut; ++back) {
      if (text[cut - back] == '%') {
        cut -= back;
        break;
      }
    }
    text = text.substr(0, cut);
  }
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == wire::kBrokenBar) out += "%a6";
    else if (c == '|') out += "%7c";
    else if (c == ';') out += "%3b";
    else if (c == '\r' || c == '\n') out += ' ';
    else out += c;
  }
  return out;
}

std::string CleanWireColor(const std::string& color, const std::string& fallback) {
  if (color.size() != 7 || color[0] != '#') return fallback;
  for (size_t i = 1; i < 7; ++i) {
    if (!std::isxdigit(static_cast<unsigned char>(color[i]))) return fallback;
  }
  return text::Lower(color);
}

std::string CleanVersion(const std::string& version) {
  std::string out;
  for (char c : version) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u > 0x20 && u < 0x7f && c != ',' && c != ';' && c != '=' && c != '|' && c != '%' && c != '<' &&
        c != '>' && c != '"')
      out += c;
    if (out.size() >= 24) break;
  }
  return out;
}

Room::Room(Store& store, RoomOptions options, RoomOutput& output)
    : store_(store), options_(std::move(options)), output_(output) {
  for (const auto& m : options_.moderators) moderatorKeys_.insert(AccountKey(m));
  lineNo_ = store_.LastLineNo();
  store_.TrimPublic(options_.archiveLines);
  if (!options_.botName.empty()) {
    bot_ = std::make_unique<Bot>(*this, options_.botName);
    bot_->Start();
  }
}

Room::~Room() { FlushArchive(); }

void Room::FlushArchive() {
  if (unsavedArchive_.empty()) return;
  store_.AppendPublic(unsavedArchive_);
  unsavedArchive_.clear();
  if (++flushes_ % 10 == 0) store_.TrimPublic(options_.archiveLines);
}

int64_t Room::Now() const {
  if (options_.now) return options_.now();
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

Room::Session* Room::Find(ClientId id) {
  auto it = sessions_.find(id);
  return it == sessions_.end() ? nullptr : &it->second;
}

Room::Session* Room::FindOnline(const std::string& key) {
  auto it = onlineByKey_.find(key);
  return it == onlineByKey_.end() ? nullptr : Find(it->second);
}

void Room::Send(const Session& s, const std::string& line) {
  if (!s.bot) output_.Send(s.id, line);
}

bool Room::IsLoggedIn(ClientId id) const {
  auto it = sessions_.find(id);
  return it != sessions_.end() && it->second.loggedIn;
}

void Room::Connect(ClientId id, const std::string& address) {
  Session s;
  s.id = id;
  s.address = address;
  sessions_[id] = std::move(s);
}

void Room::Drop(ClientId id) {
  Session* s = Find(id);
  if (!s) return;
  if (s->loggedIn) {
    onlineOrder_.erase(std::remove(onlineOrder_.begin(), onlineOrder_.end(), id), onlineOrder_.end());
    auto it = onlineByKey_.find(s->key);
    if (it != onlineByKey_.end() && it->second == id) onlineByKey_.erase(it);
  }
  const bool bot = s->bot;
  sessions_.erase(id);
  if (!bot) output_.Close(id);
}

void Room::Refuse(ClientId id, const std::string& why) {
  Session* s = Find(id);
  if (!s) return;
  Log("login refused (" + why + ") from " + s->address);
  Send(*s, "?5\n");
  Drop(id);
}

void Room::Disconnect(ClientId id) {
  Session* s = Find(id);
  if (!s) return;
  const bool wasOnline = s->loggedIn;
  if (wasOnline) {
    onlineOrder_.erase(std::remove(onlineOrder_.begin(), onlineOrder_.end(), id), onlineOrder_.end());
    auto it = onlineByKey_.find(s->key);
    if (it != onlineByKey_.end() && it->second == id) onlineByKey_.erase(it);
  }
  if (wasOnline) Log(Printable(s->name) + " left");
  sessions_.erase(id);
  if (wasOnline) BroadcastOnlineList();
}

void Room::Receive(ClientId id, const std::string& line) {
  Session* s = Find(id);
  if (!s) return;
  const bool outer = !running_;
  running_ = true;
  if (!s->loggedIn) {
    if (text::StartsWith(line, "l\xA6")) {
      HandleLogin(*s, line);
    } else {
      Log("line before login dropped", line);
    }
  } else if (text::StartsWith(line, "x\xA6")) {
    HandleRecord(*s, wire::ParseRecord(PositionalBody(line)), line);
  } else if (text::StartsWith(line, "p\xA6")) {
    HandleAddressRequest(*s, line);
  } else if (text::StartsWith(line, "m\xA6")) {
    HandleNotice(*s, line);
  } else if (text::StartsWith(line, "f\xA6")) {
    HandleRelay(*s, line);
  } else {
    Log("unknown line from " + s->name + " dropped", line);
  }
  if (outer) {
    RunDeferred();
    running_ = false;
  }
}

void Room::RunDeferred() {
  // Bot answers run here, after the line that caused them, so a handler
  // never re-enters the room while it walks its sessions.
  for (int guard = 0; !deferred_.empty() && guard < 1000; ++guard) {
    auto task = std::move(deferred_.front());
    deferred_.pop_front();
    task();
  }
  deferred_.clear();
}

void Room::Tick() {
  if (!bot_) return;
  running_ = true;
  bot_->Tick();
  RunDeferred();
  running_ = false;
}

// ---- login ------------------------------------------------------------------

void Room::HandleLogin(Session& s, const std::string& line) {
  const wire::Record r = wire::ParseRecord(PositionalBody(line));
  const std::string& name = Field(r, "Name");
  const std::string& password = Field(r, "Pass");
  const std::string& number = Field(r, "Num");
  const ClientId id = s.id;
  if (name.empty() || name.size() > 256) return Refuse(id, "no usable name");
  const std::string key = AccountKey(name);
  const char sex = Field(r, "Sex") == "m" ? 'm' : Field(r, "Sex") == "w" ? 'w' : 0;
  const std::string back = CleanWireColor(Field(r, "Color_Bacg"), "#ffffff");
  const std::string fore = CleanWireColor(Field(r, "Color_Text"), "#000000");

  std::optional<Account> account = store_.FindAccount(key);
  if (!account) {
    if (!number.empty()) return Refuse(id, "number given for unknown name " + Printable(name));
    if (!IsValidName(name)) return Refuse(id, "name not allowed: " + Printable(name));
    if (password.empty()) return Refuse(id, "empty password");
    Account fresh;
    fresh.name = name;
    fresh.key = key;
    fresh.email = Field(r, "Email").substr(0, 128);
    fresh.sex = sex;
    fresh.backColor = back;
    fresh.textColor = fore;
    fresh.created = Now();
    fresh.lastAddress = s.address;
    account = store_.CreateAccount(fresh, password);
    if (!account) return Refuse(id, "account could not be stored");
    Log("registered " + Printable(name) + " as " + std::to_string(account->id));
  } else if (!store_.CheckPassword(*account, password)) {
    return Refuse(id, "wrong password for " + Printable(name));
  }
  for (int type : ActiveFineTypes(key)) {
    if (type == kNoAccess) return Refuse(id, "banned: " + Printable(name));
  }

  if (Session* old = FindOnline(key); old && old->id != id) {
    if (old->bot) return Refuse(id, "the bot's name");
    // The newer login wins; "?5" stops the older client from reconnecting
    // and pushing the newer one out in turn.
    Log("second login of " + Printable(account->name) + " replaces the first");
    Send(*old, "?5\n");
    Drop(old->id);
  }

  s.loggedIn = true;
  s.accountId = account->id;
  s.name = account->name;
  s.key = key;
  s.version = CleanVersion(Field(r, "Ver"));
  s.sex = sex;
  s.sound = Field(r, "Sound") == "1";
  s.backColor = back;
  s.textColor = fore;
  s.moderator = moderatorKeys_.count(key) > 0;
  s.hasInfo = !account->info.empty() || !account->photos.empty();
  s.fines = store_.FinesOf(key);
  store_.UpdateLook(account->id, sex, back, fore);
  store_.UpdateAddress(account->id, s.address);
  onlineOrder_.push_back(id);
  onlineByKey_[key] = id;
  Log(Printable(s.name) + " logged in from " + s.address);

  std::string welcome = "x\xA6NewUserNum=" + std::to_string(account->id) + ";Nastr=1;";
  if (s.moderator) welcome += "Mod=1;";
  welcome += "\xA6\n";
  Send(s, welcome);
  BroadcastOnlineList();
  for (const auto& stored : store_.TakeOffline(key)) Send(s, stored);
  if (bot_) {
    std::string newcomer = s.name;
    deferred_.push_back([this, newcomer] { bot_->Greet(newcomer); });
  }
}

std::vector<int> Room::ActiveFineTypes(const Session& s) const {
  std::vector<int> types;
  const int64_t now = Now();
  for (const Fine& f : s.fines) {
    if (f.ActiveAt(now)) types.push_back(f.type);
  }
  return types;
}

std::vector<int> Room::ActiveFineTypes(const std::string& key) {
  std::vector<int> types;
  const int64_t now = Now();
  for (const Fine& f : store_.FinesOf(key)) {
    if (f.ActiveAt(now)) types.push_back(f.type);
  }
  return types;
}

std::string Room::ModeratorEcho(const Session& s) const {
  return std::string("x\xA6Nastr=1;") + (s.moderator ? "Mod=1;" : "") + "\xA6\n";
}

// ---- online list ------------------------------------------------------------

std::string Room::OnlineListLine() const {
  std::string body;
  for (ClientId id : onlineOrder_) {
    auto it = sessions_.find(id);
    if (it == sessions_.end()) continue;
    const Session& s = it->second;
    body += "User=" + s.name + ",Ver=" + s.version;
    if (s.sex) body += std::string(",Sex=") + s.sex;
    if (s.sound) body += ",Sound=1";
    body += s.hasInfo ? ",Inf=T;" : ",Inf=F;";
  }
  return wire::BuildLine('x', body);
}

void Room::BroadcastOnlineList() {
  const std::string line = OnlineListLine();
  for (ClientId id : onlineOrder_) {
    if (Session* s = Find(id)) Send(*s, line);
  }
}

std::vector<Room::OnlineUser> Room::Online() const {
  std::vector<OnlineUser> out;
  for (ClientId id : onlineOrder_) {
    auto it = sessions_.find(id);
    if (it != sessions_.end()) out.push_back({it->second.name, it->second.address, it->second.version});
  }
  return out;
}

bool Room::IsModerator(const std::string& name) const { return moderatorKeys_.count(AccountKey(name)) > 0; }

// ---- records ----------------------------------------------------------------

void Room::HandleRecord(Session& s, const wire::Record& r, const std::string& line) {
  if (Has(r, "Podtv")) return HandleConfirmation(s, r);
  if (Has(r, "Mess")) return HandleMessage(s, r);
  if (Has(r, "GetInfo")) return HandleGetInfo(s, r);
  if (Has(r, "Nastr")) return HandleSettings(s, r);
  if (Has(r, "GetIP")) return HandleGetIp(s, r);
  if (Has(r, "Whois")) return HandleWhois(s, r);
  // "x¦Fine;Cln=name;…": the key before the first "=" is "Fine;Cln".
  if (r.count("Fine;Cln") || r.count("Fine")) return HandleFine(s, r);
  Log("record without a known field from " + Printable(s.name) + " dropped", line);
}

std::string Room::MessValue(const std::string& name, const std::string& escapedText) const {
  return wire::EscapeField(TimeOfDay(Now()) + " <b>" + name + ":</b> ") + escapedText;
}

void Room::HandleMessage(Session& s, const wire::Record& r) {
  const std::string mid = CleanMid(Field(r, "Mid"));
  const std::string text = CleanEscapedText(Field(r, "Mess"), options_.maxMessageBytes);
  const std::string cln = CleanEscapedText(Field(r, "Cln"), 4096);
  bool refused = false;
  for (int type : ActiveFineTypes(s)) {
    if (type == kReadArchives || type == kReadAll || (type == kPrivateOnly && cln.empty())) refused = true;
  }
  if (refused) {
    Log("message of fined user " + Printable(s.name) + " refused");
    if (!mid.empty()) Send(s, RecordWriter().Raw("Status", "Fined").Raw("Mid", mid).Line());
    return;
  }
  std::string status = "Ok";
  if (cln.empty()) {
    SendPublic(s, text, mid);
  } else {
    const auto names = Addressees(cln);
    if (names.empty()) {
      Log("private message without addressees from " + Printable(s.name) + " dropped");
      return;
    }
    status = SendPrivate(s, names, text, mid);
  }
  if (!mid.empty()) {
    RecordWriter w;
    w.Raw("Status", status).Raw("Mid", mid);
    if (!cln.empty()) w.Raw("Cln", cln);
    w.Raw("Mess", text);
    Send(s, w.Line());
  }
}

void Room::SendPublic(Session& from, const std::string& text, const std::string& mid) {
  ++lineNo_;
  ArchiveLine entry;
  entry.lineNo = lineNo_;
  entry.time = Now();
  entry.backColor = from.backColor;
  entry.textColor = from.textColor;
  entry.mess = MessValue(from.name, text);
  RecordWriter w;
  w.Raw("Mess", entry.mess).Raw("Public", "1").Escaped("FrName", from.name).Raw("Line", std::to_string(lineNo_));
  if (!mid.empty()) w.Raw("Mid", mid);
  w.Raw("CBacg", from.backColor).Raw("CText", from.textColor);
  const std::string line = w.Line();
  for (ClientId id : onlineOrder_) {
    if (Session* s = Find(id)) Send(*s, line);
  }
  unsavedArchive_.push_back(std::move(entry));
  if (unsavedArchive_.size() >= 200) FlushArchive();
}

std::string Room::SendPrivate(Session& from, const std::vector<std::string>& to, const std::string& text,
                              const std::string& mid) {
  RecordWriter w;
  w.Raw("Mess", MessValue(from.name, text)).Raw("Public", "0").Escaped("FrName", from.name);
  if (!mid.empty()) w.Raw("Mid", mid);
  w.Raw("CBacg", from.backColor).Raw("CText", from.textColor);
  const std::string line = w.Line();
  bool allOnline = true;
  int reached = 0;
  for (const auto& name : to) {
    const std::string key = AccountKey(name);
    if (Session* r = FindOnline(key)) {
      if (r->bot) {
        std::string sender = from.name, said = wire::UnescapeField(text), number = mid;
        deferred_.push_back([this, sender, said, number] { bot_->Answer(sender, said, number); });
      } else {
        Send(*r, line);
      }
      ++reached;
      continue;
    }
    allOnline = false;
    if (!store_.FindAccount(key)) {
      Log("private message to unknown " + Printable(name) + " dropped");
    } else if (store_.OfflineCount(key) >= options_.maxKeptPerUser) {
      // One sender must not be able to fill the disk for an absent user.
      Log("too many kept messages for " + Printable(name) + ": message dropped");
    } else {
      store_.KeepOffline(key, line, Now());
      ++reached;
    }
  }
  return reached == 0 ? "NoUser" : allOnline ? "Ok" : "OkNr";
}

void Room::HandleConfirmation(Session& s, const wire::Record& r) {
  const std::string mid = CleanMid(Field(r, "Mid"));
  Session* sender = FindOnline(AccountKey(wire::UnescapeField(Field(r, "Cln"))));
  if (!sender || mid.empty()) return;
  Send(*sender, RecordWriter().Raw("Podtv", "1").Raw("Mid", mid).Escaped("Cln", s.name).Line());
}

void Room::HandleGetInfo(Session& s, const wire::Record& r) {
  std::string target = wire::UnescapeField(Field(r, "Cln"));
  if (target.empty()) target = s.name;
  std::string info;
  std::optional<Account> account = store_.FindAccount(AccountKey(target));
  if (!account) {
    info = text::W("Такого посетителя нет.");
  } else {
    target = account->name;
    info = account->info.empty() ? text::W("Посетитель пока ничего не рассказал о себе.") : account->info;
    if (!account->photos.empty()) info += "<InfF" + account->photos + ">";
  }
  Send(s, RecordWriter().Escaped("GetInfo", info).Escaped("Cln", target).Line());
}

void Room::HandleSettings(Session& s, const wire::Record& r) {
  bool listChanged = false;
  if (r.count("Color_Bacg") || r.count("Color_Text")) {
    s.backColor = CleanWireColor(Field(r, "Color_Bacg"), s.backColor);
    s.textColor = CleanWireColor(Field(r, "Color_Text"), s.textColor);
    const char sex = Field(r, "Sex") == "m" ? 'm' : Field(r, "Sex") == "w" ? 'w' : 0;
    listChanged = sex != s.sex;
    s.sex = sex;
    store_.UpdateLook(s.accountId, s.sex, s.backColor, s.textColor);
  }
  if (r.count("You")) {
    std::string info = wire::UnescapeField(Field(r, "You"));
    if (info.size() > kMaxInfoBytes) info.resize(kMaxInfoBytes);
    store_.UpdateInfo(s.accountId, info);
    std::optional<Account> account = store_.FindAccount(s.key);
    const bool hasInfo = !info.empty() || (account && !account->photos.empty());
    listChanged = listChanged || hasInfo != s.hasInfo;
    s.hasInfo = hasInfo;
  }
  Send(s, ModeratorEcho(s));
  if (listChanged) BroadcastOnlineList();
}

void Room::HandleGetIp(Session& s, const wire::Record& r) {
  if (!s.moderator) {
    Log("address request of non-moderator " + Printable(s.name) + " refused");
    return;
  }
  const std::string target = wire::UnescapeField(Field(r, "Cln"));
  std::string address;
  if (Session* t = FindOnline(AccountKey(target))) {
    address = t->bot ? "127.0.0.1" : t->address;
  } else if (auto account = store_.FindAccount(AccountKey(target))) {
    address = account->lastAddress;
  }
  if (address.empty()) address = "-";
  Send(s, RecordWriter().Raw("GetIP", wire::EscapeField(address)).Escaped("Cln", target).Line());
}

std::string Room::WhoisText(const std::string& query) {
  // The query is echoed into markup, so its angle brackets are neutralised.
  std::string out = text::W("chatd WHOIS: ") + text::ReplaceAll(text::ReplaceAll(query, "<", "&lt;"), ">", "&gt;") + "<br>";
  if (auto account = store_.FindAccount(AccountKey(query))) {
    out += text::W("Имя: ") + account->name + "<br>";
    out += text::W("Номер: ") + std::to_string(account->id) + "<br>";
    out += text::W("Зарегистрирован: ") + Date(account->created) + "<br>";
    out += text::W("Последний адрес: ") + (account->lastAddress.empty() ? "-" : account->lastAddress) + "<br>";
    Session* online = FindOnline(account->key);
    out += text::W(online ? "Сейчас в чате" : "Сейчас не в чате") + "<br>";
    int active = 0;
    for (const Fine& f : store_.FinesOf(account->key)) active += f.ActiveAt(Now()) ? 1 : 0;
    out += text::W("Действующих штрафов: ") + std::to_string(active) + "<br>";
    return out;
  }
  std::string users;
  for (ClientId id : onlineOrder_) {
    Session* s = Find(id);
    if (s && !s->bot && s->address == query) users += (users.empty() ? "" : ", ") + s->name;
  }
  if (!users.empty()) return out + text::W("С этого адреса в чате: ") + users + "<br>";
  return out + text::W("Сведений нет.") + "<br>";
}

void Room::HandleWhois(Session& s, const wire::Record& r) {
  if (!s.moderator) {
    Log("WHOIS request of non-moderator " + Printable(s.name) + " refused");
    return;
  }
  const std::string target = wire::UnescapeField(Field(r, "Cln"));
  Send(s, RecordWriter().Raw("Whois", "1").Escaped("Cln", target).Escaped("WhoIs", WhoisText(target)).Line());
}

bool Room::ApplyFine(const std::string& moderator, const std::string& target, int periodCode, int type,
                     bool checkIp) {
  std::optional<Account> account = store_.FindAccount(AccountKey(target));
  if (!account) return false;
  if (periodCode == 0) {
    store_.RemoveFines(account->key);
    if (Session* online = FindOnline(account->key)) online->fines.clear();
    Log("fines of " + Printable(account->name) + " removed by " + Printable(moderator));
    return true;
  }
  Fine f;
  f.name = account->name;
  f.key = account->key;
  f.start = Now();
  f.periodCode = periodCode;
  f.seconds = FinePeriodSeconds(periodCode);
  f.type = type;
  f.checkIp = checkIp;
  Session* online = FindOnline(account->key);
  f.address = online ? online->address : account->lastAddress;
  f.moderator = moderator;
  store_.AddFine(f);
  if (online) online->fines = store_.FinesOf(account->key);
  Log("fine type " + std::to_string(type) + " for " + Printable(account->name) + " by " + Printable(moderator));
  if (type == kNoAccess && f.ActiveAt(Now()) && online && !online->bot) {
    Send(*online, "?5\n");
    Drop(online->id);
    BroadcastOnlineList();
  }
  return true;
}

void Room::HandleFine(Session& s, const wire::Record& r) {
  if (!s.moderator) {
    Log("fine request of non-moderator " + Printable(s.name) + " refused");
    return;
  }
  const ClientId moderatorId = s.id;
  const std::string moderatorName = s.name;
  std::string target = r.count("Fine;Cln") ? Field(r, "Fine;Cln") : Field(r, "Cln");
  target = wire::UnescapeField(target);
  const int period = text::ParseIntOr(Field(r, "Fdate"), 0);
  const int type = text::ParseIntOr(Field(r, "Fprc"), -1);
  if (type < 0 || type > 3) {
    Log("fine with unknown type from " + Printable(s.name) + " dropped");
  } else if (!ApplyFine(moderatorName, target, period, type, Field(r, "FchkIP") == "1")) {
    Log("fine for unknown user " + Printable(target) + " dropped");
  }
  // `s` may be the fined user himself and gone now.
  if (Session* still = Find(moderatorId)) Send(*still, FineListLine(store_.RecentFines(50)));
}

// ---- positional lines ---------------------------------------------------------

void Room::HandleAddressRequest(Session& s, const std::string& line) {
  std::string body = PositionalBody(line);
  const std::string name = wire::UnescapeField(wire::TakeField(body));
  std::string address;
  // A bot accepts no direct links, so it gets no address.
  if (Session* t = FindOnline(AccountKey(name)); t && !t->bot) address = t->address;
  Send(s, "p|" + wire::EscapeField(name) + "|" + address + "|\n");
}

void Room::HandleNotice(Session& s, const std::string& line) {
  std::string body = PositionalBody(line);
  const std::string name = wire::UnescapeField(wire::TakeField(body));
  const std::string text = CleanEscapedText(wire::TakeField(body), options_.maxMessageBytes);
  Session* t = FindOnline(AccountKey(name));
  if (!t || t->bot || text.empty()) {
    Log("notice for " + Printable(name) + " not delivered");
    return;
  }
  Send(*t, RecordWriter()
               .Raw("Mess", MessValue(s.name, text))
               .Raw("Public", "0")
               .Escaped("FrName", s.name)
               .Raw("CBacg", s.backColor)
               .Raw("CText", s.textColor)
               .Line());
}

void Room::HandleRelay(Session& s, const std::string& line) {
  if (line.size() < 4 || line.back() != wire::kBrokenBar) {
    Log("unterminated f line from " + Printable(s.name) + " dropped", line);
    return;
  }
  std::string payload = line.substr(2, line.size() - 3);
  const std::string to = wire::TakeField(payload);
  const std::string out = "f|" + wire::EscapeField(s.name) + "|" + payload + "\n";
  for (const auto& name : Addressees(to)) {
    Session* t = FindOnline(AccountKey(name));
    if (t && !t->bot) {
      Send(*t, out);
    } else {
      Log("f line for " + Printable(name) + " not delivered (offline)");
    }
  }
}

}  // namespace chatd
