#include "window/settings_menu.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

#include "markup/picture_registry.h"
#include "setup/ui/settings_dialog.h"
#include "picture/pictures.h"
#include "settings/settings.h"
#include "chat/chat_services.h"
#include "window/desktop_reactions.h"
#include "window/modal_boxes.h"
#include "window/qt_text.h"

namespace window {

SettingsMenu::SettingsMenu(ChatServices& chat, media::ContactListsRef contacts, QWidget& window,
                           DesktopReactions& reactions, std::function<void()> applied)
    : chat_(chat), window_(window), reactions_(reactions), applied_(std::move(applied)) {
  dialog_ = std::make_unique<media::SettingsDialog>(chat_.Settings(), contacts,
                                                    static_cast<media::SettingsDialogHost&>(*this), &window_);
}

SettingsMenu::~SettingsMenu() = default;

bool SettingsMenu::Open() {
  QPointer<QWidget> window(&window_);
  if (!dialog_->Run() || !window) return false;
  Apply();
  return true;
}

bool SettingsMenu::DialogVisible() const { return dialog_->isVisible(); }

void SettingsMenu::Apply() {
  const settings::Settings& s = chat_.Settings();
  // The transliteration row sits between the preview row and the bottom
  // bar by its place in the layout.
  if (QWidget* row = window_.findChild<QWidget*>("TransPanelBig")) row->setVisible(s.Translit);
  if (picture::Pictures* pictures = picture::InstalledPictures()) pictures->SetCacheType(s.Caching.Type);
  if (applied_) applied_();
}

bool SettingsMenu::SocketOpen() { return chat_.Connected(); }

void SettingsMenu::SendLine(const std::string& line) { chat_.SendLine(line); }

void SettingsMenu::ClearPictureCache() { markup::ProcessPictureRegistry().ClearCache(); }

void SettingsMenu::Beep() { QApplication::beep(); }

bool SettingsMenu::PlayWave(const std::string& file) { return reactions_.PlayWave(file); }

bool SettingsMenu::Ask(const std::string& caption, const std::string& text, bool defaultNo) {
  return ShowModal(dialog_.get(), {ModalBox::Kind::Question, ToQ(caption), ToQ(text), defaultNo});
}

void SettingsMenu::Tell(const std::string& caption, const std::string& text) {
  ShowModal(dialog_.get(), {ModalBox::Kind::Warning, ToQ(caption), ToQ(text)});
}

void SettingsMenu::RefreshMoveHighlighting() {
  if (redrawBoards_) redrawBoards_();
}

}  // namespace window
