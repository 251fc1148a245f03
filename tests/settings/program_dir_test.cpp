#include "settings/program_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QStringList>
#include <filesystem>
#include <memory>

#include "temp_dir.h"
#include "text/cp1251.h"

namespace {

using settings::DataDirOption;
using settings::ResolveProgramDir;

TEST(ProgramDir, DataDirOption) {
  EXPECT_FALSE(DataDirOption({"chat-browser"}).has_value());
  EXPECT_EQ(DataDirOption({"chat-browser", "--data-dir", "/a"}), "/a");
  EXPECT_EQ(DataDirOption({"chat-browser", "--data-dir=/b"}), "/b");
  EXPECT_EQ(DataDirOption({"x", "--data-dir", "/a", "--data-dir=/c"}), "/c");  // the last counts
  EXPECT_FALSE(DataDirOption({"x", "--data-dir"}).has_value());
  EXPECT_FALSE(DataDirOption({"x", "--data-dir="}).has_value());
  EXPECT_FALSE(DataDirOption({"--data-dir=/first-is-the-program"}).has_value());
  // The word after the option is its value even when it looks like one.
  EXPECT_EQ(DataDirOption({"x", "--data-dir", "--data-dir"}), "--data-dir");
}

TEST(ProgramDir, ChoosesOptionThenWritableExecutableDirThenPerUserDir) {
  TempDir root;
  std::string exe = root.File("bin");
  std::string user = root.File("user/share/app");
  std::filesystem::create_directory(exe);

  EXPECT_EQ(ResolveProgramDir({"p"}, exe, user), exe + "/");
  EXPECT_FALSE(std::filesystem::exists(user));

  // An executable directory that cannot be written sends the files to the
  // per-user directory, which is created.
  std::string gone = root.File("no-such-bin");
  EXPECT_EQ(ResolveProgramDir({"p"}, gone, user), user + "/");
  EXPECT_TRUE(std::filesystem::is_directory(user));

  // The option wins and is made absolute and created.
  std::filesystem::path cwd = std::filesystem::current_path();
  std::filesystem::current_path(root.Path());
  std::string relative = ResolveProgramDir({"p", "--data-dir", "client1/../client2/"}, exe, user);
  std::filesystem::current_path(cwd);
  EXPECT_EQ(relative, root.File("client2/"));
  EXPECT_TRUE(std::filesystem::is_directory(root.File("client2")));
}

TEST(ProgramDir, ForThisProcessHonoursTheOption) {
  TempDir root;
  int argc = 1;
  char name[] = "chat_media_tests";
  char* argv[] = {name, nullptr};
  // Another test of this program may already have made the application.
  std::unique_ptr<QCoreApplication> app;
  if (!QCoreApplication::instance()) app = std::make_unique<QCoreApplication>(argc, argv);
  std::string want = root.File("data/");
  QStringList args{"chat_media_tests", "--data-dir", QString::fromStdString(want)};
  EXPECT_EQ(settings::ProgramDirForThisProcess(args), want);
  EXPECT_TRUE(std::filesystem::is_directory(want));
  // Without the option this test program's own directory is writable.
  EXPECT_EQ(settings::ProgramDirForThisProcess({"chat_media_tests"}),
            QCoreApplication::applicationDirPath().toStdString() + "/");
}

}  // namespace
