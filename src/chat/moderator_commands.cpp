#include "chat/moderator_commands.h"

#include <cstdio>

#include "session/service_replies.h"
#include "wire/wire.h"
#include "settings/settings.h"
#include "text/cp1251.h"
#include "chat/captions.h"

namespace window {

std::string FineFormValue(const std::string& value) {
  std::string out;
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == ' ') {
      out += '_';
    } else if (c == '&' || c == '#' || c == '%' || c == '+' || byte > 127 || byte < 32) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", byte);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

ModeratorCommands::ModeratorCommands(settings::Settings& settings, session::ServiceReplies& replies,
                                     ModeratorHost& host)
    : settings_(settings), replies_(replies), host_(host) {}

// These three change only the record; the window's close writes the fine
// options, and the debug mode is never written back.
void ModeratorCommands::SetDebugMode(bool on) { settings_.DebugMode = on; }

void ModeratorCommands::SetFineType(int index) {
  if (index >= 0 && index <= 3) settings_.FineType = index;
}

void ModeratorCommands::SetCheckIp(bool on) { settings_.CheckIP = on; }

void ModeratorCommands::Fine(int index) {
  if (index < 0 || index >= 7 || !host_.SocketOpen()) return;
  std::string russianCaption, englishCaption;
  const std::string item = "MenFineS" + std::to_string(index + 1);
  for (const Caption& c : MainWindowCaptions())
    if (item == c.element) {
      russianCaption = text::W(c.russian);
      englishCaption = c.english;
    }
  const std::string target = host_.Target();
  if (target.empty()) return;
  const int period = kFinePeriods[index];
  if (period != 0 &&
      !host_.AskYesNo(text::W("Оштрафовать ") + target + text::W(" на ") + russianCaption + "?",
                      "Fine " + target + " on " + englishCaption + "?"))
    return;
  host_.SendLine("x\xA6" "Fine;Cln=" + wire::EscapeField(target) + ";Fdate=" + std::to_string(period) +
                 ";Fprc=" + std::to_string(settings_.FineType) + ";FchkIP=" + (settings_.CheckIP ? "1" : "0") +
                 ";\xA6\n");
}

void ModeratorCommands::RequestAddress() {
  if (!host_.SocketOpen()) return;
  const std::string target = host_.Target();
  if (target.empty()) return;
  replies_.PushAddressRequest();
  host_.SendLine("x\xA6GetIP=1;Cln=" + wire::EscapeField(target) + ";\xA6\n");
}

void ModeratorCommands::RequestWhois() {
  if (!host_.SocketOpen()) return;
  const std::string target = host_.Target();
  if (target.empty()) return;
  replies_.PushWhoisRequest();
  host_.SendLine("x\xA6Whois=1;Cln=" + wire::EscapeField(target) + ";\xA6\n");
}

void ModeratorCommands::OpenFineForm() {
  const std::string target = host_.Target();
  if (target.empty()) return;
  host_.OpenUrl(settings_.ChatDir + "straf.cgi?act=2&un=" + FineFormValue(settings_.UserNum) +
                "&uname=" + FineFormValue(settings_.UserName) + "&pass=" + FineFormValue(settings_.Password) +
                "&tnik=" + FineFormValue(target));
}

}  // namespace window
