#include "window/settings_menu.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

#include "markup/markup_document.h"
#include "markup/picture_registry.h"
#include "setup/ui/settings_dialog.h"
#include "picture/pictures.h"
#include "settings/settings.h"
#include "chat/chat_session.h"
#include "window/desktop_reactions.h"
#include "window/modal_boxes.h"
#include "window/qt_text.h"

namespace window {

SettingsMenu::SettingsMenu(ChatSession& session, QWidget& window, DesktopReactions& reactions,
                           std::function<std::string()> enterText)
    : session_(session), window_(window), reactions_(reactions), enterText_(std::move(enterText)) {
  ContactLists& contacts = session_.Chat().Contacts();
  dialog_ = std::make_unique<media::SettingsDialog>(
      session_.Settings(), media::ContactListsRef{contacts.friends, contacts.blackList},
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
  const settings::Settings& s = session_.Settings();
  ChatController& chat = session_.Chat();
  // The transliteration row sits between the preview row and the bottom
  // bar by its place in the layout.
  if (QWidget* row = window_.findChild<QWidget*>("TransPanelBig")) row->setVisible(s.Translit);
  // Friends already online do not count as newcomers; the list shows the
  // new friends and black list at once.
  chat.Online().TakeFriendsSnapshot();
  chat.ShowOnlineList(chat.Online().LastListText());
  for (markup::MarkupDocument* pane : {&chat.Panes().comm, &chat.Panes().priv, &chat.Panes().prev})
    pane->SetFontSize(s.FontSize);
  chat.RefreshPreview(enterText_ ? enterText_() : std::string());
  if (picture::Pictures* pictures = picture::InstalledPictures()) pictures->SetCacheType(s.Caching.Type);
}

bool SettingsMenu::SocketOpen() { return session_.Connection().Connected(); }

void SettingsMenu::SendLine(const std::string& line) { session_.Connection().SendLine(line); }

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
