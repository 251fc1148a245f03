// The room's sessions, the dispatch of their lines, login and the online
// list.  Messages are in room_messages.cpp, service requests in
// room_service.cpp.
#include "server/room.h"

#include <algorithm>
#include <chrono>

#include "server/bot.h"
#include "server/fines.h"
#include "server/log.h"
#include "server/name_rules.h"
#include "server/room_text.h"
#include "text/bytes.h"
#include "text/cp1251.h"

namespace chatd {

using wire::Field;
using wire::Has;
using wire::RecordWriter;

namespace {
// A list round that found backlogged readers tries them again this soon.
constexpr int64_t kListRetryMs = 50;
constexpr size_t kHeldLineBytes = 64 * 1024;
constexpr int64_t kExchangeMs = 10 * 60 * 1000;
}  // namespace

Room::Room(Store& store, RoomOptions options, RoomOutput& output)
    : store_(store), options_(std::move(options)), output_(output), loginGuard_(options_.login) {
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
  store_.AppendPublic(std::vector<ArchiveLine>(std::make_move_iterator(unsavedArchive_.begin()),
                                               std::make_move_iterator(unsavedArchive_.end())));
  unsavedArchive_.clear();
  unsavedBytes_ = 0;
  if (++flushes_ % 10 == 0) store_.TrimPublic(options_.archiveLines);
}

int64_t Room::Now() const {
  if (options_.now) return options_.now();
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

int64_t Room::NowMs() const {
  if (options_.nowMs) return options_.nowMs();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void Room::RunOutside(const std::function<void()>& work) {
  if (running_) {
    work();
    return;
  }
  running_ = true;
  work();
  RunDeferred();
  running_ = false;
}

Room::Session* Room::Find(ClientId id) {
  auto it = sessions_.find(id);
  return it == sessions_.end() ? nullptr : &it->second;
}

Room::Session* Room::FindOnline(const std::string& key) {
  auto it = onlineByKey_.find(key);
  return it == onlineByKey_.end() ? nullptr : Find(it->second);
}

std::string Room::Who(const Session& s) { return "client " + std::to_string(s.id); }

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
    if (it != onlineByKey_.end() && it->second == id) {
      onlineByKey_.erase(it);
      AnnounceGone(*s);
    }
    ListChanged();
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
    if (it != onlineByKey_.end() && it->second == id) {
      onlineByKey_.erase(it);
      AnnounceGone(*s);
    }
  }
  if (wasOnline) Log(Printable(s->name) + " left");
  sessions_.erase(id);
  if (wasOnline) ListChanged();
}

void Room::Receive(ClientId id, const std::string& line) {
  Session* s = Find(id);
  if (!s) return;
  const bool outer = !running_;
  running_ = true;
  if (s->loginHeld) {
    // Lines after a login that waits are handled once it has been checked.
    if (s->heldBytes + line.size() <= kHeldLineBytes) {
      s->heldBytes += line.size();
      s->heldLines.push_back(line);
    } else {
      Refused(Who(*s), "line after a waiting login dropped", line);
    }
  } else if (!s->loggedIn) {
    if (text::StartsWith(line, "l\xA6")) {
      BeginLogin(*s, line);
    } else {
      Refused(Who(*s), "line before login dropped", line);
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
    Refused(Who(*s), "unknown line dropped", line);
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
  Refused(Who(s), "record without a known field dropped", line);
}

// ---- login ------------------------------------------------------------------

void Room::BeginLogin(Session& s, const std::string& line) {
  const wire::Record r = wire::ParseRecord(PositionalBody(line));
  const std::string& name = Field(r, "Name");
  const int64_t wait = loginGuard_.Delay(s.address, AccountKey(name), NowMs());
  if (wait < 0) return Refuse(s.id, "too many failed logins waiting from " + s.address);
  if (wait == 0) return HandleLogin(s, line);
  // Nothing more is read from the connection meanwhile, and the event loop
  // goes on serving everyone else.
  const ClientId id = s.id;
  s.loginHeld = true;
  output_.Hold(id, wait);
  Log("login of " + Printable(name) + " from " + s.address + " waits " + std::to_string(wait) +
      " ms after failed logins");
  output_.Later(wait, [this, id, line] {
    RunOutside([&] {
      Session* held = Find(id);
      if (!held || !held->loginHeld) return;
      held->loginHeld = false;
      std::vector<std::string> after;
      after.swap(held->heldLines);
      held->heldBytes = 0;
      HandleLogin(*held, line);
      for (const std::string& next : after) {
        if (!Find(id)) break;
        Receive(id, next);
      }
    });
  });
}

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

  // A ban (of the name, or of the address with the IP test) also stops a
  // new registration from that address.
  const bool moderator = moderatorKeys_.count(key) > 0;
  std::vector<Fine> fines = FinesFor(key, s.address, moderator);
  for (const Fine& f : fines) {
    if (f.type == kNoAccess && f.ActiveAt(Now())) return Refuse(id, "banned: " + Printable(name));
  }

  std::optional<Account> account = store_.FindAccount(key);
  if (!account) {
    if (!number.empty()) return Refuse(id, "number given for unknown name " + Printable(name));
    if (!IsValidName(name)) return Refuse(id, "name not allowed: " + Printable(name));
    if (password.empty()) return Refuse(id, "empty password");
    // A moderator's account is made by the administrator, never by
    // whoever registers the name first.
    if (moderator) return Refuse(id, "the name is reserved: " + Printable(name));
    if (!loginGuard_.MayRegister(s.address, NowMs()))
      return Refuse(id, "too many registrations from " + s.address);
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
    loginGuard_.Registered(s.address, NowMs());
    Log("registered " + Printable(name) + " as " + std::to_string(account->id));
  } else if (!store_.CheckPassword(*account, password)) {
    loginGuard_.Failed(s.address, key, NowMs());
    return Refuse(id, "wrong password for " + Printable(name));
  } else {
    loginGuard_.Succeeded(key);
  }

  if (Session* old = FindOnline(key); old && old->id != id) {
    if (old->bot) return Refuse(id, "the bot's name");
    // The newer login wins; "?5" stops the older client from reconnecting
    // and pushing the newer one out in turn.
    Log("second login of " + Printable(account->name) + " (as " + Printable(name) + ") replaces the first");
    Send(*old, "?5\n");
    Drop(old->id);
  }
  // Login times order logins across nodes; one that follows a login known
  // here is later than it even when the other node's clock runs ahead.
  int64_t stamp = WallMs();
  if (const RemoteUser* there = FindRemote(key)) {
    if (there->bot) return Refuse(id, "the bot's name");
    // The node that holds him closes its session when it hears of this one.
    Log("second login of " + Printable(account->name) + " replaces the one at node " + std::to_string(there->node));
    stamp = std::max(stamp, there->stamp + 1);
    remote_.erase(key);
  }

  if (auto given = options_.photos.find(key); given != options_.photos.end() && given->second != account->photos) {
    account->photos = given->second;
    store_.UpdatePhotos(account->id, account->photos);
  }
  s.loggedIn = true;
  s.accountId = account->id;
  // The client knows itself by the name it typed, which folds to the same
  // account; under the stored spelling its own lines would not look like its.
  s.name = IsValidName(name) ? name : account->name;
  s.key = key;
  s.version = CleanVersion(Field(r, "Ver"));
  s.sex = sex;
  s.sound = Field(r, "Sound") == "1";
  s.backColor = back;
  s.textColor = fore;
  s.moderator = moderator;
  s.hasInfo = !account->info.empty() || !account->photos.empty();
  s.fines = std::move(fines);
  s.publicBudget.emplace(options_.publicBytesPerSecond, options_.publicBurstBytes);
  store_.UpdateLook(account->id, sex, back, fore);
  store_.UpdateAddress(account->id, s.address);
  s.loginStamp = stamp;
  onlineOrder_.push_back(id);
  onlineByKey_[key] = id;
  Log(Printable(s.name) + " logged in from " + s.address + " as " + Who(s));
  Announce(s);

  std::string welcome = "x\xA6NewUserNum=" + std::to_string(account->id) + ";Nastr=1;";
  if (s.moderator) welcome += "Mod=1;";
  welcome += "\xA6\n";
  Send(s, welcome);
  // The newcomer gets the list at once; the others with the next round.
  ListChanged();
  SendList(s, NowMs());
  DeliverKept(id);
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

std::vector<Fine> Room::FinesFor(const std::string& key, const std::string& address, bool moderator) {
  std::vector<Fine> fines = store_.FinesOf(key);
  if (!moderator && !address.empty()) {
    for (Fine& f : store_.IpFinesAt(address)) {
      if (f.key != key) fines.push_back(std::move(f));
    }
  }
  return fines;
}

void Room::RefreshFines() {
  std::vector<ClientId> banned;
  const int64_t now = Now();
  for (ClientId id : onlineOrder_) {
    Session* s = Find(id);
    if (!s || s->bot) continue;
    s->fines = FinesFor(s->key, s->address, s->moderator);
    for (const Fine& f : s->fines) {
      if (f.type == kNoAccess && f.ActiveAt(now)) {
        banned.push_back(id);
        break;
      }
    }
  }
  for (ClientId id : banned) {
    if (Session* s = Find(id)) {
      Log(Printable(s->name) + " sent away by a fine");
      Send(*s, "?5\n");
      Drop(id);
    }
  }
  if (!banned.empty()) ListChanged();
}

std::string Room::ModeratorEcho(const Session& s) const {
  return std::string("x\xA6Nastr=1;") + (s.moderator ? "Mod=1;" : "") + "\xA6\n";
}

// ---- online list ------------------------------------------------------------

const std::string& Room::OnlineListLine() {
  if (listLineVersion_ == listVersion_) return listLine_;
  // Every node orders the whole room by login time, so every client sees
  // the same list wherever he is connected.
  struct Entry {
    int64_t stamp;
    int node;
    std::string text;
  };
  auto text = [](const std::string& name, const std::string& version, char sex, bool sound, bool hasInfo) {
    std::string t = "User=" + name + ",Ver=" + version;
    if (sex) t += std::string(",Sex=") + sex;
    if (sound) t += ",Sound=1";
    t += hasInfo ? ",Inf=T;" : ",Inf=F;";
    return t;
  };
  std::vector<Entry> entries;
  entries.reserve(onlineOrder_.size() + remote_.size());
  for (ClientId id : onlineOrder_) {
    auto it = sessions_.find(id);
    if (it == sessions_.end()) continue;
    const Session& s = it->second;
    entries.push_back({s.loginStamp, node_, text(s.name, s.version, s.sex, s.sound, s.hasInfo)});
  }
  for (const auto& [key, r] : remote_) entries.push_back({r.stamp, r.node, text(r.name, r.version, r.sex, r.sound, r.hasInfo)});
  if (!remote_.empty()) {
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
      return a.stamp != b.stamp ? a.stamp < b.stamp : a.node < b.node;
    });
  }
  std::string body;
  for (const Entry& e : entries) body += e.text;
  listLine_ = wire::BuildLine('x', body);
  listLineVersion_ = listVersion_;
  return listLine_;
}

void Room::SendList(Session& s, int64_t nowMs) {
  s.listVersion = listVersion_;
  s.listSentMs = nowMs;
  Send(s, OnlineListLine());
}

void Room::ListChanged() {
  ++listVersion_;
  ScheduleListRound(0);
}

void Room::ScheduleListRound(int64_t ms) {
  if (listRoundDue_) return;
  listRoundDue_ = true;
  output_.Later(ms, [this] {
    listRoundDue_ = false;
    RunOutside([this] { ListRound(); });
  });
}

void Room::ListRound() {
  // A wave of logins within one interval costs every reader one list, not
  // one per login; a reader with a long queue gets it once he has drained.
  const int64_t now = NowMs();
  const int64_t interval = options_.listIntervalMs;
  int64_t next = -1;
  for (ClientId id : onlineOrder_) {
    Session* s = Find(id);
    if (!s || s->bot || s->listVersion == listVersion_) continue;
    int64_t wait = s->listSentMs + interval - now;
    if (wait <= 0 && output_.Backlogged(id)) wait = kListRetryMs;
    if (wait <= 0) {
      SendList(*s, now);
    } else if (next < 0 || wait < next) {
      next = wait;
    }
  }
  if (next >= 0) ScheduleListRound(next);
}

void Room::DeliverKept(ClientId id) {
  Session* s = Find(id);
  if (!s || !s->loggedIn || s->bot) return;
  bool more = false;
  if (!output_.Backlogged(id)) {
    for (const auto& stored : store_.TakeOffline(s->key, options_.keptPageBytes, &more)) Send(*s, stored);
  } else {
    more = true;
  }
  if (more) output_.Later(options_.keptPageMs, [this, id] { RunOutside([this, id] { DeliverKept(id); }); });
}

void Room::NoteExchange(const std::string& a, const std::string& b) {
  const int64_t now = NowMs();
  exchanges_[a < b ? a + "\n" + b : b + "\n" + a] = now;
  if (exchanges_.size() > 4096 && now - exchangesPrunedMs_ > 60 * 1000) {
    exchangesPrunedMs_ = now;
    for (auto it = exchanges_.begin(); it != exchanges_.end();)
      it = now - it->second > kExchangeMs ? exchanges_.erase(it) : std::next(it);
  }
}

bool Room::Exchanged(const std::string& a, const std::string& b) {
  auto it = exchanges_.find(a < b ? a + "\n" + b : b + "\n" + a);
  return it != exchanges_.end() && NowMs() - it->second <= kExchangeMs;
}

std::vector<Room::OnlineUser> Room::Online() const {
  std::vector<OnlineUser> out;
  for (ClientId id : onlineOrder_) {
    auto it = sessions_.find(id);
    if (it != sessions_.end()) out.push_back({it->second.name, it->second.address, it->second.version});
  }
  for (const auto& [key, r] : remote_) out.push_back({r.name, r.address, r.version});
  return out;
}

bool Room::IsModerator(const std::string& name) const { return moderatorKeys_.count(AccountKey(name)) > 0; }

}  // namespace chatd
