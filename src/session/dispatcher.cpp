#include "session/dispatcher.h"

#include <algorithm>

#include "session/session_texts.h"
#include "markup/markup_document.h"
#include "settings/settings.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "text/shown_text.h"

namespace session {

namespace {

constexpr const char* kBlackOnWhite = "<fcol=000000><bcol=FFFFFF>";

// Removes the sender's bold name and its blank ("<b>name</b> ", the name
// without "<") from the front of the text.
void DropBoldName(std::string& text) {
  if (text.compare(0, 3, "<b>") != 0) return;
  const size_t close = text.find('<', 3);
  if (close != std::string::npos && text.compare(close, 5, "</b> ") == 0) text.erase(0, close + 5);
}

}  // namespace

Dispatcher::Dispatcher(settings::Settings& settings, DispatcherHost& host, markup::MarkupDocument& comm,
                       markup::MarkupDocument& priv)
    : settings_(settings), host_(host), comm_(comm), priv_(priv) {}

// A comm line was written as the color prefix, its key and " <b>".  The
// key itself may hold " <b>" (a message without a time has the bold sender
// name as its lead), so every " <b>" is a candidate end and the first one
// that yields a registered key is the line's.  A key holds at most four
// blanks (a two-byte tag and " - "; the lead has none), so only the first
// five candidates can end one.
void Dispatcher::CommLineDestroyed(const std::string& markup) {
  const std::string prefix = kBlackOnWhite;
  if (!text::StartsWith(markup, prefix)) return;
  if (olderShown_ > 0) {
    // The oldest lines go first: while lines older than the remembered ones
    // are in the pane, a public line leaving it is one of them.
    for (size_t tag = 0; tag <= 2; ++tag)
      if (markup.compare(prefix.size() + tag, 3, " - ") == 0) {
        --olderShown_;
        return;
      }
  }
  size_t bold = markup.find(" <b>", prefix.size());
  for (int candidates = 0; bold != std::string::npos && candidates < 5;
       ++candidates, bold = markup.find(" <b>", bold + 1)) {
    const std::string key = markup.substr(prefix.size(), bold - prefix.size());
    auto it = commKeys_.find(key);
    if (it == commKeys_.end()) continue;
    const uint64_t serial = it->second.front().first;
    if (serial >= firstSerial_ && serial - firstSerial_ < recent_.size()) recent_[serial - firstSerial_].gone = true;
    Forget(key);
    return;
  }
}

void Dispatcher::Forget(const std::string& key) {
  auto it = commKeys_.find(key);
  if (it == commKeys_.end()) return;
  auto seen = commIdentities_.find(it->second.front().second);
  if (seen != commIdentities_.end() && --seen->second <= 0) commIdentities_.erase(seen);
  it->second.pop_front();
  if (it->second.empty()) commKeys_.erase(it);
}

bool Dispatcher::Remember(const std::string& shownKey, const std::string& identity) {
  const auto [seen, added] = commIdentities_.try_emplace(identity, 0);
  if (!added) return false;
  ++seen->second;
  commKeys_[shownKey].items.emplace_back(firstSerial_ + recent_.size(), identity);
  recent_.push_back({shownKey});
  if (recent_.size() <= kRemembered) return true;
  if (!recent_.front().gone) {
    Forget(recent_.front().key);
    ++olderShown_;
  }
  recent_.pop_front();
  ++firstSerial_;
  return true;
}

void Dispatcher::Dispatch(const std::string& line) {
  if (host_.TraceEnabled()) host_.Trace(text::Shown("Приняли: ", "Received: ") + wire::UnescapeField(line));
  switch (wire::ClassifyLine(line)) {
    case wire::LineClass::Record:
      RecordLine(line);
      break;
    case wire::LineClass::Refusal:
      host_.Refused();
      break;
    case wire::LineClass::Ignored:
      break;
    case wire::LineClass::AddressReply:
    case wire::LineClass::FineList:
      host_.ServiceLine(line);
      break;
    case wire::LineClass::MediaPacket:
      host_.MediaPacket(line);
      break;
    case wire::LineClass::Unknown:
      TraceUnknown(line);
      break;
  }
}

void Dispatcher::TraceUnknown(const std::string& line) {
  if (host_.TraceEnabled()) host_.Trace(text::Shown("Неизвестная команда: ", "Unknown command: ") + wire::UnescapeField(line));
}

void Dispatcher::RecordLine(const std::string& line) {
  const std::string body(wire::RecordBody(line));
  const wire::Record record = wire::ParseRecord(body);
  // A new account number is stored before anything else on the line.
  if (wire::Has(record, "NewUserNum")) settings_.Set(settings_.UserNum, wire::Field(record, "NewUserNum"));
  if (wire::Has(record, "Status") || wire::Has(record, "Podtv"))
    host_.Acknowledgement(record, line);
  else if (wire::Has(record, "Mess"))
    ChatMessage(record);
  else if (wire::Has(record, "User"))
    host_.OnlineListRecord(body);
  else if (wire::Has(record, "GetInfo"))
    host_.OwnInformation(record);
  else if (wire::Has(record, "Nastr"))
    host_.Rights(record);
  else if (wire::Has(record, "GetIP"))
    host_.AddressReply(record);
  else if (wire::Has(record, "Whois"))
    host_.WhoisReply(record, body);
  else
    TraceUnknown(line);
}

// A chat message as the dispatcher reads it, with the fields it needs.
struct Dispatcher::Incoming {
  bool isPublic = false;
  std::string sender;     // FrName, bounded
  std::string lineField;  // Line, bounded
  std::string tag;        // the last two bytes of Line
  std::string mid;
  std::string lead;       // the message time
  std::string text;       // Mess without the lead and the bold name
  uint32_t textColor = 0, backColor = 0xFFFFFF;
};

Dispatcher::Incoming Dispatcher::ReadChatMessage(const wire::Record& record) {
  using wire::Field;
  Incoming m;
  m.isPublic = Field(record, "Public") == "1";
  const std::string& fullSender = Field(record, "FrName");
  m.sender = fullSender.substr(0, std::min(fullSender.size(), kMaxSenderName));
  const std::string& fullLine = Field(record, "Line");
  m.lineField = fullLine.substr(0, std::min(fullLine.size(), kMaxLead));
  m.tag = fullLine.size() > 2 ? fullLine.substr(fullLine.size() - 2) : fullLine;
  m.mid = Field(record, "Mid");
  m.textColor = wire::WireToColor(Field(record, "CText"), 0);
  m.backColor = wire::WireToColor(Field(record, "CBacg"), 0xFFFFFF);
  m.text = Field(record, "Mess");
  m.lead = wire::SplitFirstWord(m.text);
  if (m.lead.size() > kMaxLead) m.lead.resize(kMaxLead);
  DropBoldName(m.text);
  return m;
}

Dispatcher::Filter Dispatcher::FilterBlackListed(const Incoming& m) {
  if (m.sender == settings_.UserName || !(settings_.FilterAll || !m.isPublic) || !host_.BlackListed(m.sender))
    return Filter::Show;
  if (m.isPublic) return Filter::ShowAsBlackListed;
  // Only a real message (one with a number) gets the automatic answer, so
  // two clients that black-list each other cannot answer for ever.
  if (!settings_.GoAwayText.empty() && !m.mid.empty()) {
    const std::string answer = text::ReplaceAll(text::ReplaceAll(settings_.GoAwayText, "\r", " "), "\n", " ");
    host_.SendLine(wire::RecordWriter().Escaped("Cln", m.sender).Escaped("Mess", answer).Line());
  }
  return Filter::Drop;
}

bool Dispatcher::RouteToFeature(const Incoming& m) {
  if (const std::optional<games::GameKind> kind = games::GameKindOf(m.text)) {
    host_.GameMessage(*kind, m.text, m.sender, m.lead, m.textColor, m.backColor);
    return true;
  }
  if (text::StartsWith(m.text, kDirectLinkNotice)) {
    host_.DirectLinkNotice(m.sender);
    return true;
  }
  return false;
}

void Dispatcher::ShowChatMessage(const wire::Record& record, const Incoming& m, const std::string& commKey,
                                 bool blackListed) {
  markup::MarkupDocument& pane = m.isPublic ? comm_ : priv_;
  const std::string& userName = settings_.UserName;
  pane.BeginUpdate();
  pane.NewString((m.isPublic ? commKey : m.lead) + " <b>", 0x000000, 0xFFFFFF);
  if (blackListed) {
    pane.AddString(text::Shown(texts::kBlackListed));
    pane.EndUpdate(false);
    return;
  }
  std::string shown = wire::UnescapeField(m.text);
  // A hostile message size must not freeze the panes.
  if (shown.size() > kMaxShownText) shown = shown.substr(0, kMaxShownText) + "\x85";
  // The archive keeps the text escaped: the viewer decodes it once and
  // shows what the pane shows, and a "|" in it cannot end the entry.
  if (!m.isPublic && settings_.CreateArchive)
    host_.ArchiveLine(wire::CheckWireColor(wire::Field(record, "CBacg"), "#ffffff") + "|" +
                      wire::CheckWireColor(wire::Field(record, "CText"), "#000000") + "|" + m.lead + " <b>" +
                      m.sender + ":</b> " + wire::EscapeField(shown));
  const bool mentionsMe = !userName.empty() && text::Contains(m.text, userName);
  const std::string forSender = text::W("Для ") + m.sender;
  if (m.isPublic && mentionsMe) {
    pane.AddString("<a href=\"" + forSender + "(" + m.tag + "):\"><fcol=0000ff>" + m.sender + ":</a>");
  } else if (m.isPublic && m.sender == userName) {
    pane.AddString("<a href=\"" + forSender + "(" + m.tag + "):\"><fcol=008000>" + m.sender + ":</a>");
  } else {
    pane.AddLink(m.sender + ":", forSender + (m.isPublic ? "(" + m.tag + "):" : std::string(":")));
  }
  pane.AddString("</b> ");
  pane.SetColor(m.textColor, m.backColor);
  pane.AddString(host_.CodesToMarkup(shown));
  pane.EndUpdate(false);
  if (m.sender != userName && (!m.isPublic || mentionsMe)) host_.PersonalMessage(!m.isPublic, m.sender, shown);
}

void Dispatcher::ChatMessage(const wire::Record& record) {
  const Incoming m = ReadChatMessage(record);
  if (!m.isPublic && !m.mid.empty())
    host_.SendLine(
        wire::RecordWriter().Escaped("Cln", m.sender).Raw("Podtv", "1").Raw("Mid", m.mid).Raw("Time", "0").Line());

  const Filter filter = FilterBlackListed(m);
  if (filter == Filter::Drop) return;
  const bool blackListed = filter == Filter::ShowAsBlackListed;
  if (!blackListed && !m.isPublic && RouteToFeature(m)) return;

  // The duplicate test: a numbered line is a repeat only with the same
  // number; a line without one can only be told by its tag and lead.
  const std::string commKey = m.tag + " - " + m.lead;
  const std::string identity = m.lineField.empty() ? commKey : "#" + m.lineField + " " + m.lead;
  if (!m.isPublic || Remember(commKey, identity)) {
    ShowChatMessage(record, m, commKey, blackListed);
    if (blackListed) return;  // a black-listed line is shown, never reacted to
  }

  const std::string& userName = settings_.UserName;
  const bool personal =
      !m.isPublic || (!userName.empty() && text::Contains(m.text, userName) && m.sender != userName);
  host_.React(personal ? settings::ReactionSet::Personal : settings::ReactionSet::Public);
}

}  // namespace session
