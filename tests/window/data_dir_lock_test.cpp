// One program per data directory, with the real program started twice: the
// second start brings the first one forward and ends.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <QLocalSocket>
#include <QWidget>

#include "qt_wait.h"
#include "window/data_dir_lock.h"
#include "window/running_client.h"

namespace {

const char* kIni = "[Global]\r\nUserName=a\r\nPassword=b\r\nUserNum=1\r\nPort1=1\r\n";

void StartClient(QProcess& client, const QString& dir, const QStringList& more = {}) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  client.setProcessEnvironment(env);
  client.start(CHAT_BINARY_DIR "/bin/chat-browser", QStringList{"--data-dir", dir} + more);
}

unsigned Mode(const QString& path) {
  struct stat st {};
  return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 0u;
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

TEST(DataDirLock, SecondProgramOnTheSameDirectoryRaisesTheFirstAndTouchesNothing) {
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
  // It ends well only when the first one answered that it came forward.
  EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
  const QString said = QString::fromUtf8(second.readAllStandardError());
  EXPECT_FALSE(said.contains("is in use")) << said.toStdString();
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

TEST(DataDirLock, AHeldFolderWhoseHolderDoesNotAnswerIsRefused) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/";
  // This process holds the folder but listens for nobody.
  window::DataDirLock lock(path);
  ASSERT_EQ(lock.state(), window::DataDirLock::State::Held);
  QProcess second;
  StartClient(second, dir.path());
  ASSERT_TRUE(second.waitForFinished(20000));
  EXPECT_EQ(second.exitCode(), 2);
  const QString said = QString::fromUtf8(second.readAllStandardError());
  EXPECT_TRUE(said.contains("is in use")) << said.toStdString();
  EXPECT_TRUE(said.contains(QString::fromUtf8("уже используется"))) << said.toStdString();
}

TEST(DataDirLock, AFreshFolderAndTheFilesWithThePasswordAreTheOwnersOnly) {
  QTemporaryDir root;
  const QString dir = root.filePath("new-client");
  QProcess client;
  StartClient(client, dir);
  ASSERT_TRUE(client.waitForStarted());
  ASSERT_TRUE(WaitFor([&] { return ReadFile(dir + "/molvat.ini").contains("ChatDir="); }, 10000));
  EXPECT_EQ(Mode(dir), 0700u);
  for (const QString& name : QDir(dir).entryList(QDir::Files | QDir::Hidden))
    EXPECT_EQ(Mode(dir + "/" + name) & 077, 0u) << name.toStdString();
  client.kill();
  EXPECT_TRUE(client.waitForFinished(10000));
}

TEST(DataDirLock, UnknownOptionsAreRefusedWithTheUsageBeforeAnythingIsWritten) {
  QTemporaryDir root;
  QProcess client;
  // A mistyped --data-dir must not start a client in the program's folder.
  client.start(CHAT_BINARY_DIR "/bin/chat-browser", {"--datadir", root.filePath("x")});
  ASSERT_TRUE(client.waitForFinished(10000));
  EXPECT_EQ(client.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(client.exitCode(), 2);
  const QByteArray said = client.readAllStandardError();
  EXPECT_TRUE(said.contains("unknown option --datadir")) << said.toStdString();
  EXPECT_TRUE(said.contains("usage: chat-browser")) << said.toStdString();
  EXPECT_TRUE(client.readAllStandardOutput().isEmpty());
  EXPECT_FALSE(QFile::exists(CHAT_BINARY_DIR "/bin/molvat.ini"));
  EXPECT_TRUE(QDir(root.path()).isEmpty());
}

TEST(RaiseListener, ARequestBringsTheMinimisedWindowForwardWithItsToken) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/";
  QWidget window;
  window.showMinimized();
  window::RaiseListener listener(path, &window);
  ASSERT_TRUE(listener.Listening());
  qunsetenv("XDG_ACTIVATION_TOKEN");

  // The asking side blocks; its answer comes from this event loop.
  QLocalSocket asker;
  asker.connectToServer(window::RaiseListener::SocketPath(path));
  ASSERT_TRUE(asker.waitForConnected(5000));
  asker.write("raise token-123_abc\n");
  ASSERT_TRUE(WaitFor([&] { return asker.canReadLine(); }));
  EXPECT_EQ(asker.readLine(), "ok\n");
  ASSERT_TRUE(WaitFor([&] { return !window.isMinimized(); }));
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(qgetenv("XDG_ACTIVATION_TOKEN"), "token-123_abc");
  EXPECT_EQ(listener.Answered(), 1);
  qunsetenv("XDG_ACTIVATION_TOKEN");

  // A request of another kind, or an endless one, is dropped unanswered.
  for (const QByteArray& bad : {QByteArray("lower\n"), QByteArray(4096, 'r')}) {
    QLocalSocket other;
    other.connectToServer(window::RaiseListener::SocketPath(path));
    ASSERT_TRUE(other.waitForConnected(5000));
    other.write(bad);
    EXPECT_TRUE(WaitFor([&] { return other.state() == QLocalSocket::UnconnectedState; }));
    EXPECT_FALSE(other.canReadLine());
  }
  EXPECT_EQ(listener.Answered(), 1);
  // A token that could not come from a launcher is not passed on; the
  // window still comes forward.
  window.showMinimized();
  QLocalSocket third;
  third.connectToServer(window::RaiseListener::SocketPath(path));
  ASSERT_TRUE(third.waitForConnected(5000));
  third.write("raise bad\x01token\n");
  ASSERT_TRUE(WaitFor([&] { return third.canReadLine(); }));
  ASSERT_TRUE(WaitFor([&] { return !window.isMinimized(); }));
  EXPECT_TRUE(qgetenv("XDG_ACTIVATION_TOKEN").isEmpty());
  EXPECT_EQ(listener.Answered(), 2);
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
