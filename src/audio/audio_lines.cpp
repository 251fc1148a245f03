#include "audio/audio_lines.h"

#include "wire/wire.h"
#include "text/binary_escape.h"
#include "text/cp1251.h"
#include "audio/audio_texts.h"

#include <vector>

namespace audio {

using text::W;

std::string DataLine(std::string_view recipients, std::string_view block) {
  return "f\xA6" + wire::EscapeField(recipients) + "\xA6" + text::EscapeBinary(block, '0') + "\xA6\n";
}

std::string EndLine(std::string_view recipients) {
  return "f\xA6" + wire::EscapeField(recipients) + "\xA6" "1\xA6\n";
}

namespace {

std::string LinkOf(const text::ShownText& caption, const char* command, int id,
                   bool english = text::EnglishShown()) {
  return "<link=\"" + W(english ? caption.english : caption.russian) + "\"" + command + std::to_string(id);
}

std::string ActionLinks(int id) {
  return PlayLinkOf(id) + ", " + LinkOf(texts::kStop, "::Stop", id) + ">, " + LinkOf(texts::kDelete, "::Delt", id) +
         ">, " + LinkOf(texts::kSave, "::Save", id) + ">, " + LinkOf(texts::kToArchive, "::Arch", id) + "-";
}



}  // namespace

std::string SentSoundLine(std::string_view recipients, int64_t total, int id) {
  std::string r(recipients);
  return text::Shown(texts::kSentTo) + "<link=\"" + r + W("\"Для ") + r + ":>" + text::Shown(texts::kSoundOfSize) +
         std::to_string(total) + ", " + ActionLinks(id) + "--" + r + ">";
}

std::string ReceivedSoundLine(std::string_view sender, int64_t total, int id) {
  std::string s(sender);
  return text::Shown(texts::kFrom) + "<b><link=\"" + s + "\"" + s + "></b>" + text::Shown(texts::kSoundOfSize) +
         std::to_string(total) + ", " + ActionLinks(id) + s + ">";
}

std::string ReplayLink(std::string_view base, int number) {
  return W(" <link=\"Воспроизвести\"::PlAr") + std::string(base) + std::to_string(number) + ">";
}

std::string OwnArchiveEntry(std::string_view backWire, std::string_view textWire,
                            std::string_view name, std::string_view link) {
  return "#" + std::string(backWire) + "|#" + std::string(textWire) + W("|(Послано-->") +
         std::string(name) + W("): Звуковое сообщение") + std::string(link);
}

std::string ReceivedArchiveEntry(std::string_view name, std::string_view link) {
  return "#ffffff|#000000|00:00 <b>" + std::string(name) + W(":</b> Звуковое сообщение") +
         std::string(link);
}

std::string PlayLinkOf(int id) { return LinkOf(texts::kPlay, "::Play", id) + ">"; }

// Both languages: a line may have been written before the language changed.
std::vector<std::string> PlayLinksOf(int id) {
  return {LinkOf(texts::kPlay, "::Play", id, false) + ">", LinkOf(texts::kPlay, "::Play", id, true) + ">"};
}

std::vector<std::string> ArchiveLinkStartsOf(int id) {
  return {", " + LinkOf(texts::kToArchive, "::Arch", id, false) + "-",
          ", " + LinkOf(texts::kToArchive, "::Arch", id, true) + "-"};
}

}  // namespace audio
