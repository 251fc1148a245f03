// Service requests: information, settings, addresses, WHOIS and fines.
#include "server/room.h"

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
constexpr size_t kMaxInfoBytes = 64 * 1024;
}  // namespace

void Room::HandleGetInfo(Session& s, const wire::Record& r) {
  std::string target = wire::UnescapeField(Field(r, "Cln"));
  if (target.empty()) target = s.name;
  std::string info;
  std::optional<Account> account = store_.FindAccount(AccountKey(target));
  if (!account) {
    info = text::W("Такого посетителя нет.");
  } else {
    // A user asking about himself is named as he is online, so his client
    // knows the answer for his own.
    target = account->id == s.accountId ? s.name : account->name;
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
  if (listChanged) {
    ListChanged();
    Announce(s);
  }
}

void Room::HandleGetIp(Session& s, const wire::Record& r) {
  if (!s.moderator) {
    Refused(Who(s), "address request of a non-moderator refused");
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
    out += text::W("Зарегистрирован: ") + DateTime(account->created) + "<br>";
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
    Refused(Who(s), "WHOIS request of a non-moderator refused");
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
    RefreshFines();
    if (peers_) peers_->ToAll(EncodePeer({"fines", node_, {}, {}}));
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
  const RemoteUser* there = online ? nullptr : FindRemote(account->key);
  f.address = online ? online->address : there ? there->address : account->lastAddress;
  f.moderator = moderator;
  store_.AddFine(f);
  Log("fine type " + std::to_string(type) + " for " + Printable(account->name) + " by " + Printable(moderator));
  RefreshFines();
  // The fine is in the shared store; the other nodes read it again now.
  if (peers_) peers_->ToAll(EncodePeer({"fines", node_, {}, {}}));
  return true;
}

void Room::HandleFine(Session& s, const wire::Record& r) {
  if (!s.moderator) {
    Refused(Who(s), "fine request of a non-moderator refused");
    return;
  }
  const ClientId moderatorId = s.id;
  const std::string moderatorName = s.name;
  std::string target = r.count("Fine;Cln") ? Field(r, "Fine;Cln") : Field(r, "Cln");
  target = wire::UnescapeField(target);
  const int period = text::ParseIntOr(Field(r, "Fdate"), 0);
  const int type = text::ParseIntOr(Field(r, "Fprc"), -1);
  if (type < 0 || type > 3) {
    Refused(Who(s), "fine with an unknown type dropped");
  } else if (!ApplyFine(moderatorName, target, period, type, Field(r, "FchkIP") == "1")) {
    Refused(Who(s), "fine for an unknown user dropped", target);
  }
  // `s` may be the fined user himself and gone now.
  if (Session* still = Find(moderatorId)) Send(*still, FineListLine(store_.RecentFines(50)));
}

}  // namespace chatd
