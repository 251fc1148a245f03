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

TEST(ProgramDir, AnInstalledProgramKeepsItsFilesPerUserEvenInAWritablePrefix) {
  TempDir root;
  const std::string bin = root.File("prefix/bin");
  const std::string user = root.File("home/.local/share/app");
  std::filesystem::create_directories(bin);
  EXPECT_EQ(ResolveProgramDir({"p"}, bin, user), bin + "/");  // a portable copy in a bin folder
  std::filesystem::create_directories(root.File("prefix/share/applications"));
  FILE* entry = fopen(root.File("prefix/share/applications/chat-browser.desktop").c_str(), "wb");
  ASSERT_NE(entry, nullptr);
  fclose(entry);
  EXPECT_EQ(ResolveProgramDir({"p"}, bin, user), user + "/");
  EXPECT_FALSE(std::filesystem::exists(bin + "/molvat.ini"));
  EXPECT_EQ(ResolveProgramDir({"p", "--data-dir", root.File("mine")}, bin, user), root.File("mine/"));
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

namespace {

using settings::DataLayout;
using settings::ResolveDataLayout;
using settings::UserDirs;

unsigned Mode(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0u;
}

void Touch(const std::string& path, const std::string& bytes = "x") {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

// An installed program: <prefix>/bin beside <prefix>/share/applications.
std::string InstalledBin(const TempDir& root) {
  const std::string bin = root.File("usr/bin");
  std::filesystem::create_directories(bin);
  Touch(root.File("usr/share/applications/chat-browser.desktop"));
  return bin;
}

TEST(DataLayout, InstalledClientKeepsDataAndCacheInTheUserFolders) {
  TempDir root;
  const UserDirs user{root.File("home/data"), root.File("home/cache")};
  const DataLayout layout = ResolveDataLayout(std::nullopt, InstalledBin(root), user);
  EXPECT_TRUE(layout.perUser);
  EXPECT_EQ(layout.programDir, root.File("home/data/chat-browser/"));
  EXPECT_EQ(layout.cacheDir, root.File("home/cache/chat-browser/"));
  // The folder will hold the password: nobody else may enter it.
  EXPECT_EQ(Mode(root.File("home/data/chat-browser")), 0700u);

  // A folder an earlier start left open is closed again.
  std::filesystem::permissions(root.File("home/data/chat-browser"), std::filesystem::perms(0755));
  ResolveDataLayout(std::nullopt, InstalledBin(root), user);
  EXPECT_EQ(Mode(root.File("home/data/chat-browser")), 0700u);
}

TEST(DataLayout, PortableCopyAndDataDirOptionKeepEverythingTogether) {
  TempDir root;
  const UserDirs user{root.File("home/data"), root.File("home/cache")};
  const std::string portable = root.File("portable");
  std::filesystem::create_directories(portable);
  DataLayout layout = ResolveDataLayout(std::nullopt, portable, user);
  EXPECT_FALSE(layout.perUser);
  EXPECT_EQ(layout.programDir, portable + "/");
  EXPECT_EQ(layout.cacheDir, portable + "/Cache/");

  // The option wins even for an installed program; a folder it names is
  // created private, one that exists keeps the mode its owner gave it.
  layout = ResolveDataLayout(root.File("given"), InstalledBin(root), user);
  EXPECT_EQ(layout.programDir, root.File("given/"));
  EXPECT_EQ(layout.cacheDir, root.File("given/Cache/"));
  EXPECT_EQ(Mode(root.File("given")), 0700u);
  std::filesystem::permissions(root.File("given"), std::filesystem::perms(0750));
  ResolveDataLayout(root.File("given"), InstalledBin(root), user);
  EXPECT_EQ(Mode(root.File("given")), 0750u);
  EXPECT_FALSE(std::filesystem::exists(root.File("home")));
}

TEST(DataLayout, TheOldFolderWithABlankIsMovedOnceWithItsCacheApart) {
  TempDir root;
  const UserDirs user{root.File("home/data"), root.File("home/cache")};
  Touch(root.File("home/data/Chat browser/molvat.ini"), "[Global]\r\nUserName=a\r\n");
  Touch(root.File("home/data/Chat browser/private.arc"), "line\n");
  Touch(root.File("home/data/Chat browser/Cache/index.dat"), "1\r\n");
  std::filesystem::permissions(root.File("home/data/Chat browser"), std::filesystem::perms(0755));

  const DataLayout layout = ResolveDataLayout(std::nullopt, InstalledBin(root), user);
  EXPECT_EQ(layout.programDir, root.File("home/data/chat-browser/"));
  EXPECT_FALSE(std::filesystem::exists(root.File("home/data/Chat browser")));
  EXPECT_EQ(root.Get("home/data/chat-browser/molvat.ini"), "[Global]\r\nUserName=a\r\n");
  EXPECT_EQ(root.Get("home/data/chat-browser/private.arc"), "line\n");
  EXPECT_EQ(root.Get("home/cache/chat-browser/index.dat"), "1\r\n");
  EXPECT_FALSE(std::filesystem::exists(root.File("home/data/chat-browser/Cache")));
  EXPECT_EQ(Mode(root.File("home/data/chat-browser")), 0700u);

  // Once only: an old folder that shows up again never overwrites the new one.
  Touch(root.File("home/data/Chat browser/molvat.ini"), "[Global]\r\nUserName=old\r\n");
  ResolveDataLayout(std::nullopt, InstalledBin(root), user);
  EXPECT_EQ(root.Get("home/data/chat-browser/molvat.ini"), "[Global]\r\nUserName=a\r\n");
  EXPECT_EQ(root.Get("home/data/Chat browser/molvat.ini"), "[Global]\r\nUserName=old\r\n");
}

TEST(DataLayout, MoveWithAnExistingCacheLeavesTheOldCacheInThePlace) {
  TempDir root;
  Touch(root.File("old/Cache/p1.gif"), "GIF");
  Touch(root.File("cache/kept.gif"), "kept");
  EXPECT_TRUE(settings::MoveOldDataFolder(root.File("old"), root.File("new"), root.File("cache")));
  EXPECT_EQ(root.Get("new/Cache/p1.gif"), "GIF");
  EXPECT_EQ(root.Get("cache/kept.gif"), "kept");
  // Nothing to move, or a target in the way: nothing happens.
  EXPECT_FALSE(settings::MoveOldDataFolder(root.File("old"), root.File("new"), ""));
  Touch(root.File("old2/a"));
  EXPECT_FALSE(settings::MoveOldDataFolder(root.File("old2"), root.File("new"), ""));
  EXPECT_TRUE(std::filesystem::exists(root.File("old2/a")));
}

}  // namespace
