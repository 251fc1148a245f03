#include "session/acknowledgements.h"

#include "session/session_texts.h"
#include "markup/markup_document.h"
#include "settings/settings.h"
#include "session/dispatcher.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "text/line_file.h"
#include "text/shown_text.h"

namespace session {

Acknowledgements::Acknowledgements(settings::Settings& settings, AcknowledgementHost& host,
                                   markup::MarkupDocument& priv)
    : settings_(settings), host_(host), priv_(priv) {}

std::string Acknowledgements::StatusPrefix(const std::string& number, int picture) {
  return "<fcol=000000><bcol=FFFFFF><id=" + number + "><pict=-" + std::to_string(picture) + ">";
}

void Acknowledgements::HandleAcknowledgement(const wire::Record& record, const std::string& line) {
  using wire::Field;
  const std::string& status = Field(record, "Status");
  const std::string& number = Field(record, "Mid");
  const uint32_t textColor = wire::WireToColor(Field(record, "CText"), 0);
  const uint32_t backColor = wire::WireToColor(Field(record, "CBacg"), 0xFFFFFF);
  const std::string& mess = Field(record, "Mess");
  const bool game = wire::Has(record, "Cln") && games::MentionsGame(mess);
  if (status == "Ok" || status == "OkNr") {
    auto it = waiting_.begin();
    while (it != waiting_.end() && it->number != number) ++it;
    if (it == waiting_.end()) {
      if (host_.TraceEnabled()) host_.Trace(text::Shown("Неизвестная команда: ", "Unknown command: ") + wire::UnescapeField(line));
      return;
    }
    if (!it->addressees.empty()) {
      if (game) {
        if (const std::optional<games::GameKind> kind = games::GameKindOf(it->text)) {
          const std::string p(games::PrefixOf(*kind));
          if (text::StartsWith(it->text, p + "Chat:") || text::StartsWith(it->text, p + "Ping:") ||
              text::StartsWith(it->text, p + "Pong"))
            host_.OwnGameEcho(*kind, it->text, Field(record, "Cln"), textColor, backColor);
        }
      } else {
        const std::string shown = host_.CodesToMarkup(it->text);
        const int picture = status == "Ok" ? kAccepted : kKeptForOffline;
        const std::string& r = it->addressees;
        const std::string newLine = StatusPrefix(number, picture) + text::Shown(texts::kSentTo) + "<link=\"" + r + "\"" +
                                    text::W("Для ") + r + ":>) <fcol=" + settings_.TextColor +
                                    "><bcol=" + settings_.BackColor + ">" + shown;
        ReplaceStatusLine(number, kWaiting, picture, newLine);
        if (settings_.CreateArchive)
          host_.ArchiveLine("#" + wire::ColorToWire(settings_.BackColor) + "|#" + wire::ColorToWire(settings_.TextColor) +
                            "|<id=" + number + "><pict=-" + std::to_string(picture) + ">" + text::W("(Послано-->") +
                            r + "): " + wire::EscapeField(shown));  // decoded once by the viewer
      }
    }
    waiting_.erase(it);
    return;
  }
  if (game) return;
  // The recipient confirmed the arrival: accepted and kept-for-offline
  // messages both become delivered.
  ReplaceStatusLine(number, kAccepted, kDelivered, "");
  ReplaceStatusLine(number, kKeptForOffline, kDelivered, "");
}

void Acknowledgements::ReplaceStatusLine(const std::string& number, int oldPicture, int newPicture,
                                         const std::string& newLine) {
  const std::string oldPrefix = StatusPrefix(number, oldPicture);
  if (!newLine.empty()) {
    priv_.AddOrReplaceIfExists(oldPrefix, newLine, false);
    return;
  }
  priv_.AddOrReplaceIfExists(oldPrefix, StatusPrefix(number, newPicture), true);
  if (settings_.CreateArchive) host_.PatchArchive(number, oldPicture, newPicture);
}

void Acknowledgements::LoadWaiting(const std::string& path) {
  const std::vector<std::string> lines = text::ReadLineFile(path);
  for (size_t i = 0; i + 2 < lines.size(); i += 3)
    if (!lines[i + 2].empty()) waiting_.push_back({lines[i], lines[i + 1], lines[i + 2]});
}

bool Acknowledgements::SaveWaiting(const std::string& path) const {
  std::vector<std::string> lines;
  for (const AcqRecord& r : waiting_) {
    if (r.addressees.empty()) continue;
    lines.push_back(r.text);
    lines.push_back(r.number);
    lines.push_back(r.addressees);
  }
  return text::WriteLineFile(path, lines);
}

}  // namespace session
