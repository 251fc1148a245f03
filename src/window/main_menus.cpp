// The main window's menu bar: every menu and item with its object name,
// shortcut and the handlers that belong to the window itself.  Captions
// come from the caption table when the language is switched.
#include <QAction>
#include <QActionGroup>
#include <QMenuBar>

#include "markup/ui/markup_view.h"
#include "markup/picture_registry.h"
#include "settings/settings.h"
#include "window/desktop_integration.h"
#include "window/main_window.h"

namespace window {

QAction* MainWindow::AddAction(QMenu* menu, const std::string& name, const QString& designCaption,
                               const QKeySequence& shortcut) {
  auto* action = new QAction(designCaption, this);
  action->setObjectName(QString::fromStdString(name));
  if (!shortcut.isEmpty()) action->setShortcut(shortcut);
  if (menu) menu->addAction(action);
  actions_[name] = action;
  return action;
}

void MainWindow::BuildMenus() {
  QMenuBar* bar = menuBar();
  auto menu = [&](const std::string& name) {
    QMenu* m = bar->addMenu(QString::fromStdString(name));
    m->setObjectName(QString::fromStdString(name));
    menus_[name] = m;
    return m;
  };

  QMenu* conn = menu("MenConn");
  items_.connect = AddAction(conn, "MenuConnect", "", QKeySequence(Qt::Key_F5));
  connect(items_.connect, &QAction::triggered, this, [this] { session_->Connect(); });
  items_.disconnect = AddAction(conn, "MenuDisconnect", "", QKeySequence(Qt::Key_F6));
  items_.disconnect->setEnabled(false);
  connect(items_.disconnect, &QAction::triggered, this, [this] { session_->Disconnect(); });
  conn->addSeparator();
  connect(AddAction(conn, "MenuReg", ""), &QAction::triggered, this, [this] { session_->ChangeIdentity(true); });
  connect(AddAction(conn, "MenuChangeName", ""), &QAction::triggered, this,
          [this] { session_->ChangeIdentity(false); });
  conn->addSeparator();
  items_.setup = AddAction(conn, "MenuSetup", "");
  conn->addSeparator();
  items_.noSound = AddAction(conn, "MenuNoSound", "", QKeySequence(Qt::CTRL | Qt::Key_S));
  items_.noSound->setCheckable(true);
  conn->addSeparator();
  connect(AddAction(conn, "MenuExit", ""), &QAction::triggered, this, &QWidget::close);

  QMenu* view = menu("MenView");
  QAction* preview = items_.preview = AddAction(view, "MenPreview", "");
  preview->setCheckable(true);
  connect(preview, &QAction::toggled, this, [this](bool on) {
    session_->SetPreview(on, EnterState().text);
    prevPanel_->setVisible(on);
  });
  QAction* refresh = items_.refresh = AddAction(view, "MenRefresh", "");
  refresh->setEnabled(false);
  connect(refresh, &QAction::triggered, this, [refresh] {
    refresh->setEnabled(false);
    markup::ProcessPictureRegistry().RefreshFailed();
    markup::MarkupView::RedrawAll();
  });
  view->addSeparator();
  QAction* animation = items_.animation = AddAction(view, "MenAnimation", "");
  animation->setCheckable(true);
  connect(animation, &QAction::toggled, this, [this](bool on) {
    settings_.Animation = on;
    markup::MarkupView::SetAnimation(on);
  });
  AddAction(view, "MenSkin", "Skin")->setVisible(false);  // kept for the menu's shape; does nothing
  view->addSeparator();
  QAction* notify = AddAction(view, "MenNotifications", "");
  notify->setCheckable(true);
  notify->setChecked(settings_.Notifications);
  connect(notify, &QAction::toggled, this, [this](bool on) { desktop_->SetNotifications(on); });
  QAction* tray = AddAction(view, "MenTrayIcon", "");
  tray->setCheckable(true);
  tray->setChecked(settings_.TrayIcon);
  connect(tray, &QAction::toggled, this, [this](bool on) { desktop_->SetTrayIcon(on); });

  QMenu* privateMenu = menu("MenPrivate");
  AddAction(privateMenu, "ReadPrivInfo", "");
  AddAction(privateMenu, "SavePrivInfo", "");
  AddAction(privateMenu, "EditMyFoto", "");
  privateMenu->menuAction()->setVisible(false);

  QMenu* language = menu("MenLanguage");
  auto* languages = new QActionGroup(this);
  QAction* ru = items_.russian = AddAction(language, "MenRuss", "Русский");
  QAction* en = items_.english = AddAction(language, "MenEngl", "English");
  for (QAction* a : {ru, en}) {
    a->setCheckable(true);
    languages->addAction(a);
  }
  connect(ru, &QAction::triggered, this, [this] { SwitchLanguage(true); });
  connect(en, &QAction::triggered, this, [this] { SwitchLanguage(false); });

  QMenu* games = items_.games = menu("MenGames");
  items_.newGame[1] = AddAction(games, "MenNewChess", "");
  items_.loadGame[1] = AddAction(games, "MenLoadChess", "");
  games->addSeparator();
  items_.newGame[0] = AddAction(games, "MenNewCheckers", "");
  items_.loadGame[0] = AddAction(games, "MenLoadCheckers", "");
  games->addSeparator();
  items_.newGame[2] = AddAction(games, "MenNewReversi", "");
  items_.loadGame[2] = AddAction(games, "MenLoadReversi", "");
  games->menuAction()->setEnabled(false);

  QMenu* files = menu("MenFiles");
  items_.sendBuf = AddAction(files, "SendBuf", "Картинки из буфера обмена");
  items_.sendBuf->setEnabled(false);
  AddAction(files, "SendPic", "Картинки из файла");
  files->menuAction()->setVisible(false);

  QAction* about = AddAction(nullptr, "MenuAbout", "", QKeySequence(Qt::Key_F1));
  bar->addAction(about);
  connect(about, &QAction::triggered, this, &MainWindow::ShowAbout);

  QMenu* admin = items_.admin = menu("MenAdmin");
  auto moderator = [this] { return &session_->Moderator(); };
  QAction* debug = items_.debugMode = AddAction(admin, "DebugMode", "");
  debug->setCheckable(true);
  connect(debug, &QAction::triggered, this, [moderator](bool on) { moderator()->SetDebugMode(on); });
  admin->addSeparator();
  connect(AddAction(admin, "MenFine", ""), &QAction::triggered, this, [moderator] { moderator()->OpenFineForm(); });
  connect(AddAction(admin, "MenIP", ""), &QAction::triggered, this, [moderator] { moderator()->RequestAddress(); });
  connect(AddAction(admin, "WhoIsLoc", "WhoIs"), &QAction::triggered, this,
          [moderator] { moderator()->RequestWhois(); });
  admin->addSeparator();
  QAction* checkIp = items_.checkIp = AddAction(admin, "MenEnIp", "");
  checkIp->setCheckable(true);
  connect(checkIp, &QAction::triggered, this, [moderator](bool on) { moderator()->SetCheckIp(on); });
  admin->addSeparator();
  auto* fineTypes = new QActionGroup(this);
  for (int i = 1; i <= 4; ++i) {
    QAction* a = items_.fineType[i - 1] = AddAction(admin, "MenNS" + std::to_string(i), "");
    a->setCheckable(true);
    fineTypes->addAction(a);
    connect(a, &QAction::triggered, this, [moderator, i] { moderator()->SetFineType(i - 1); });
  }
  admin->addSeparator();
  QMenu* fineMenu = admin->addMenu("");
  fineMenu->setObjectName("MenFineS");
  menus_["MenFineS"] = fineMenu;
  for (int i = 1; i <= 7; ++i)
    connect(AddAction(fineMenu, "MenFineS" + std::to_string(i), ""), &QAction::triggered, this,
            [moderator, i] { moderator()->Fine(i - 1); });
  admin->menuAction()->setVisible(false);
}

}  // namespace window
