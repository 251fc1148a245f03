#pragma once
// SettingsMenu: the main window's "Settings ..." item.  It owns the settings
// dialog for the program's life, serves it as its host (the connection, the
// picture cache, sounds, questions) and, after OK, applies the new values
// to the window: the transliteration row and the picture cache; the chat
// applies the rest.
#include <functional>
#include <memory>
#include <string>

#include "setup/settings_editor.h"

class QWidget;

namespace media {
class SettingsDialog;
}

namespace window {

class ChatServices;
class DesktopReactions;

class SettingsMenu : private media::SettingsDialogHost {
 public:
  // `window` is the main window (the dialog's parent, where the
  // transliteration row is found); `applied` runs after OK was applied.
  SettingsMenu(ChatServices& chat, media::ContactListsRef contacts, QWidget& window, DesktopReactions& reactions,
               std::function<void()> applied);
  ~SettingsMenu() override;

  // Shows the dialog modally; true when it ended with OK (and was applied).
  bool Open();
  bool DialogVisible() const;
  media::SettingsDialog& Dialog() { return *dialog_; }
  // Repaints the game boards when OK may have changed their highlighting.
  void SetBoardRedraw(std::function<void()> redraw) { redrawBoards_ = std::move(redraw); }

 private:
  void Apply();
  // media::SettingsDialogHost
  bool SocketOpen() override;
  void SendLine(const std::string& line) override;
  void ClearPictureCache() override;
  void Beep() override;
  bool PlayWave(const std::string& file) override;
  bool Ask(const std::string& caption, const std::string& text, bool defaultNo) override;
  void Tell(const std::string& caption, const std::string& text) override;
  void RefreshMoveHighlighting() override;

  ChatServices& chat_;
  QWidget& window_;
  DesktopReactions& reactions_;
  std::function<void()> applied_;
  std::unique_ptr<media::SettingsDialog> dialog_;
  std::function<void()> redrawBoards_;
};

}  // namespace window
