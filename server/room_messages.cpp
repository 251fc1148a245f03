// Public and private messages, arrival confirmations, and the positional
// "p", "m" and "f" lines.
#include "server/room.h"

#include <algorithm>

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
constexpr size_t kMaxRelayBytes = 8u << 20;
constexpr size_t kMaxUnsavedBytes = 1u << 20;
}  // namespace

// ---- messages ---------------------------------------------------------------

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
    Refused(Who(s), "message of a fined user refused");
    if (!mid.empty()) Send(s, RecordWriter().Raw("Status", "Fined").Raw("Mid", mid).Line());
    return;
  }
  std::string status = "Ok";
  if (cln.empty()) {
    SendPublic(s, text, mid);
    // Past his budget the sender is read more slowly; the readers are not
    // held up for him.
    if (s.publicBudget) {
      const int64_t wait = s.publicBudget->Spend(static_cast<int64_t>(text.size()), NowMs());
      if (wait > 0) output_.Hold(s.id, wait);
    }
  } else {
    const auto names = Addressees(cln);
    if (names.empty()) {
      Refused(Who(s), "private message without addressees dropped");
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
  lineNo_ = NextLineNo();
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
  if (peers_) peers_->ToAll(EncodePeer({"public", node_, {std::to_string(lineNo_)}, line}));
  unsavedBytes_ += entry.mess.size();
  unsavedArchive_.push_back(std::move(entry));
  while (unsavedArchive_.size() > static_cast<size_t>(std::max(options_.archiveLines, 1))) {
    unsavedBytes_ -= unsavedArchive_.front().mess.size();
    unsavedArchive_.pop_front();
  }
  // The clock writes them every second; long lines go sooner.
  if (unsavedBytes_ >= kMaxUnsavedBytes) FlushArchive();
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
  std::optional<Store::Kept> fromSender;  // read when first needed
  for (const auto& name : to) {
    const std::string key = AccountKey(name);
    if (Session* r = FindOnline(key)) {
      NoteExchange(from.key, key);
      if (r->bot) {
        std::string sender = from.name, said = wire::UnescapeField(text), number = mid;
        deferred_.push_back([this, sender, said, number] { bot_->Answer(sender, said, number); });
      } else {
        Send(*r, line);
      }
      ++reached;
      continue;
    }
    if (const RemoteUser* there = FindRemote(key); there && peers_) {
      NoteExchange(from.key, key);
      if (there->bot) {
        // The robot answers at its own node.
        peers_->ToNode(there->node, EncodePeer({"private", node_, {key, from.key, from.name, mid, text}, line}));
        ++reached;
        continue;
      }
      // Through the shared store: his node takes it out at once, and should
      // that node die first, it waits for him wherever he logs in next.
      const Store::Kept forAddressee = store_.KeptFor(key);
      if (forAddressee.count >= options_.maxKeptPerUser ||
          forAddressee.bytes + static_cast<int64_t>(line.size()) > options_.maxKeptBytesPerUser) {
        Refused(Who(from), "private message dropped: too many waiting for the addressee", name);
        allOnline = false;
        continue;
      }
      store_.KeepOffline(key, from.key, line, Now());
      // Every node hears of it: he may have moved on from the node we know.
      peers_->ToAll(EncodePeer({"kept", node_, {key}, {}}));
      ++reached;
      continue;
    }
    allOnline = false;
    if (!store_.FindAccount(key)) {
      Refused(Who(from), "private message to an unknown name dropped", name);
      continue;
    }
    // Neither one sender nor all of them together may fill the disk for
    // someone who is away.
    const int64_t size = static_cast<int64_t>(line.size());
    const Store::Kept forAddressee = store_.KeptFor(key);
    if (!fromSender) fromSender = store_.KeptFrom(from.key);
    if (forAddressee.count >= options_.maxKeptPerUser ||
        forAddressee.bytes + size > options_.maxKeptBytesPerUser) {
      Refused(Who(from), "private message dropped: too many kept for the addressee", name);
    } else if (fromSender->count >= options_.maxKeptPerSender ||
               fromSender->bytes + size > options_.maxKeptBytesPerSender) {
      Refused(Who(from), "private message dropped: the sender has too many kept for others", name);
    } else {
      store_.KeepOffline(key, from.key, line, Now());
      // He may have logged in at another node a moment ago, before this
      // one heard of it: that node hands it to him.
      if (peers_) peers_->ToAll(EncodePeer({"kept", node_, {key}, {}}));
      ++fromSender->count;
      fromSender->bytes += size;
      NoteExchange(from.key, key);
      ++reached;
    }
  }
  return reached == 0 ? "NoUser" : allOnline ? "Ok" : "OkNr";
}

void Room::HandleConfirmation(Session& s, const wire::Record& r) {
  const std::string mid = CleanMid(Field(r, "Mid"));
  const std::string key = AccountKey(wire::UnescapeField(Field(r, "Cln")));
  if (mid.empty()) return;
  const std::string line = RecordWriter().Raw("Podtv", "1").Raw("Mid", mid).Escaped("Cln", s.name).Line();
  if (Session* sender = FindOnline(key)) {
    Send(*sender, line);
  } else {
    LineToPeer(key, line);
  }
}

// ---- positional lines ---------------------------------------------------------

void Room::HandleAddressRequest(Session& s, const std::string& line) {
  std::string body = PositionalBody(line);
  const std::string name = wire::UnescapeField(wire::TakeField(body));
  std::string address;
  // A user's address is his own business: it goes to a moderator, and to
  // someone he had a private word with lately (the one he may link with
  // directly).  Anyone else gets an empty address and uses the server.
  // A bot accepts no direct links, so it gets no address.
  const std::string key = AccountKey(name);
  const bool allowed = s.moderator || key == s.key || Exchanged(s.key, key);
  if (Session* t = FindOnline(key); t && !t->bot && allowed) {
    address = t->address;
  } else if (const RemoteUser* there = FindRemote(key); !t && there && !there->bot && allowed) {
    address = there->address;
  }
  Send(s, "p|" + wire::EscapeField(name) + "|" + address + "|\n");
}

void Room::HandleNotice(Session& s, const std::string& line) {
  std::string body = PositionalBody(line);
  const std::string name = wire::UnescapeField(wire::TakeField(body));
  const std::string text = CleanEscapedText(wire::TakeField(body), options_.maxMessageBytes);
  Session* t = FindOnline(AccountKey(name));
  const std::string notice = RecordWriter()
                                 .Raw("Mess", MessValue(s.name, text))
                                 .Raw("Public", "0")
                                 .Escaped("FrName", s.name)
                                 .Raw("CBacg", s.backColor)
                                 .Raw("CText", s.textColor)
                                 .Line();
  if (!text.empty() && !t && LineToPeer(AccountKey(name), notice)) return;
  if (!t || t->bot || text.empty()) {
    Refused(Who(s), "notice not delivered", name);
    return;
  }
  Send(*t, notice);
}

void Room::HandleRelay(Session& s, const std::string& line) {
  if (line.size() < 4 || line.back() != wire::kBrokenBar) {
    Refused(Who(s), "unterminated f line dropped", line);
    return;
  }
  if (line.size() > kMaxRelayBytes) {
    // Audio blocks and pictures are far smaller; a line this long would only
    // push its recipient past his output bound.
    Refused(Who(s), "f line over 8 MiB dropped");
    return;
  }
  std::string payload = line.substr(2, line.size() - 3);
  const std::string to = wire::TakeField(payload);
  const std::string out = "f|" + wire::EscapeField(s.name) + "|" + payload + "\n";
  for (const auto& name : Addressees(to)) {
    Session* t = FindOnline(AccountKey(name));
    if (t && !t->bot) {
      Send(*t, out);
    } else if (!t && LineToPeer(AccountKey(name), out)) {
      continue;
    } else {
      Refused(Who(s), "f line for someone offline not delivered", name);
    }
  }
}

}  // namespace chatd
