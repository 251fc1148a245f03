#pragma once
// The client's command line, read before Qt starts, so that --help and
// --version answer without a display and a mistyped option is refused
// instead of silently starting a client somewhere else.  The standard
// options of Qt programs (-platform, -style, …) pass; Qt reads them itself.
#include <optional>
#include <string>
#include <vector>

namespace settings {

struct CommandLine {
  enum class Action { Run, Help, Version, Refuse };
  Action action = Action::Run;
  std::optional<std::string> dataDir;
  std::optional<std::string> server;  // --server HOST[:PORT], for this run only
  std::string error;  // why a Refuse was refused
};

// `arguments` as main() gets them, the program first.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The usage text of --help; `dataFolder` names the per-user data folder.
std::string UsageText(const std::string& dataFolder);
// The first lines of it, shown with a refusal.
std::string ShortUsage();

}  // namespace settings
