#pragma once
// The commands of the moderator menu without its widgets: fines for the
// first addressee, address and WHOIS requests, the web fine form, and the
// options the menu keeps (fine type, IP control, the debug trace).
#include <string>

namespace session {
class ServiceReplies;
}
namespace settings {
class Settings;
}

namespace window {

class ModeratorHost {
 public:
  virtual ~ModeratorHost() = default;
  virtual bool SocketOpen() = 0;
  virtual void SendLine(const std::string& line) = 0;
  // The first addressee; empty when there is none.
  virtual std::string Target() = 0;
  // Yes/No with No as the default; texts are Windows-1251.
  virtual bool AskYesNo(const std::string& russian, const std::string& english) = 0;
  virtual void OpenUrl(const std::string& url) = 0;
};

// The period codes of MenFineS1 … MenFineS7.
inline constexpr int kFinePeriods[7] = {0, 1, 2, 3, 4, 5, 365};

// A value put into the web fine form: blanks become "_", and the bytes
// that would end or change a query value are percent-encoded.
std::string FineFormValue(const std::string& value);

class ModeratorCommands {
 public:
  ModeratorCommands(settings::Settings& settings, session::ServiceReplies& replies, ModeratorHost& host);

  void SetDebugMode(bool on);
  // index 0..3 of MenNS1 … MenNS4.
  void SetFineType(int index);
  void SetCheckIp(bool on);
  // index 0..6 of MenFineS1 … MenFineS7.
  void Fine(int index);
  void RequestAddress();
  void RequestWhois();
  void OpenFineForm();

 private:
  settings::Settings& settings_;
  session::ServiceReplies& replies_;
  ModeratorHost& host_;
};

}  // namespace window
