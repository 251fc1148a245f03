// chat-browser [--data-dir DIR]
#include <QScreen>
#include <exception>

#include "media/program_dir.h"
#include "media/settings.h"
#include "window/chat_application.h"
#include "window/login_dialog.h"
#include "window/main_window.h"
#include "window/modal_boxes.h"
#include "window/shutdown_signals.h"

int main(int argc, char** argv) {
  ChatApplication app(argc, argv);
  try {
    media::Settings& settings = media::AppSettings();
    settings.Load(media::ProgramDirForThisProcess(app.arguments()));
    TMainForm form(settings);
    TReg reg(settings, &form);
    form.SetLoginDialog(&reg);
    // Without a window manager showMaximized() alone keeps the design size.
    if (const QScreen* screen = form.screen()) form.setGeometry(screen->availableGeometry());
    form.showMaximized();
    window::CloseOnShutdownSignals(&form);
    return app.exec();
  } catch (const std::exception& e) {
    window::ShowModal(nullptr, {window::ModalBox::Error, "Chat browser", QString::fromLocal8Bit(e.what())});
    return 1;
  }
}
