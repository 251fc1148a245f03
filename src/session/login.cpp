#include "session/login.h"

#include "wire/wire.h"

namespace session {

std::string ForbiddenLoginChar(std::string_view field) {
  for (char c : field) {
    switch (c) {
      case wire::kBrokenBar: return "\xA6";
      case '|': return "|";
      case ';': return ";";
      case '%': return "%";
      case '\n': return "\\n";
      case '\r': return "\\r";
      default: break;
    }
  }
  return {};
}

bool IdentityComplete(const Identity& id) {
  if (id.userName.empty() || id.password.empty() || id.userNum.empty()) return false;
  for (const std::string* f : {&id.userName, &id.password, &id.userMail, &id.userNum})
    if (!ForbiddenLoginChar(*f).empty()) return false;
  return true;
}

std::string BuildLoginLine(const LoginInputs& in) {
  const Identity& id = in.identity;
  std::string line = "l\xA6Num=" + id.userNum;
  line += ";Name=" + id.userName;
  line += ";Email=" + id.userMail;
  line += ";Color_Bacg=#" + wire::ColorToWire(in.backColor);
  line += ";Color_Text=#" + wire::ColorToWire(in.textColor);
  line += ";Pass=" + id.password;
  line += ";Type=7;Ver=" + in.version;
  if (id.sex == 1) line += ";Sex=m";
  if (id.sex == 2) line += ";Sex=w";
  line += ";";
  if (in.audioCapable) line += "Sound=1;";
  line += "\xA6\n";
  return line;
}

std::string LoginVersion(std::string_view fileVersion) {
  size_t first = fileVersion.find('.');
  if (first == std::string_view::npos) return std::string(fileVersion);
  size_t second = fileVersion.find('.', first + 1);
  return std::string(fileVersion.substr(0, second));
}

bool LoginOkEnabled(std::string_view name, std::string_view password, std::string_view mail, bool registration) {
  return !name.empty() && !password.empty() && (!registration || !mail.empty());
}

}  // namespace session
