// chat-browser [--data-dir DIR] [--server HOST[:PORT]] [Qt options] | --help | --version
#include <sys/stat.h>

#include <QGuiApplication>
#include <QScreen>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "settings/command_line.h"
#include "settings/program_dir.h"
#include "session/server_address.h"
#include "settings/settings.h"
#include "window/chat_application.h"
#include "window/data_dir_lock.h"
#include "window/login_dialog.h"
#include "window/main_window.h"
#include "window/modal_boxes.h"
#include "window/running_client.h"
#include "window/shutdown_signals.h"

namespace {

// How long a second start waits for the running client to answer.
constexpr int kRaiseWaitMs = 5000;

// --help, --version and a wrong command line answer without a display,
// before Qt starts.
std::optional<int> AnswerWithoutWindow(const settings::CommandLine& line) {
  switch (line.action) {
    case settings::CommandLine::Action::Run:
      return std::nullopt;
    case settings::CommandLine::Action::Help:
      std::fputs(settings::UsageText("$XDG_DATA_HOME/chat-browser (~/.local/share/chat-browser)").c_str(), stdout);
      return 0;
    case settings::CommandLine::Action::Version:
      std::printf("chat-browser %s\n", CHAT_FILE_VERSION);
      return 0;
    case settings::CommandLine::Action::Refuse:
      std::fprintf(stderr, "chat-browser: %s\n%s", line.error.c_str(), settings::ShortUsage().c_str());
      return 2;
  }
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // Everything the client writes (settings with the password, archives,
  // kept messages, the cache) is its user's alone.
  ::umask(077);
  const settings::CommandLine commandLine = settings::ParseCommandLine(std::vector<std::string>(argv, argv + argc));
  if (const std::optional<int> answered = AnswerWithoutWindow(commandLine)) return *answered;
  std::optional<session::ServerAddress> server;
  if (commandLine.server) {
    server = session::ParseServerAddress(*commandLine.server, 8080);
    if (!server) {
      std::fprintf(stderr, "chat-browser: --server wants HOST or HOST:PORT (port 1-65535), not \"%s\"\n",
                   commandLine.server->c_str());
      return 2;
    }
  }
  window::ChatApplication app(argc, argv);
  // Before anything is read, so that a stop during start-up still closes normally.
  window::CatchShutdownSignals();
  try {
    const settings::DataLayout layout = settings::DataLayoutForThisProcess(commandLine.dataDir);
    const std::string& programDir = layout.programDir;
    // Taken before anything in the directory is read or written.
    window::DataDirLock lock(programDir);
    if (lock.state() == window::DataDirLock::State::InUse) {
      if (window::AskRunningClientToRaise(programDir, qgetenv("XDG_ACTIVATION_TOKEN"), kRaiseWaitMs)) return 0;
      const std::string message = window::DataDirLock::InUseMessage(programDir);
      std::fprintf(stderr, "%s\n", message.c_str());
      // A headless platform has nobody to read a box, which would wait for ever.
      if (QGuiApplication::platformName() != "offscreen" && QGuiApplication::platformName() != "minimal")
        window::ShowModal(nullptr, {window::ModalBox::Kind::Error, "Chat browser", QString::fromUtf8(message.c_str())});
      return 2;
    }
    settings::Settings settings;
    settings.Load(programDir);
    settings.CacheDir = layout.cacheDir;
    // For this run only: nothing is written, so the next start without the
    // option goes to the stored server again.
    if (server) {
      settings.Server = server->host;
      settings.Port1 = server->port;
    }
    window::MainWindow form(settings);
    window::LoginDialog login(settings, &form);
    form.SetLoginDialog(&login);
    form.ShowAtKeptPlace();
    window::CloseOnShutdownSignals(&form);
    // A second start on this folder brings this window forward.  Without
    // the lock (a read-only folder) the socket is not this client's to take.
    std::optional<window::RaiseListener> raiseListener;
    if (lock.state() == window::DataDirLock::State::Held) raiseListener.emplace(programDir, &form);
    return app.exec();
  } catch (const std::exception& e) {
    window::ShowModal(nullptr, {window::ModalBox::Kind::Error, "Chat browser", QString::fromLocal8Bit(e.what())});
    return 1;
  }
}
