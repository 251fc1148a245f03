#pragma once
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <stdexcept>
#include <QDir>
#include "qt_wait.h"
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "chatd_process.h"
#include "line_client.h"
#include "markup/ui/markup_view.h"
#include "setup/ui/settings_dialog.h"
#include "settings/settings.h"
#include "window/login_dialog.h"
#include "window/main_window.h"
#include "window/settings_menu.h"

using markup::MarkupView;
using window::LoginDialog;
using window::MainWindow;

// The child widget of that object name; a missing one fails the test.
template <class T>
T* Find(QObject& parent, const char* name) {
  T* child = parent.findChild<T*>(QString::fromUtf8(name));
  if (!child) throw std::runtime_error(std::string("no child widget ") + name);
  return child;
}

// Markup of every line of a pane.
inline std::vector<std::string> Lines(MarkupView* pane) {
  std::vector<std::string> out;
  for (const auto& line : pane->Document().lines()) out.push_back(line->source);
  return out;
}

inline bool PaneHas(MarkupView* pane, const std::string& part) {
  for (const auto& line : pane->Document().lines())
    if (line->source.find(part) != std::string::npos) return true;
  return false;
}

// The molvat.ini text of a stored identity on chatd's ports; with an HTTP
// port the web side is chatd's too.  The interface is English unless
// `russian`.
inline std::string IniFor(const std::string& name, const std::string& number, int chatPort, int httpPort = 0,
                          bool russian = false) {
  std::string ini = "[Global]\r\nUserName=" + name + "\r\nPassword=pw\r\nUserNum=" + number + "\r\nPort1=" +
                    std::to_string(chatPort) + "\r\n";
  if (russian) ini += "RussianInterface=1\r\n";
  if (httpPort > 0) ini += "ChatDir=http://127.0.0.1:" + std::to_string(httpPort) + "/cgi-bin/chat/\r\n";
  return ini;
}

// Answers the open question box whose text holds `part`; false when none
// shows up.
inline bool AnswerBox(const QString& part, bool yes) {
  QMessageBox* found = nullptr;
  WaitFor([&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible() && box->text().contains(part))
        found = box;
    return found != nullptr;
  });
  if (!found) return false;
  found->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
  QApplication::processEvents();
  return true;
}

// Makes the account `name` (password "pw") on chatd by a first login and
// answers its user number.
inline std::string Register(const chatd_test::ChatdProcess& chatd, const std::string& name) {
  chatd_test::LineClient client(chatd.chatPort());
  const std::string number = client.Login(name, "pw");
  EXPECT_FALSE(number.empty()) << name << " could not log in";
  return number;
}

// Types a message into the window's input line and presses "Say".
inline void Say(MainWindow& form, const QString& text) {
  Find<QLineEdit>(form, "Enter")->setText(text);
  ASSERT_TRUE(Find<QPushButton>(form, "Say")->isEnabled());
  Find<QPushButton>(form, "Say")->click();
}

// Opens "Settings ..." and lets `edit` work on the shown dialog before OK.
inline void EditSettings(MainWindow& form, std::function<void(media::SettingsDialog&)> edit) {
  media::SettingsDialog& dialog = form.Setup().Dialog();
  QTimer::singleShot(0, [&dialog, edit] {
    edit(dialog);
    Find<QPushButton>(dialog, "ButOk")->click();
  });
  form.Action("MenuSetup")->trigger();
}

// A main window on its own program directory, optionally with a stored
// identity and an ini text written first.
class WindowFixture {
 public:
  explicit WindowFixture(const std::string& ini = "") {
    dir = std::make_unique<QTemporaryDir>();
    programDir = dir->path().toStdString() + "/";
    if (!ini.empty()) {
      FILE* f = fopen((programDir + "molvat.ini").c_str(), "wb");
      fwrite(ini.data(), 1, ini.size(), f);
      fclose(f);
    }
    Open();
  }
  ~WindowFixture() {
    if (form) form->close();
  }
  // Closes the program and starts it again on the same directory, as a
  // user quitting and coming back later.
  void Restart() {
    form->close();
    reg.reset();
    form.reset();
    QApplication::processEvents();
    Open();
  }
  std::string ReadIni() const { return ReadFile("molvat.ini"); }
  // The bytes of a file of the program directory; empty when it is missing.
  std::string ReadFile(const std::string& relative) const {
    std::string s;
    FILE* f = fopen((programDir + relative).c_str(), "rb");
    if (!f) return s;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    fclose(f);
    return s;
  }

  void Open() {
    settings = std::make_unique<settings::Settings>();
    settings->Load(programDir);
    form = std::make_unique<MainWindow>(*settings);
    reg = std::make_unique<LoginDialog>(*settings, form.get());
    form->SetLoginDialog(reg.get());
  }

  std::unique_ptr<QTemporaryDir> dir;
  std::string programDir;
  std::unique_ptr<settings::Settings> settings;
  std::unique_ptr<MainWindow> form;
  std::unique_ptr<LoginDialog> reg;
};

// Whether the window's list of users online shows `name`.
inline bool ListsOnline(WindowFixture& w, const std::string& name) {
  return PaneHas(Find<MarkupView>(*w.form, "users"), "\"PR\"" + name + ">");
}
