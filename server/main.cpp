// chatd: the reference chat server and its web side.
//   chatd [--port 8080] [--http-port 8081] [--data DIR] [--moderator NAME]...
//         [--bot NAME] [--host ADDRESS] [--per-address N] [--log FILE] [--quiet]
//         [limits, see --help]
//   chatd --data DIR --add-user NAME   (password on standard input)
// Prints "chatd listening on HOST:PORT http HOST:HTTPPORT" once both sides
// accept connections; port 0 picks a free port.
#include <QCoreApplication>
#include <QDir>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTimer>
#include <malloc.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <iostream>

#include "server/artwork.h"
#include "server/chat_listener.h"
#include "server/log.h"
#include "server/nats_bus.h"
#include "server/name_rules.h"
#include "server/room.h"
#include "server/store_pg.h"
#include "server/store_sqlite.h"
#include "server/web_pages.h"
#include "server/web_server.h"
#include "text/cp1251.h"

namespace {

void Usage(FILE* out = stderr) {
  std::fprintf(out,
               "usage: chatd [--port 8080] [--http-port 8081] [--data DIR] [--moderator NAME]... [--bot NAME]\n"
               "             [--host 127.0.0.1] [--per-address 64] [--log FILE] [--quiet]\n"
               "             [--announce HOST:PORT]  (the chat server the gloc.html pages name)\n"
               "             [--photos NAME:1,2]...  (photo numbers of an account)\n"
               "             [--max-connections N] [--list-interval MS] [--registrations-per-hour N]\n"
               "             [--public-rate KIB] [--public-burst KIB] [--kept-per-sender N]\n"
               "             [--kept-kib-per-sender KIB] [--store postgresql://...]\n"
               "             [--proxy-protocol] [--cluster nats://HOST:4222 --node N]\n"
               "       chatd [--data DIR] --add-user NAME  (reads the password from standard input)\n"
               "       chatd --help | --version\n");
}

void Help() {
  Usage(stdout);
  std::printf(
      "\nThe reference chat server: the chat protocol on --port and the web side\n"
      "(archives, smileys, photos, discovery pages) on --http-port, both on --host.\n"
      "Port 0 takes a free port; the ports taken are printed on standard output.\n"
      "Accounts, fines and the room's history are kept in DIR/chatd.sqlite.\n"
      "\n"
      "  --port N          chat port (8080)\n"
      "  --http-port N     web port (8081)\n"
      "  --host ADDRESS    address to listen on (127.0.0.1)\n"
      "  --data DIR        data folder (chatd-data)\n"
      "  --moderator NAME  give NAME moderator rights (repeatable)\n"
      "  --bot NAME        a user played by the server: greets, talks, answers\n"
      "  --announce H:P    the chat server the discovery pages name\n"
      "  --photos NAME:1,2 photo numbers of an account (DIR/photos/NAME_1.jpg)\n"
      "  --per-address N   connections allowed from one address (64)\n"
      "  --max-connections N  chat connections in all (2000, fewer when the\n"
      "                    file limit does not allow them)\n"
      "  --list-interval MS   the online list goes to each client at most once\n"
      "                    per MS after a change (250)\n"
      "  --registrations-per-hour N  new accounts from one address per hour\n"
      "                    (10; 0 for no limit)\n"
      "  --public-rate KIB  public messages one user may send per second (16;\n"
      "                    0 for no limit); past it he is read more slowly\n"
      "  --public-burst KIB  what he may send at once before that (256)\n"
      "  --kept-per-sender N  private messages one sender may have kept for\n"
      "                    users who are offline (100)\n"
      "  --kept-kib-per-sender KIB  and their size together (1024)\n"
      "  --store URI       keep accounts, fines, kept messages and the archive\n"
      "                    in PostgreSQL (postgresql://user@host/db?...) instead\n"
      "                    of DIR/chatd.sqlite: every node of one room names the\n"
      "                    same database\n"
      "  --cluster URL     serve one room together with other chatd nodes through\n"
      "                    the NATS server at URL (nats://host:4222); needs\n"
      "                    --node and a shared --store\n"
      "  --node N          this node's number, 1 to 63, different on every node\n"
      "  --proxy-protocol  every chat connection begins with a PROXY protocol\n"
      "                    header (v1 or v2) from a TCP balancer; the address it\n"
      "                    names counts for the limits per address, IP fines and\n"
      "                    the addresses chatd tells\n"
      "  --add-user NAME   make (or give a new password to) the account NAME with\n"
      "                    the password read from standard input, and exit; the\n"
      "                    names given with --moderator can be made no other way\n"
      "  --log FILE        write the log to FILE instead of standard error\n"
      "  --quiet           no log\n"
      "  --help            this text\n"
      "  --version         the version\n"
      "\n"
      "The log goes to standard error, one line per event. Failed logins make\n"
      "the next attempt from that address and for that account wait, doubling\n"
      "up to 30 s.\n");
}

// SIGTERM and SIGINT end the event loop through a pipe, so the room can
// write what it still holds before chatd exits.
int g_quitPipe[2] = {-1, -1};
void OnQuitSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t n = write(g_quitPipe[1], &byte, 1);
}

bool ParseCount(const QString& text, int64_t* value, int64_t min = 0) {
  bool ok = false;
  const qlonglong n = text.toLongLong(&ok);
  if (!ok || n < min || n > (int64_t{1} << 40)) return false;
  *value = n;
  return true;
}

// Raises the soft limit of open files to the hard one; returns the limit.
rlim_t RaiseFileLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;
  if (limit.rlim_cur < limit.rlim_max) {
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  return limit.rlim_cur;
}

// The store named by --store, or the SQLite file in the data folder.
std::unique_ptr<chatd::Store> OpenStore(const std::string& uri, const std::string& data, std::string* error) {
  if (uri.empty()) return chatd::SqliteStore::Open(data + "/chatd.sqlite", error);
  return chatd::PgStore::Open(uri, error);
}

bool IsPostgresUri(const QString& uri) {
  return uri.startsWith("postgresql://") || uri.startsWith("postgres://");
}

// Makes the account `name` (or gives it a new password) with the password
// on standard input.
int AddUser(const std::string& data, const std::string& storeUri, const std::string& name) {
  if (!chatd::IsValidName(name)) {
    std::fprintf(stderr, "chatd: the name is not allowed\n");
    return 2;
  }
  std::string password;
  std::getline(std::cin, password);
  if (!password.empty() && password.back() == '\r') password.pop_back();
  password = text::Utf8ToCp1251(password);
  if (password.empty()) {
    std::fprintf(stderr, "chatd: no password on standard input\n");
    return 2;
  }
  std::string error;
  auto store = OpenStore(storeUri, data, &error);
  if (!store) {
    std::fprintf(stderr, "chatd: cannot open database: %s\n", error.c_str());
    return 1;
  }
  const std::string key = chatd::AccountKey(name);
  if (auto existing = store->FindAccount(key)) {
    store->SetPassword(existing->id, password);
    std::printf("chatd: new password for account %lld\n", static_cast<long long>(existing->id));
    return 0;
  }
  chatd::Account fresh;
  fresh.name = name;
  fresh.key = key;
  fresh.created = static_cast<int64_t>(std::time(nullptr));
  auto made = store->CreateAccount(fresh, password);
  if (!made) {
    std::fprintf(stderr, "chatd: the account could not be stored\n");
    return 1;
  }
  std::printf("chatd: account %lld made\n", static_cast<long long>(made->id));
  return 0;
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
  QString announceHost;
  int announcePort = -1;
  int64_t maxConnections = -1;
  std::string addUser;
  std::string storeUri;
  std::string clusterUrl;
  int node = 0;
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
    } else if (a == "--photos" && hasValue) {
      const std::string given = text::Utf8ToCp1251(value().toStdString());
      const size_t colon = given.rfind(':');
      if (colon == std::string::npos || colon == 0 ||
          given.find_first_not_of("0123456789,", colon + 1) != std::string::npos)
        return Usage(), 2;
      options.photos[chatd::AccountKey(given.substr(0, colon))] = given.substr(colon + 1);
    } else if (a == "--bot" && hasValue) {
      options.botName = text::Utf8ToCp1251(value().toStdString());
    } else if (a == "--host" && hasValue) {
      host = value();
    } else if (a == "--per-address" && hasValue) {
      bool ok = false;
      const int n = value().toInt(&ok);
      if (!ok || n < 1) return Usage(), 2;
      limits.perAddress = static_cast<size_t>(n);
    } else if (a == "--announce" && hasValue) {
      const QString where = value();
      const qsizetype colon = where.lastIndexOf(':');
      if (colon <= 0 || !ParsePort(where.mid(colon + 1), &announcePort)) return Usage(), 2;
      announceHost = where.left(colon);
    } else if (a == "--max-connections" && hasValue) {
      if (!ParseCount(value(), &maxConnections, 1)) return Usage(), 2;
    } else if (a == "--list-interval" && hasValue) {
      int64_t ms = 0;
      if (!ParseCount(value(), &ms) || ms > 60 * 1000) return Usage(), 2;
      options.listIntervalMs = static_cast<int>(ms);
    } else if (a == "--registrations-per-hour" && hasValue) {
      int64_t n = 0;
      if (!ParseCount(value(), &n) || n > 1000000000) return Usage(), 2;
      options.login.registrationsPerHour = static_cast<int>(n);
    } else if (a == "--public-rate" && hasValue) {
      if (!ParseCount(value(), &options.publicBytesPerSecond)) return Usage(), 2;
      options.publicBytesPerSecond *= 1024;
    } else if (a == "--public-burst" && hasValue) {
      if (!ParseCount(value(), &options.publicBurstBytes, 1)) return Usage(), 2;
      options.publicBurstBytes *= 1024;
    } else if (a == "--kept-per-sender" && hasValue) {
      int64_t n = 0;
      if (!ParseCount(value(), &n) || n > 1000000000) return Usage(), 2;
      options.maxKeptPerSender = static_cast<int>(n);
    } else if (a == "--kept-kib-per-sender" && hasValue) {
      if (!ParseCount(value(), &options.maxKeptBytesPerSender)) return Usage(), 2;
      options.maxKeptBytesPerSender *= 1024;
    } else if (a == "--cluster" && hasValue) {
      const QString url = value();
      if (!url.startsWith("nats://") && !url.startsWith("tls://")) return Usage(), 2;
      clusterUrl = url.toStdString();
    } else if (a == "--node" && hasValue) {
      bool ok = false;
      node = value().toInt(&ok);
      if (!ok || node < 1 || node > chatd::kMaxNode) return Usage(), 2;
    } else if (a == "--proxy-protocol") {
      limits.proxyProtocol = true;
    } else if (a == "--store" && hasValue) {
      const QString uri = value();
      if (!IsPostgresUri(uri)) return Usage(), 2;
      storeUri = uri.toStdString();
    } else if (a == "--add-user" && hasValue) {
      addUser = text::Utf8ToCp1251(value().toStdString());
    } else if (a == "--log" && hasValue) {
      logFile = value();
    } else if (a == "--help" || a == "-h") {
      Help();
      return 0;
    } else if (a == "--version") {
      std::printf("chatd %s\n", CHAT_FILE_VERSION);
      return 0;
    } else if (a == "--quiet") {
      chatd::SetLogEnabled(false);
    } else {
      Usage();
      return 2;
    }
  }
  if (!clusterUrl.empty() && (node == 0 || storeUri.empty())) {
    std::fprintf(stderr, "chatd: --cluster needs --node N and --store postgresql://...\n");
    return 2;
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
  if (!addUser.empty()) return AddUser(data, storeUri, addUser);

  // Every connection is a descriptor: take what the hard limit allows and
  // fit the connection caps into it, a third for the web side, with room
  // for the database, the log and the pictures being served.
  const rlim_t files = RaiseFileLimit();
  constexpr rlim_t kReserved = 64;
  const rlim_t usable = files > kReserved + 3 ? files - kReserved : 3;
  int webConnections = chatd::BoundedTcpServer::kMaxConnections;
  if (maxConnections > 0) {
    limits.maxConnections = static_cast<size_t>(maxConnections);
  } else {
    limits.maxConnections = std::min<size_t>(limits.maxConnections, usable * 2 / 3);
    webConnections = static_cast<int>(std::min<rlim_t>(static_cast<rlim_t>(webConnections), usable / 3));
  }
  chatd::Log("open files limit " + std::to_string(files) + ": up to " + std::to_string(limits.maxConnections) +
             " chat and " + std::to_string(webConnections) + " web connections");
  std::string error;
  auto store = OpenStore(storeUri, data, &error);
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
  std::unique_ptr<chatd::NatsBus> bus;
  if (!clusterUrl.empty()) {
    bus = std::make_unique<chatd::NatsBus>(room, node);
    room.SetPeers(bus.get(), node);
    if (!bus->Start(clusterUrl, &error)) {
      std::fprintf(stderr, "chatd: cannot use the bus %s: %s\n", clusterUrl.c_str(), error.c_str());
      return 1;
    }
    listener.SetBeforeWrite([&bus] { bus->Sync(); });
  }
  if (!listener.Listen(address, static_cast<quint16>(port))) {
    std::fprintf(stderr, "chatd: cannot listen on %s:%d\n", qPrintable(host), port);
    return 1;
  }
  chatd::WebConfig web;
  web.dataDir = data;
  web.host = host.toStdString();
  web.chatPort = listener.Port();
  if (announcePort >= 0) {
    web.announcedHost = announceHost.toStdString();
    web.announcedPort = announcePort;
  }
  chatd::WebPages pages(room, web);
  chatd::WebServer webServer(pages, limits.perAddress, webConnections);
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
  const int status = app.exec();
  // The bus goes first; nothing the room does while it is torn down may
  // reach for it.
  room.SetPeers(nullptr, node);
  return status;
}
