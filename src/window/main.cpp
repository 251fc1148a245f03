// chat-browser [--data-dir DIR] [--server HOST[:PORT]] | --help | --version
#include <QGuiApplication>
#include <QScreen>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>

#include "settings/program_dir.h"
#include "session/server_address.h"
#include "settings/settings.h"
#include "window/chat_application.h"
#include "window/data_dir_lock.h"
#include "window/login_dialog.h"
#include "window/main_window.h"
#include "window/modal_boxes.h"
#include "window/shutdown_signals.h"

namespace {

// --help and --version answer without a display, before Qt starts.
std::optional<int> InformationOption(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--data-dir" || a == "--server") {
      ++i;
    } else if (a == "--help" || a == "-h") {
      std::printf(
          "usage: chat-browser [--data-dir DIR] [--server HOST[:PORT]] [Qt options]\n"
          "       chat-browser --help | --version\n"
          "\n"
          "A chat client: the common room, private messages, games, audio messages\n"
          "and pictures.  Settings, archives and kept files live in the data folder:\n"
          "DIR when given, else the program's folder for a portable copy, else\n"
          "%s.\n"
          "\n"
          "  --data-dir DIR  keep everything in DIR (two clients need two folders)\n"
          "  --server HOST[:PORT]\n"
          "                  connect to this chat server for this run (the stored\n"
          "                  Server and Port1 stay as they are)\n"
          "  --help          this text\n"
          "  --version       the version\n",
          "$XDG_DATA_HOME/Chat browser (~/.local/share/Chat browser)");
      return 0;
    } else if (a == "--version") {
      std::printf("chat-browser %s\n", CHAT_FILE_VERSION);
      return 0;
    }
  }
  return std::nullopt;
}

// The value after `name`, when given (empty when nothing follows it); the
// last one wins.
std::optional<std::string> OptionValue(int argc, char** argv, const std::string& name) {
  std::optional<std::string> value;
  for (int i = 1; i < argc; ++i)
    if (argv[i] == name) value = i + 1 < argc ? argv[++i] : "";
  return value;
}

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<int> answered = InformationOption(argc, argv)) return *answered;
  const std::optional<std::string> serverOption = OptionValue(argc, argv, "--server");
  std::optional<session::ServerAddress> server;
  if (serverOption) {
    server = session::ParseServerAddress(*serverOption, 8080);
    if (!server) {
      std::fprintf(stderr, "chat-browser: --server wants HOST or HOST:PORT (port 1-65535), not \"%s\"\n",
                   serverOption->c_str());
      return 2;
    }
  }
  window::ChatApplication app(argc, argv);
  // Before anything is read, so that a stop during start-up still closes normally.
  window::CatchShutdownSignals();
  try {
    const std::string programDir = settings::ProgramDirForThisProcess(app.arguments());
    // Taken before anything in the directory is read or written.
    window::DataDirLock lock(programDir);
    if (lock.state() == window::DataDirLock::State::InUse) {
      const std::string message = window::DataDirLock::InUseMessage(programDir);
      std::fprintf(stderr, "%s\n", message.c_str());
      // A headless platform has nobody to read a box, which would wait for ever.
      if (QGuiApplication::platformName() != "offscreen" && QGuiApplication::platformName() != "minimal")
        window::ShowModal(nullptr, {window::ModalBox::Kind::Error, "Chat browser", QString::fromUtf8(message.c_str())});
      return 2;
    }
    settings::Settings settings;
    settings.Load(programDir);
    // For this run only: nothing is written, so the next start without the
    // option goes to the stored server again.
    if (server) {
      settings.Server = server->host;
      settings.Port1 = server->port;
    }
    window::MainWindow form(settings);
    window::LoginDialog login(settings, &form);
    form.SetLoginDialog(&login);
    // Without a window manager showMaximized() alone keeps the design size.
    if (const QScreen* screen = form.screen()) form.setGeometry(screen->availableGeometry());
    form.showMaximized();
    window::CloseOnShutdownSignals(&form);
    return app.exec();
  } catch (const std::exception& e) {
    window::ShowModal(nullptr, {window::ModalBox::Kind::Error, "Chat browser", QString::fromLocal8Bit(e.what())});
    return 1;
  }
}
