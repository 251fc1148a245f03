// chat-browser [--data-dir DIR]
#include <QScreen>
#include <exception>

#include "settings/program_dir.h"
#include "settings/settings.h"
#include "window/chat_application.h"
#include "window/login_dialog.h"
#include "window/main_window.h"
#include "window/modal_boxes.h"
#include "window/shutdown_signals.h"

int main(int argc, char** argv) {
  window::ChatApplication app(argc, argv);
  try {
    settings::Settings settings;
    settings.Load(settings::ProgramDirForThisProcess(app.arguments()));
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
