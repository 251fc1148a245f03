#pragma once
#include <QApplication>
#include <QDir>
#include "qt_wait.h"
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "markup/zevo_html.h"
#include "media/settings.h"
#include "window/login_dialog.h"
#include "window/main_window.h"

inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "chat_window_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}


// Markup of every line of a pane.
inline std::vector<std::string> Lines(TZevoHTML* pane) {
  std::vector<std::string> out;
  for (const auto& line : pane->Document().lines()) out.push_back(line->source);
  return out;
}

// A main window on its own program directory, optionally with a stored
// identity and an ini text written first.
class WindowFixture {
 public:
  explicit WindowFixture(const std::string& ini = "") {
    TestApp();
    dir = std::make_unique<QTemporaryDir>();
    programDir = dir->path().toStdString() + "/";
    if (!ini.empty()) {
      FILE* f = fopen((programDir + "molvat.ini").c_str(), "wb");
      fwrite(ini.data(), 1, ini.size(), f);
      fclose(f);
    }
    settings = std::make_unique<media::Settings>();
    settings->Load(programDir);
    form = std::make_unique<TMainForm>(*settings);
    reg = std::make_unique<TReg>(*settings, form.get());
    form->SetLoginDialog(reg.get());
  }
  ~WindowFixture() {
    if (form) form->close();
  }
  std::string ReadIni() const {
    std::string s;
    FILE* f = fopen((programDir + "molvat.ini").c_str(), "rb");
    if (!f) return s;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    fclose(f);
    return s;
  }

  std::unique_ptr<QTemporaryDir> dir;
  std::string programDir;
  std::unique_ptr<media::Settings> settings;
  std::unique_ptr<TMainForm> form;
  std::unique_ptr<TReg> reg;
};
