#include "audio/audio_lines.h"

#include "wire/wire.h"
#include "text/binary_escape.h"
#include "text/cp1251.h"

namespace audio {

using text::W;

std::string DataLine(std::string_view recipients, std::string_view block) {
  return "f\xA6" + wire::EscapeField(recipients) + "\xA6" + text::EscapeBinary(block, '0') + "\xA6\n";
}

std::string EndLine(std::string_view recipients) {
  return "f\xA6" + wire::EscapeField(recipients) + "\xA6" "1\xA6\n";
}

namespace {

std::string ActionLinks(int id) {
  std::string n = std::to_string(id);
  return PlayLinkOf(id) + ", " + W("<link=\"Прервать\"::Stop") + n + ">, " +
         W("<link=\"Удалить\"::Delt") + n + ">, " + W("<link=\"Сохранить\"::Save") + n + ">, " +
         W("<link=\"В архив\"::Arch") + n + "-";
}

}  // namespace

std::string SentSoundLine(std::string_view recipients, int64_t total, int id) {
  std::string r(recipients);
  return W("Послано для <link=\"") + r + W("\"Для ") + r + W(":>: Звуковое сообщение, размер ") +
         std::to_string(total) + ", " + ActionLinks(id) + "--" + r + ">";
}

std::string ReceivedSoundLine(std::string_view sender, int64_t total, int id) {
  std::string s(sender);
  return W("От <b><link=\"") + s + "\"" + s + W("></b>: Звуковое сообщение, размер ") +
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

std::string PlayLinkOf(int id) {
  return W("<link=\"Воспроизвести\"::Play") + std::to_string(id) + ">";
}

std::string ArchiveLinkStartOf(int id) {
  return W(", <link=\"В архив\"::Arch") + std::to_string(id) + "-";
}

}  // namespace audio
