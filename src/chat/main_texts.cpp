#include "chat/main_texts.h"

#include "chat/chat_texts.h"
#include "chat/smiley_codes.h"
#include "session/login.h"
#include "text/bytes.h"
#include "text/cp1251.h"

namespace window {

std::string HostPortOf(std::string_view url) {
  constexpr std::string_view scheme = "http://";
  if (!text::StartsWith(text::Lower(url.substr(0, scheme.size())), scheme)) return {};
  std::string_view rest = url.substr(scheme.size());
  return std::string(rest.substr(0, rest.find('/')));
}

std::string WebHost(std::string_view server, std::string_view chatDir) {
  const std::string hostPort = HostPortOf(chatDir);
  const std::string host = hostPort.substr(0, hostPort.find(':'));
  if (!host.empty() && text::EqualsIgnoreCase(host, server)) return hostPort;
  return std::string(server);
}

std::string MembersPage(std::string_view server, std::string_view chatDir) {
  return "http://" + WebHost(server, chatDir) + "/members.html";
}

std::string TopRightMarkup(bool russian, std::string_view membersPage) {
  std::string m = "<fsize=5><link='-11'0>PR       ";
  for (int n = 1; n <= 10; ++n) m += "<link='-11'" + std::to_string(n) + ">" + std::to_string(n) + "  ";
  m += "  <fsize=12><link=\"" + (russian ? text::W("КЕЛ") : std::string("QEL")) + "\"" + std::string(membersPage) +
       "> <pict=-3>";
  return m;
}

std::string TopLeftMarkup(std::string_view webHost) { return "<link='-100'http://" + std::string(webHost) + ">"; }

std::string AboutText(std::string_view webHost, std::string_view fileVersion) {
  std::string build = "0";
  size_t third = std::string::npos;
  for (size_t i = 0, dots = 0; i < fileVersion.size(); ++i)
    if (fileVersion[i] == '.' && ++dots == 3) third = i;
  if (third != std::string::npos) build = std::string(fileVersion.substr(third + 1));
  using text::Shown;
  return "<fcol=0000ff>" + Shown(texts::kAboutClient) + "<link='-100'http://" + std::string(webHost) + ">,<br>" +
         Shown(texts::kAboutVersion) + session::LoginVersion(fileVersion) + Shown(texts::kAboutBuild) + build +
         "<br>" + Shown(texts::kAboutWhat) + Shown(texts::kAboutQuestions) +
         "<link=\"team@localhost\"mailto:team@localhost><br>" + Shown(texts::kAboutNewVersion) + "<link=\"http://" + std::string(webHost) + "/\"http://" +
         std::string(webHost) + "/>";
}

}  // namespace window

namespace window {

std::string PictureMeaning(int number, bool russian) {
  auto say = [russian](const char* ru, const char* en) { return std::string(russian ? ru : en); };
  switch (number) {
    case -15: return say("Отправлено", "Sent");
    case -16: return say("Принято сервером", "Accepted by the server");
    case -17: return say("Доставлено", "Delivered");
    case -18: return say("Сохранено для пользователя не в сети", "Kept for an offline user");
    case -19: return say("Мужчина", "Male");
    case -20: return say("Женщина", "Female");
    case -12: return say("Звуковые сообщения, та же версия", "Audio messages, the same version");
    case -13: return say("Звуковые сообщения", "Audio messages");
    case -14: return say("Звуковые сообщения, версия новее", "Audio messages, a newer version");
    case -21: return say("Звуковые сообщения, версия старее", "Audio messages, an older version");
    case -22:
    case -23: return say("Информация о пользователе", "Information about the user");
    case -11: return say("Архив", "Archive");
    default: return {};
  }
}

std::string PictureAsText(int number, const std::string& address) {
  if (number <= -1 && number >= -static_cast<int>(kBuiltinSmileyCodes.size()))
    return std::string(kBuiltinSmileyCodes[static_cast<size_t>(-1 - number)]);
  if (number < 0) return {};
  for (const auto& [code, url] : AppSmileyTable())
    if (!url.empty() && url == address) return ":u" + std::to_string(code) + ":";
  return address;
}

}  // namespace window
