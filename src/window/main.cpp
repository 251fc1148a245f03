// chat-browser [--data-dir DIR]
#include <QGuiApplication>
#include <QScreen>
#include <cstdio>
#include <exception>

#include "settings/program_dir.h"
#include "settings/settings.h"
#include "window/chat_application.h"
#include "window/data_dir_lock.h"
#include "window/login_dialog.h"
#include "window/main_window.h"
#include "window/modal_boxes.h"
#include "window/shutdown_signals.h"

int main(int argc, char** argv) {
  window::ChatApplication app(argc, argv);
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
