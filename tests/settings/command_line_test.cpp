#include "settings/command_line.h"

#include <gtest/gtest.h>

namespace {

using settings::CommandLine;
using settings::ParseCommandLine;
using Action = CommandLine::Action;

TEST(CommandLine, DataDirHelpVersionAndQtOptionsAreTaken) {
  EXPECT_EQ(ParseCommandLine({"chat-browser"}).action, Action::Run);
  CommandLine line = ParseCommandLine({"chat-browser", "--data-dir", "/a", "--data-dir=/b"});
  EXPECT_EQ(line.action, Action::Run);
  EXPECT_EQ(line.dataDir, "/b");  // the last one counts
  EXPECT_EQ(ParseCommandLine({"p", "--data-dir", "--data-dir"}).dataDir, "--data-dir");

  EXPECT_EQ(ParseCommandLine({"p", "--help"}).action, Action::Help);
  EXPECT_EQ(ParseCommandLine({"p", "-h", "--version"}).action, Action::Help);
  EXPECT_EQ(ParseCommandLine({"p", "--version", "--data-dir", "/a"}).action, Action::Version);

  // Qt reads its own options, with one dash or two, a value apart or after "=".
  line = ParseCommandLine({"p", "-platform", "offscreen", "--style=fusion", "-reverse", "-qwindowgeometry",
                           "640x480", "--data-dir", "/c", "-qmljsdebugger=port:1"});
  EXPECT_EQ(line.action, Action::Run) << line.error;
  EXPECT_EQ(line.dataDir, "/c");
}

TEST(CommandLine, AnythingElseIsRefusedWithTheReason) {
  struct Case {
    std::vector<std::string> arguments;
    std::string why;
  } cases[] = {
      {{"p", "--datadir", "/a"}, "unknown option --datadir"},
      {{"p", "/some/folder"}, "unknown option /some/folder"},
      {{"p", "-"}, "unknown option -"},
      {{"p", "--data-dir"}, "--data-dir needs a folder"},
      {{"p", "--data-dir", ""}, "--data-dir needs a folder"},
      {{"p", "--data-dir="}, "--data-dir needs a folder"},
      {{"p", "-platform"}, "-platform needs a value"},
      {{"p", "--stylee=fusion"}, "unknown option --stylee=fusion"},
      // A refusal wins over --help that comes later: the line is wrong.
      {{"p", "--datadir", "--help"}, "unknown option --datadir"},
  };
  for (const Case& c : cases) {
    const CommandLine line = ParseCommandLine(c.arguments);
    EXPECT_EQ(line.action, Action::Refuse) << c.why;
    EXPECT_EQ(line.error, c.why);
  }
}

}  // namespace
