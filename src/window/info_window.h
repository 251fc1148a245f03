#pragma once
// InfoWindow: small windows for replies the user asked for and for the trace
// log, each opened under a key and reused while open.
#include <QDialog>
#include <QPointer>
#include <functional>
#include <string>

namespace markup {
class MarkupView;
}
namespace settings {
class Settings;
}

namespace window {

class InfoWindow : public QDialog {
  Q_OBJECT
 public:
  InfoWindow(const settings::Settings& settings, const std::string& key, const std::string& title,
             const std::string& text, QWidget* parent = nullptr);
  ~InfoWindow() override;

  const std::string& Key() const { return key_; }
  // Shows the window without taking the keyboard from the active window.
  void ShowWithoutTakingFocus();
  markup::MarkupView* ht;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool event(QEvent* event) override;

 private:
  const settings::Settings& settings_;
  std::string key_;
  std::string initialText_;
  bool shownOnce_ = false;
  QPointer<QWidget> returnTo_;
  QPointer<QWidget> returnFocus_;
};

// Where links clicked in information windows go (the main window's link action).
void SetInfoLinkHandler(std::function<void(const std::string& target)> handler);
// Where the pop-up menu's "copy to the message line" items put their text.
void SetInfoCopyHandler(std::function<void(const std::string& text)> handler);

// Shows text (markup) under key: in the open window of that key (cleared
// first unless append), else in a new window titled by title.  Width and
// height of -1 keep the default.
void ShowInfoWindow(const settings::Settings& settings, const std::string& key, const std::string& title, const std::string& text, int width,
                    int height, bool append);

// Appends a line to the "DEBUG" window.
void TraceLog(const settings::Settings& settings, const std::string& text);

// Frees every open information window.
void CloseAllInfoWindows();

// At most this many information windows are open at once.
constexpr size_t kMaxInfoWindows = 32;

// The open windows, in opening order.
const std::vector<InfoWindow*>& InfoWindows();

}  // namespace window
