#include "session/dispatcher.h"

#include <algorithm>

#include "session/session_texts.h"
#include "markup/markup_document.h"
#include "settings/settings.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "text/perl_regex.h"

namespace session {

namespace {

constexpr const char* kBlackOnWhite = "<fcol=000000><bcol=FFFFFF>";

// Removes the sender's bold name and its blank from the front of the text.
void DropBoldName(std::string& text) {
  static const text::PerlRegex boldName("^<b>[^<]*</b> ");
  text = boldName.ReplaceFirst(text, "");
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
  size_t bold = markup.find(" <b>", prefix.size());
  for (int candidates = 0; bold != std::string::npos && candidates < 5;
       ++candidates, bold = markup.find(" <b>", bold + 1)) {
    auto it = commKeys_.find(markup.substr(prefix.size(), bold - prefix.size()));
    if (it == commKeys_.end()) continue;
    auto seen = commIdentities_.find(it->second.front());
    if (seen != commIdentities_.end() && --seen->second <= 0) commIdentities_.erase(seen);
    it->second.pop_front();
    if (it->second.empty()) commKeys_.erase(it);
    return;
  }
}

bool Dispatcher::SeenInComm(const std::string& identity) const { return commIdentities_.count(identity) > 0; }

void Dispatcher::Remember(const std::string& shownKey, const std::string& identity) {
  commKeys_[shownKey].push_back(identity);
  ++commIdentities_[identity];
}

void Dispatcher::Dispatch(const std::string& line) {
  if (host_.TraceEnabled()) host_.Trace(text::W("Приняли: ") + wire::UnescapeField(line));
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
  if (host_.TraceEnabled()) host_.Trace(text::W("Неизвестная команда: ") + wire::UnescapeField(line));
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

void Dispatcher::ChatMessage(const wire::Record& record) {
  using wire::Field;
  const bool isPublic = Field(record, "Public") == "1";
  markup::MarkupDocument& pane = isPublic ? comm_ : priv_;
  const std::string& fullSender = Field(record, "FrName");
  const std::string sender = fullSender.substr(0, std::min(fullSender.size(), kMaxSenderName));
  const std::string& fullLine = Field(record, "Line");
  const std::string lineField = fullLine.substr(0, std::min(fullLine.size(), kMaxLead));
  const std::string tag = fullLine.size() > 2 ? fullLine.substr(fullLine.size() - 2) : fullLine;
  const std::string& mid = Field(record, "Mid");
  const uint32_t textColor = wire::WireToColor(Field(record, "CText"), 0);
  const uint32_t backColor = wire::WireToColor(Field(record, "CBacg"), 0xFFFFFF);
  const std::string& userName = settings_.UserName;

  std::string text = Field(record, "Mess");
  std::string lead = wire::SplitFirstWord(text);
  if (lead.size() > kMaxLead) lead.resize(kMaxLead);
  DropBoldName(text);

  if (!isPublic && !mid.empty())
    host_.SendLine(wire::RecordWriter().Escaped("Cln", sender).Raw("Podtv", "1").Raw("Mid", mid).Raw("Time", "0").Line());

  bool blackListed = false;
  if (sender != userName && (settings_.FilterAll || !isPublic) && host_.BlackListed(sender)) {
    if (!isPublic) {
      // Only a real message (one with a number) gets the automatic answer,
      // so two clients that black-list each other cannot answer for ever.
      if (!settings_.GoAwayText.empty() && !mid.empty()) {
        const std::string answer = text::ReplaceAll(text::ReplaceAll(settings_.GoAwayText, "\r", " "), "\n", " ");
        host_.SendLine(wire::RecordWriter().Escaped("Cln", sender).Escaped("Mess", answer).Line());
      }
      return;
    }
    blackListed = true;
  }

  if (!blackListed && !isPublic) {
    if (const std::optional<games::GameKind> kind = games::GameKindOf(text)) {
      host_.GameMessage(*kind, text, sender, lead, textColor, backColor);
      return;
    }
    if (text::StartsWith(text, kDirectLinkNotice)) {
      host_.DirectLinkNotice(sender);
      return;
    }
  }

  const std::string commKey = tag + " - " + lead;
  // A numbered line is a repeat only with the same number; a line without
  // one can only be told by its tag and lead.
  const std::string identity = lineField.empty() ? commKey : "#" + lineField + " " + lead;
  if (!(isPublic && SeenInComm(identity))) {
    pane.BeginUpdate();
    if (isPublic) {
      pane.NewString(commKey + " <b>", 0x000000, 0xFFFFFF);
      Remember(commKey, identity);
    } else {
      pane.NewString(lead + " <b>", 0x000000, 0xFFFFFF);
    }
    if (blackListed) {
      pane.AddString(text::Shown(texts::kBlackListed));
      pane.EndUpdate(false);
      return;
    }
    std::string shown = wire::UnescapeField(text);
    // A hostile message size must not freeze the panes.
    if (shown.size() > kMaxShownText) shown = shown.substr(0, kMaxShownText) + "\x85";
    // The archive keeps the text escaped: the viewer decodes it once and
    // shows what the pane shows, and a "|" in it cannot end the entry.
    if (!isPublic && settings_.CreateArchive)
      host_.ArchiveLine(wire::CheckWireColor(Field(record, "CBacg"), "#ffffff") + "|" +
                        wire::CheckWireColor(Field(record, "CText"), "#000000") + "|" + lead + " <b>" + sender +
                        ":</b> " + wire::EscapeExactly(shown));
    const bool mentionsMe = !userName.empty() && text::Contains(text, userName);
    if (isPublic && mentionsMe) {
      pane.AddString("<a href=\"" + text::W("Для ") + sender + "(" + tag + "):\"><fcol=0000ff>" + sender + ":</a>");
    } else if (isPublic && sender == userName) {
      pane.AddString("<a href=\"" + text::W("Для ") + sender + "(" + tag + "):\"><fcol=008000>" + sender + ":</a>");
    } else {
      pane.AddLink(sender + ":", text::W("Для ") + sender + (isPublic ? "(" + tag + "):" : std::string(":")));
    }
    pane.AddString("</b> ");
    pane.SetColor(static_cast<int32_t>(textColor), static_cast<int32_t>(backColor));
    pane.AddString(host_.CodesToMarkup(shown));
    pane.EndUpdate(false);
    if (sender != userName && (!isPublic || mentionsMe)) host_.PersonalMessage(!isPublic, sender, shown);
  }

  const bool personal = !isPublic || (!userName.empty() && text::Contains(text, userName) && sender != userName);
  host_.React(personal ? settings::ReactionSet::Personal : settings::ReactionSet::Public);
}

}  // namespace session
