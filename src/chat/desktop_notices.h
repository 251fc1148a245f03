#pragma once
// DesktopNotices: what the desktop is told while the main window is not
// active — a notification naming the sender with the start of the text,
// and the count of private messages waiting, for the tray icon.  Widget
// free; the window side shows what it is asked through NoticeSink.
#include <string>

namespace settings {
class Settings;
}

namespace window {

enum class NoticeKind { Private, Personal, GameInvitation };

class NoticeSink {
 public:
  virtual ~NoticeSink() = default;
  // Texts in UTF-8.
  virtual void ShowNotice(const std::string& title, const std::string& body) = 0;
  // Private messages (and invitations) that arrived while the window was
  // not active; 0 when the user has come back.
  virtual void ShowWaiting(int count) = 0;
};

class DesktopNotices {
 public:
  // Shown text is cut to this many characters, markup removed.
  static constexpr size_t kBodyCharacters = 100;

  DesktopNotices(const settings::Settings& settings, NoticeSink& sink);

  // `sender` and `text` (message markup) in Windows-1251.
  void Arrived(NoticeKind kind, const std::string& sender, const std::string& text, bool windowActive);
  // The main window became active: nothing waits any more.
  void WindowActivated();
  int Waiting() const { return waiting_; }

  // The notification's title and body for a message (UTF-8).
  std::string Title(NoticeKind kind, const std::string& sender) const;
  static std::string Body(const std::string& text);

 private:
  const settings::Settings& settings_;
  NoticeSink& sink_;
  int waiting_ = 0;
};

}  // namespace window
