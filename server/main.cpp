// chatd: the reference chat server and its web side.
//   chatd [--port 8080] [--http-port 8081] [--data DIR] [--moderator NAME]...
//         [--bot NAME] [--host ADDRESS] [--per-address N] [--log FILE] [--quiet]
// Prints "chatd listening on HOST:PORT http HOST:HTTPPORT" once both sides
// accept connections; port 0 picks a free port.
#include <QCoreApplication>
#include <QDir>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTimer>
#include <malloc.h>

#include <csignal>
#include <cstdio>
#include <unistd.h>

#include "server/artwork.h"
#include "server/chat_listener.h"
#include "server/log.h"
#include "server/room.h"
#include "server/store.h"
#include "server/web_pages.h"
#include "server/web_server.h"
#include "text/cp1251.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: chatd [--port 8080] [--http-port 8081] [--data DIR] [--moderator NAME]... [--bot NAME]\n"
               "             [--host 127.0.0.1] [--per-address 64] [--log FILE] [--quiet]\n");
}

// SIGTERM and SIGINT end the event loop through a pipe, so the room can
// write what it still holds before chatd exits.
int g_quitPipe[2] = {-1, -1};
void OnQuitSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t n = write(g_quitPipe[1], &byte, 1);
}

bool ParsePort(const QString& text, int* port) {
  bool ok = false;
  const int value = text.toInt(&ok);
  if (!ok || value < 0 || value > 65535) return false;
  *port = value;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int port = 8080, httpPort = 8081;
  QString dataDir = "chatd-data";
  QString host = "127.0.0.1";
  chatd::RoomOptions options;
  chatd::ChatLimits limits;
  QString logFile;
  const QStringList args = app.arguments();
  for (int i = 1; i < args.size(); ++i) {
    const QString& a = args[i];
    const bool hasValue = i + 1 < args.size();
    // Names come from a UTF-8 command line; the room works in Windows-1251.
    auto value = [&] { return args[++i]; };
    if (a == "--port" && hasValue) {
      if (!ParsePort(value(), &port)) return Usage(), 2;
    } else if (a == "--http-port" && hasValue) {
      if (!ParsePort(value(), &httpPort)) return Usage(), 2;
    } else if (a == "--data" && hasValue) {
      dataDir = value();
    } else if (a == "--moderator" && hasValue) {
      options.moderators.push_back(text::Utf8ToCp1251(value().toStdString()));
    } else if (a == "--bot" && hasValue) {
      options.botName = text::Utf8ToCp1251(value().toStdString());
    } else if (a == "--host" && hasValue) {
      host = value();
    } else if (a == "--per-address" && hasValue) {
      bool ok = false;
      const int n = value().toInt(&ok);
      if (!ok || n < 1) return Usage(), 2;
      limits.perAddress = static_cast<size_t>(n);
    } else if (a == "--log" && hasValue) {
      logFile = value();
    } else if (a == "--help" || a == "-h") {
      Usage();
      return 0;
    } else if (a == "--quiet") {
      chatd::SetLogEnabled(false);
    } else {
      Usage();
      return 2;
    }
  }
  if (!logFile.isEmpty() && !chatd::SetLogFile(logFile.toStdString())) {
    std::fprintf(stderr, "chatd: cannot write the log %s\n", qPrintable(logFile));
    return 1;
  }
  // Large blocks come straight from the system and go straight back, so a
  // burst of long lines leaves no grown heap behind.
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);
  const QHostAddress address(host);
  if (address.isNull()) {
    std::fprintf(stderr, "chatd: bad --host %s\n", qPrintable(host));
    return 2;
  }
  if (!QDir().mkpath(dataDir)) {
    std::fprintf(stderr, "chatd: cannot create data folder %s\n", qPrintable(dataDir));
    return 1;
  }
  const std::string data = QDir(dataDir).absolutePath().toStdString();
  std::string error;
  auto store = chatd::Store::Open(data + "/chatd.sqlite", &error);
  if (!store) {
    std::fprintf(stderr, "chatd: cannot open database: %s\n", error.c_str());
    return 1;
  }
  if (chatd::EnsureArtwork(data, options.botName) < 0) {
    std::fprintf(stderr, "chatd: cannot write the pictures under %s\n", data.c_str());
    return 1;
  }

  chatd::ChatListener listener(limits);
  chatd::Room room(*store, options, listener);
  listener.SetRoom(&room);
  if (!listener.Listen(address, static_cast<quint16>(port))) {
    std::fprintf(stderr, "chatd: cannot listen on %s:%d\n", qPrintable(host), port);
    return 1;
  }
  chatd::WebConfig web;
  web.dataDir = data;
  web.host = host.toStdString();
  web.chatPort = listener.Port();
  chatd::WebPages pages(room, web);
  chatd::WebServer webServer(pages, limits.perAddress);
  const quint16 actualHttpPort = webServer.Start(address, static_cast<quint16>(httpPort));
  if (actualHttpPort == 0) {
    std::fprintf(stderr, "chatd: cannot listen on %s:%d\n", qPrintable(host), httpPort);
    return 1;
  }
  // The announcement pages and the smiley list name the real port.
  pages.SetHttpPort(actualHttpPort);

  QTimer botClock;
  QObject::connect(&botClock, &QTimer::timeout, &botClock, [&room] { room.Tick(); });
  botClock.start(60 * 1000);
  // Public lines reach the database in batches; a killed chatd loses at
  // most the last second of the archive.
  QTimer archiveClock;
  QObject::connect(&archiveClock, &QTimer::timeout, &archiveClock, [&room] {
    room.FlushArchive();
    chatd::FlushRefusals();
  });
  archiveClock.start(1000);

  if (pipe(g_quitPipe) == 0) {
    auto* notifier = new QSocketNotifier(g_quitPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGTERM, OnQuitSignal);
    std::signal(SIGINT, OnQuitSignal);
  }
  std::printf("chatd listening on %s:%u http %s:%u\n", qPrintable(host), listener.Port(), qPrintable(host),
              actualHttpPort);
  std::fflush(stdout);
  return app.exec();
}
