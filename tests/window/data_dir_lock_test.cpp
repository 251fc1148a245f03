// One program per data directory, with the real program started twice.
#include <gtest/gtest.h>

#include <filesystem>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "qt_wait.h"
#include "window/data_dir_lock.h"

namespace {

const char* kIni = "[Global]\r\nUserName=a\r\nPassword=b\r\nUserNum=1\r\nPort1=1\r\n";

void StartClient(QProcess& client, const QString& dir) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  client.setProcessEnvironment(env);
  client.start(CHAT_BINARY_DIR "/bin/chat-browser", {"--data-dir", dir});
}

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Port 1 refuses at once, so the first client keeps running, retrying.
void WriteIni(const QTemporaryDir& dir) {
  QFile ini(dir.filePath("molvat.ini"));
  ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
  ini.write(kIni);
}

bool StartedUp(const QTemporaryDir& dir) { return ReadFile(dir.filePath("molvat.ini")).contains("ChatDir="); }

TEST(DataDirLock, SecondProgramOnTheSameDirectoryRefusesAndTouchesNothing) {
  QTemporaryDir dir;
  WriteIni(dir);
  QProcess first;
  StartClient(first, dir.path());
  ASSERT_TRUE(first.waitForStarted());
  ASSERT_TRUE(WaitFor([&] { return StartedUp(dir); }, 10000));

  // What the first one wrote, and when, before the second one starts (its
  // saves go through hidden temporary files, left out here).
  QStringList before = QDir(dir.path()).entryList(QDir::Files);
  const QByteArray ini = ReadFile(dir.filePath("molvat.ini"));
  // Nanoseconds: two saves within one millisecond must not look alike.
  const auto iniTime = std::filesystem::last_write_time(dir.filePath("molvat.ini").toStdString());

  QProcess second;
  StartClient(second, dir.path());
  ASSERT_TRUE(second.waitForStarted());
  ASSERT_TRUE(second.waitForFinished(10000));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_NE(second.exitCode(), 0);
  const QString said = QString::fromUtf8(second.readAllStandardError());
  EXPECT_TRUE(said.contains("is in use")) << said.toStdString();
  EXPECT_TRUE(said.contains(QString::fromUtf8("уже используется"))) << said.toStdString();
  EXPECT_TRUE(first.state() == QProcess::Running);

  // The second start wrote nothing; the first one may have saved meanwhile,
  // so only an unchanged time stamp proves the refusal left the file alone.
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), before);
  if (std::filesystem::last_write_time(dir.filePath("molvat.ini").toStdString()) == iniTime) {
    EXPECT_EQ(ReadFile(dir.filePath("molvat.ini")), ini);
  }

  first.terminate();
  ASSERT_TRUE(first.waitForFinished(10000));
  // Once the first one has closed, the directory is free again.
  QProcess third;
  StartClient(third, dir.path());
  ASSERT_TRUE(third.waitForStarted());
  // The lock file names its holder's process number first.
  EXPECT_TRUE(WaitFor([&] {
    return ReadFile(dir.filePath(window::DataDirLock::kFileName)).split('\n').value(0) ==
           QByteArray::number(third.processId());
  }, 10000)) << third.readAllStandardError().toStdString();
  EXPECT_EQ(third.state(), QProcess::Running);
  // It may not have its signal handlers yet; only the lock mattered here.
  third.kill();
  EXPECT_TRUE(third.waitForFinished(10000));
}

TEST(DataDirLock, LockOfAKilledProgramDoesNotLockTheUserOut) {
  QTemporaryDir dir;
  WriteIni(dir);
  QProcess first;
  StartClient(first, dir.path());
  ASSERT_TRUE(first.waitForStarted());
  ASSERT_TRUE(WaitFor([&] { return StartedUp(dir); }, 10000));
  first.kill();  // SIGKILL: the lock file stays behind
  ASSERT_TRUE(first.waitForFinished(10000));
  ASSERT_TRUE(QFile::exists(dir.filePath(window::DataDirLock::kFileName)));

  const std::string path = dir.path().toStdString() + "/";
  window::DataDirLock lock(path);
  EXPECT_EQ(lock.state(), window::DataDirLock::State::Held);
  // Held by this process now: another taker is refused.
  window::DataDirLock other(path);
  EXPECT_EQ(other.state(), window::DataDirLock::State::InUse);
}

TEST(DataDirLock, ReadOnlyDirectoryRunsUnlocked) {
  QTemporaryDir dir;
  ASSERT_TRUE(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
  if (QFileInfo(dir.path()).isWritable()) GTEST_SKIP() << "running as a user who may write anywhere";
  window::DataDirLock lock(dir.path().toStdString() + "/");
  EXPECT_EQ(lock.state(), window::DataDirLock::State::Unavailable);
  QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

}  // namespace
