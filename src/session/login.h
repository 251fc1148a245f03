#pragma once
// The identity the client logs in with and the login line built from it.
#include <string>
#include <string_view>

namespace session {

struct Identity {
  std::string userName;
  std::string password;
  std::string userMail;
  std::string userNum;
  std::string userSmileNum;
  int sex = 0;  // 0 not given, 1 male, 2 female
};

struct LoginInputs {
  Identity identity;
  std::string textColor = "000000";  // color settings, BBGGRR
  std::string backColor = "ffffff";
  std::string version;  // "2.8"
  bool audioCapable = false;
};

// Login fields are not escaped on the wire, so these bytes would break the
// line: "¦", "|", ";", "%", line feed, carriage return.  Returns an empty
// string when the field is safe, else the offending character for a message.
std::string ForbiddenLoginChar(std::string_view field);

// Name, password and number all present and none holding a forbidden byte.
bool IdentityComplete(const Identity& id);

// "l¦Num=…;Name=…;Email=…;Color_Bacg=#…;Color_Text=#…;Pass=…;Type=7;Ver=…[;Sex=m|w];[Sound=1;]¦\n"
std::string BuildLoginLine(const LoginInputs& in);

// The version sent at login: the file version up to its second dot.
std::string LoginVersion(std::string_view fileVersion);

// OK in the login dialog: name and password, and in registration mode the
// e-mail too.
bool LoginOkEnabled(std::string_view name, std::string_view password, std::string_view mail, bool registration);

}  // namespace session
