#pragma once
// TInfo: small windows for replies the user asked for and for the trace
// log, each opened under a key and reused while open.
#include <QDialog>
#include <functional>
#include <string>

class TZevoHTML;

class TInfo : public QDialog {
  Q_OBJECT
 public:
  TInfo(const std::string& key, const std::string& title, const std::string& text, QWidget* parent = nullptr);
  ~TInfo() override;

  const std::string& Key() const { return key_; }
  TZevoHTML* ht;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::string key_;
  std::string initialText_;
  bool shownOnce_ = false;
};

namespace window {

// Where links clicked in information windows go (the main window's link action).
void SetInfoLinkHandler(std::function<void(const std::string& target)> handler);

// Shows text (markup) under key: in the open window of that key (cleared
// first unless append), else in a new window titled by title.  Width and
// height of -1 keep the default.
void ShowInfoWindow(const std::string& key, const std::string& title, const std::string& text, int width,
                    int height, bool append);

// Appends a line to the "DEBUG" window.
void TraceLog(const std::string& text);

// Frees every open information window.
void CloseAllInfoWindows();

// The open windows, in opening order.
const std::vector<TInfo*>& InfoWindows();

}  // namespace window
