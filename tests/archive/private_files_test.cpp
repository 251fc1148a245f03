// The files that hold the password or personal data are their owner's only,
// whatever file-creation mask the process runs with.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "setup/priv_info.h"
#include "archive/private_archive.h"
#include "settings/settings.h"
#include "temp_dir.h"

namespace {

unsigned Mode(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0u;
}

TEST(PrivateFiles, SettingsPersonalInformationAndArchiveAreCreatedForTheOwnerOnly) {
  TempDir dir;
  const mode_t oldMask = ::umask(022);
  settings::Settings settings;
  settings.Load(dir.Path());
  settings.Set(settings.Password, "secret");
  const bool info = media::WritePrivInfo(dir.Path(), {"Ivan", "Moscow"});
  media::AppendArchiveLine(dir.Path(), 5, "#ffffff|#000000|hello", [](const std::string&) {});
  ::umask(oldMask);

  ASSERT_TRUE(info);
  ASSERT_NE(dir.Get("molvat.ini").find("secret"), std::string::npos);
  EXPECT_EQ(Mode(dir.File("molvat.ini")), 0600u);
  EXPECT_EQ(Mode(dir.File("privinfo.txt")), 0600u);
  EXPECT_EQ(Mode(dir.File("private.arc")), 0600u);
}

TEST(PrivateFiles, SettingsAnEarlierVersionLeftOpenAreClosedByTheNextWrite) {
  TempDir dir;
  dir.Put("molvat.ini", "[Global]\r\nPassword=secret\r\n");
  ::chmod(dir.File("molvat.ini").c_str(), 0644);
  settings::Settings settings;
  settings.Load(dir.Path());  // the start-up write-backs
  EXPECT_EQ(settings.Password, "secret");
  EXPECT_EQ(Mode(dir.File("molvat.ini")), 0600u);
}

}  // namespace
