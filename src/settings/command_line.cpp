#include "settings/command_line.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace settings {
namespace {

constexpr std::string_view kDataDir = "--data-dir";
constexpr std::string_view kServer = "--server";

// Qt's own options, which QGuiApplication and QApplication take out of the
// arguments; Qt accepts them with one dash or two.
constexpr std::array<std::string_view, 14> kQtOptionsWithValue = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "geometry",
    "qwindowicon", "qwindowtitle", "title", "session", "display", "name", "style", "stylesheet"};
constexpr std::array<std::string_view, 6> kQtFlags = {"reverse", "widgetcount", "nograb", "dograb", "sync",
                                                      "qmljsdebugger"};

template <size_t N>
bool Among(const std::array<std::string_view, N>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// "-name" or "--name" without the dashes; empty for anything else.
std::string_view QtName(std::string_view a) {
  if (a.size() < 2 || a[0] != '-') return {};
  a.remove_prefix(a[1] == '-' ? 2 : 1);
  return a;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  auto refuse = [&line](std::string why) {
    line.action = CommandLine::Action::Refuse;
    line.error = std::move(why);
    return line;
  };
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    const bool hasValue = i + 1 < arguments.size();
    if (a == kDataDir) {
      if (!hasValue || arguments[i + 1].empty()) return refuse("--data-dir needs a folder");
      line.dataDir = arguments[++i];
    } else if (a.starts_with(std::string(kDataDir) + "=")) {
      if (a.size() == kDataDir.size() + 1) return refuse("--data-dir needs a folder");
      line.dataDir = a.substr(kDataDir.size() + 1);
    } else if (a == kServer) {
      if (!hasValue || arguments[i + 1].empty()) return refuse("--server needs HOST or HOST:PORT");
      line.server = arguments[++i];
    } else if (a.starts_with(std::string(kServer) + "=")) {
      if (a.size() == kServer.size() + 1) return refuse("--server needs HOST or HOST:PORT");
      line.server = a.substr(kServer.size() + 1);
    } else if (a == "--help" || a == "-h") {
      if (line.action == CommandLine::Action::Run) line.action = CommandLine::Action::Help;
    } else if (a == "--version") {
      if (line.action == CommandLine::Action::Run) line.action = CommandLine::Action::Version;
    } else if (const std::string_view name = QtName(a); Among(kQtOptionsWithValue, name)) {
      if (!hasValue) return refuse(a + " needs a value");
      ++i;
    } else if (const size_t eq = name.find('='); eq != std::string_view::npos &&
                                                 (Among(kQtOptionsWithValue, name.substr(0, eq)) ||
                                                  name.substr(0, eq) == "qmljsdebugger")) {
      // -style=fusion, -qmljsdebugger=port:1234
    } else if (Among(kQtFlags, name)) {
    } else {
      return refuse("unknown option " + a);
    }
  }
  return line;
}

std::string ShortUsage() {
  return "usage: chat-browser [--data-dir DIR] [--server HOST[:PORT]] [Qt options]\n"
         "       chat-browser --help | --version\n";
}

std::string UsageText(const std::string& dataFolder) {
  return ShortUsage() +
         "\n"
         "A chat client: the common room, private messages, games, audio messages\n"
         "and pictures.  Settings, archives and kept files live in the data folder:\n"
         "DIR when given, else the program's folder for a portable copy, else\n" +
         dataFolder +
         ".\n"
         "Starting it again on the same folder brings the running client forward.\n"
         "\n"
         "  --data-dir DIR  keep everything in DIR (two clients need two folders)\n"
         "  --server HOST[:PORT]\n"
         "                  connect to this chat server for this run (the stored\n"
         "                  Server and Port1 stay as they are)\n"
         "  --help          this text\n"
         "  --version       the version\n";
}

}  // namespace settings
