#include "window/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QSoundEffect>
#include <QUrl>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

#include "markup/picture/pictures.h"
#include "markup/zevo_html.h"
#include "media/private_archive.h"
#include "media/settings.h"
#include "resources/images.h"
#include "session/login.h"
#include "session/wire.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "window/captions.h"
#include "window/info_window.h"
#include "window/login_dialog.h"
#include "window/main_texts.h"
#include "window/modal_boxes.h"
#include "window/qt_text.h"
#include "window/smiley_codes.h"
#include "window/static_images.h"
#include "window/translit.h"

namespace {

constexpr int32_t kBlack = 0x000000;
constexpr int32_t kWhite = 0xFFFFFF;

QWidget* Panel(QWidget* parent, QBoxLayout* layout) {
  auto* panel = new QWidget(parent);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(3);
  panel->setLayout(layout);
  return panel;
}

TZevoHTML* Pane(QWidget* parent, const char* name) {
  auto* pane = new TZevoHTML(parent);
  pane->setObjectName(name);
  return pane;
}

}  // namespace

TMainForm::TMainForm(media::Settings& settings, QWidget* parent) : QMainWindow(parent), settings_(settings) {
  setObjectName("MainForm");
  // Start-up, in order: view hooks, settings, cache, first lines, language.
  window::InstallStaticImages();
  markup::ViewGlobals::OnLifeTime = [this](const std::string& url) {
    return url.rfind(settings_.QelDir, 0) == 0 ? settings_.Caching.QELTime : settings_.Caching.NQELTime;
  };
  markup::ViewGlobals::Controller = this;
  picture::InstallPictures();
  // Asking again for a picture already being fetched: the box is shown and
  // the download queued anyway.
  picture::Pictures::OnDuplicateDownload = [this](const std::string&) {
    window::ShowModal(this, {window::ModalBox::Question, "Внимание", "Повтор загрузки"});
    return true;
  };

  BuildPanes();
  BuildMenus();
  commPane_ = std::make_unique<window::DocumentPane>(comm->Document());
  connection_ = std::make_unique<session::ServerConnection>(static_cast<session::ConnectionHost&>(*this), this);
  chat_ = std::make_unique<window::ChatController>(
      settings_,
      window::ChatPanes{comm->Document(), priv->Document(), users->Document(), towhom->Document(), prev->Document()},
      static_cast<window::ChatEnvironment&>(*this));
  WireChat();

  ApplySettings();
  if (picture::Pictures* pictures = picture::InstalledPictures()) pictures->SetCacheType(settings_.Caching.Type);
  TZevoHTML::LoadCacheIndex(settings_.ProgramDir + "Cache/index.dat", settings_.ProgramDir + "Cache");
  chat_->LoadFiles();
  window::LoadSmileyTable(window::SmileyFilePath(settings_.ProgramDir), window::AppSmileyTable());
  WriteFirstLines();
  audioCapable_ = !QMediaDevices::audioOutputs().isEmpty();
  SwitchLanguage(settings_.RussianInterface);
  setMinimumHeight(464);
}

TMainForm::~TMainForm() {
  // Hooks that reach this window must not outlive it.
  picture::Pictures::OnDuplicateDownload = nullptr;
  markup::ViewGlobals::OnLifeTime = nullptr;
  window::SetInfoLinkHandler(nullptr);
  markup::ViewGlobals::Controller = nullptr;
}

bool TMainForm::Russian() const { return settings_.RussianInterface; }

void TMainForm::BuildPanes() {
  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  TopPanel = Panel(central, new QHBoxLayout);
  TopPanel->setObjectName("TopPanel");
  TopPanel->setAutoFillBackground(true);
  TopPanel->setStyleSheet("#TopPanel { background: white; }");
  TopPanel->setFixedHeight(40);
  topleft = Pane(TopPanel, "topleft");
  topleft->SetBorderStyle(bsNone);
  topleft->setFixedWidth(170);
  topright = Pane(TopPanel, "topright");
  topright->SetBorderStyle(bsNone);
  TopPanel->layout()->addWidget(topleft);
  TopPanel->layout()->addWidget(topright);
  column->addWidget(TopPanel);

  auto* middle = new QSplitter(Qt::Horizontal, central);
  middle->setObjectName("MainPanel");
  LeftPanel = Panel(middle, new QVBoxLayout);
  LeftPanel->setObjectName("LeftPanel");
  LeftPanel->setMinimumWidth(100);
  users = Pane(LeftPanel, "users");
  Panel2 = Panel(LeftPanel, new QVBoxLayout);
  Panel2->setObjectName("Panel2");
  Panel2->layout()->addWidget(new QLabel("Прямое соединение", Panel2));
  dirconn = Pane(Panel2, "dirconn");
  Panel2->layout()->addWidget(dirconn);
  Panel2->hide();  // never shown
  LeftPanel->layout()->addWidget(users);
  LeftPanel->layout()->addWidget(Panel2);
  auto* right = new QSplitter(Qt::Vertical, middle);
  comm = Pane(right, "comm");
  priv = Pane(right, "priv");
  right->addWidget(comm);
  right->addWidget(priv);
  right->setStretchFactor(0, 3);
  right->setStretchFactor(1, 2);
  middle->addWidget(LeftPanel);
  middle->addWidget(right);
  middle->setStretchFactor(0, 1);
  middle->setStretchFactor(1, 4);
  middle->setSizes({200, 800});
  right->setSizes({500, 300});
  column->addWidget(middle, 1);

  PrevPanelBig = Panel(central, new QHBoxLayout);
  PrevPanelBig->setObjectName("PrevPanelBig");
  PrevLab = new QLabel(PrevPanelBig);
  prev = Pane(PrevPanelBig, "prev");
  prev->setFixedHeight(44);
  PrevPanelBig->layout()->addWidget(PrevLab);
  PrevPanelBig->layout()->addWidget(prev);
  column->addWidget(PrevPanelBig);

  TransPanelBig = Panel(central, new QHBoxLayout);
  TransPanelBig->setObjectName("TransPanelBig");
  TransLab = new QLabel(TransPanelBig);
  transl = Pane(TransPanelBig, "transl");
  transl->setFixedHeight(26);
  TransPanelBig->layout()->addWidget(TransLab);
  TransPanelBig->layout()->addWidget(transl);
  column->addWidget(TransPanelBig);

  BotPanel = Panel(central, new QVBoxLayout);
  BotPanel->setObjectName("BotPanel");
  auto* row1 = new QHBoxLayout;
  PrivLab = new QLabel(BotPanel);
  towhom = Pane(BotPanel, "towhom");
  towhom->setFixedHeight(24);
  UserInfo = new QPushButton("?", BotPanel);
  UserInfo->setObjectName("UserInfo");
  UserInfo->setEnabled(false);
  UserInfo->setFixedWidth(28);
  ClearCommon = new QPushButton(BotPanel);
  ClearCommon->setObjectName("ClearCommon");
  ClearPrivate = new QPushButton(BotPanel);
  ClearPrivate->setObjectName("ClearPrivate");
  SendWav = new QPushButton(QIcon(QPixmap::fromImage(resources::Image(11))), "", BotPanel);
  SendWav->setObjectName("SendWav");
  SendWav->setEnabled(false);
  SendWav->setFixedWidth(28);
  row1->addWidget(PrivLab);
  row1->addWidget(towhom, 1);
  row1->addWidget(UserInfo);
  row1->addWidget(ClearCommon);
  row1->addWidget(ClearPrivate);
  row1->addWidget(SendWav);

  auto* row2 = new QHBoxLayout;
  LedPanel = new QWidget(BotPanel);
  LedPanel->setObjectName("LedPanel");
  LedPanel->setFixedSize(13, 22);
  LedBox = new QWidget(LedPanel);
  LedBox->setObjectName("LedBox");
  LedBox->setGeometry(0, 0, 13, 22);
  LedBox->installEventFilter(this);
  MessLab = new QLabel(BotPanel);
  Enter = new QLineEdit(BotPanel);
  Enter->setObjectName("Enter");
  Say = new QPushButton(BotPanel);
  Say->setObjectName("Say");
  Say->setDefault(true);
  Say->setEnabled(false);
  row2->addWidget(LedPanel);
  row2->addWidget(MessLab);
  row2->addWidget(Enter, 1);
  row2->addWidget(Say);

  auto* row3 = new QHBoxLayout;
  for (int i = 0; i < 10; ++i) {
    Sm[i] = new QToolButton(BotPanel);
    Sm[i]->setObjectName(QString("Sm%1").arg(i + 1));
    Sm[i]->setProperty("tag", i);
    Sm[i]->setIcon(QIcon(QPixmap::fromImage(resources::Image(i))));
    Sm[i]->setIconSize(QSize(15, 15));
    Sm[i]->setAutoRaise(true);
    row3->addWidget(Sm[i]);
  }
  AddSmile = new QPushButton(BotPanel);
  AddSmile->setObjectName("AddSmile");
  AudioSize = new QLabel(BotPanel);
  AudioSize->setObjectName("AudioSize");
  row3->addWidget(AddSmile);
  row3->addStretch();
  row3->addWidget(AudioSize);
  auto* bottom = static_cast<QVBoxLayout*>(BotPanel->layout());
  bottom->addLayout(row1);
  bottom->addLayout(row2);
  bottom->addLayout(row3);
  column->addWidget(BotPanel);
  setCentralWidget(central);

  for (TZevoHTML* pane : {comm, priv, users}) pane->SetStdPopup(true);
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &TMainForm::ClipboardChanged);
}

QAction* TMainForm::AddAction(QMenu* menu, const std::string& name, const QString& designCaption,
                              const QKeySequence& shortcut) {
  auto* action = new QAction(designCaption, this);
  action->setObjectName(QString::fromStdString(name));
  if (!shortcut.isEmpty()) action->setShortcut(shortcut);
  if (menu) menu->addAction(action);
  actions_[name] = action;
  return action;
}

void TMainForm::BuildMenus() {
  QMenuBar* bar = menuBar();
  auto menu = [&](const std::string& name) {
    QMenu* m = bar->addMenu(QString::fromStdString(name));
    m->setObjectName(QString::fromStdString(name));
    menus_[name] = m;
    return m;
  };
  using session::ServerConnection;

  QMenu* conn = menu("MenConn");
  connect(AddAction(conn, "MenuConnect", "", QKeySequence(Qt::Key_F5)), &QAction::triggered, this,
          [this] { connection_->Connect(ServerConnection::Initiator::User); });
  QAction* disconnect = AddAction(conn, "MenuDisconnect", "", QKeySequence(Qt::Key_F6));
  disconnect->setEnabled(false);
  connect(disconnect, &QAction::triggered, this, [this] { connection_->Disconnect(); });
  conn->addSeparator();
  connect(AddAction(conn, "MenuReg", ""), &QAction::triggered, this,
          [this] { ChangeIdentity(ServerConnection::Initiator::Registration); });
  connect(AddAction(conn, "MenuChangeName", ""), &QAction::triggered, this,
          [this] { ChangeIdentity(ServerConnection::Initiator::User); });
  conn->addSeparator();
  AddAction(conn, "MenuSetup", "");
  conn->addSeparator();
  AddAction(conn, "MenuNoSound", "", QKeySequence(Qt::CTRL | Qt::Key_S))->setCheckable(true);
  conn->addSeparator();
  connect(AddAction(conn, "MenuExit", ""), &QAction::triggered, this, &QWidget::close);

  QMenu* view = menu("MenView");
  QAction* preview = AddAction(view, "MenPreview", "");
  preview->setCheckable(true);
  connect(preview, &QAction::toggled, this, [this](bool on) {
    settings_.Preview = on;
    PrevPanelBig->setVisible(on);
  });
  QAction* refresh = AddAction(view, "MenRefresh", "");
  refresh->setEnabled(false);
  connect(refresh, &QAction::triggered, this, [refresh] {
    refresh->setEnabled(false);
    TZevoHTML::RefreshPictures();
  });
  view->addSeparator();
  QAction* animation = AddAction(view, "MenAnimation", "");
  animation->setCheckable(true);
  connect(animation, &QAction::toggled, this, [this](bool on) {
    settings_.Animation = on;
    TZevoHTML::SetAnimation(on);
  });
  AddAction(view, "MenSkin", "Skin")->setVisible(false);  // kept for the menu's shape; does nothing

  QMenu* privateMenu = menu("MenPrivate");
  AddAction(privateMenu, "ReadPrivInfo", "");
  AddAction(privateMenu, "SavePrivInfo", "");
  AddAction(privateMenu, "EditMyFoto", "");
  privateMenu->menuAction()->setVisible(false);

  QMenu* language = menu("MenLanguage");
  auto* languages = new QActionGroup(this);
  QAction* ru = AddAction(language, "MenRuss", "Русский");
  QAction* en = AddAction(language, "MenEngl", "English");
  for (QAction* a : {ru, en}) {
    a->setCheckable(true);
    languages->addAction(a);
  }
  connect(ru, &QAction::triggered, this, [this] { SwitchLanguage(true); });
  connect(en, &QAction::triggered, this, [this] { SwitchLanguage(false); });

  QMenu* games = menu("MenGames");
  AddAction(games, "MenNewChess", "");
  AddAction(games, "MenLoadChess", "");
  games->addSeparator();
  AddAction(games, "MenNewCheckers", "");
  AddAction(games, "MenLoadCheckers", "");
  games->addSeparator();
  AddAction(games, "MenNewReversi", "");
  AddAction(games, "MenLoadReversi", "");
  games->menuAction()->setEnabled(false);

  QMenu* files = menu("MenFiles");
  AddAction(files, "SendBuf", "Картинки из буфера обмена")->setEnabled(false);
  AddAction(files, "SendPic", "Картинки из файла");
  files->menuAction()->setVisible(false);

  QAction* about = AddAction(nullptr, "MenuAbout", "", QKeySequence(Qt::Key_F1));
  bar->addAction(about);
  connect(about, &QAction::triggered, this, &TMainForm::ShowAbout);

  QMenu* admin = menu("MenAdmin");
  AddAction(admin, "DebugMode", "")->setCheckable(true);
  admin->addSeparator();
  AddAction(admin, "MenFine", "");
  AddAction(admin, "MenIP", "");
  AddAction(admin, "WhoIsLoc", "WhoIs");
  admin->addSeparator();
  AddAction(admin, "MenEnIp", "")->setCheckable(true);
  admin->addSeparator();
  auto* fineTypes = new QActionGroup(this);
  for (int i = 1; i <= 4; ++i) {
    QAction* a = AddAction(admin, "MenNS" + std::to_string(i), "");
    a->setCheckable(true);
    fineTypes->addAction(a);
  }
  admin->addSeparator();
  QMenu* fineMenu = admin->addMenu("");
  fineMenu->setObjectName("MenFineS");
  menus_["MenFineS"] = fineMenu;
  for (int i = 1; i <= 7; ++i) AddAction(fineMenu, "MenFineS" + std::to_string(i), "");
  admin->menuAction()->setVisible(false);
}

QAction* TMainForm::Action(const std::string& name) const {
  auto it = actions_.find(name);
  return it == actions_.end() ? nullptr : it->second;
}

QMenu* TMainForm::Menu(const std::string& name) const {
  auto it = menus_.find(name);
  return it == menus_.end() ? nullptr : it->second;
}

void TMainForm::ApplySettings() {
  TransPanelBig->setVisible(settings_.Translit);
  PrevPanelBig->setVisible(settings_.Preview);
  Action("MenPreview")->setChecked(settings_.Preview);
  Action("MenEnIp")->setChecked(settings_.CheckIP);
  if (settings_.FineType < 0 || settings_.FineType > 3) settings_.FineType = 0;
  Action("MenNS" + std::to_string(settings_.FineType + 1))->setChecked(true);
  Action("MenAnimation")->setChecked(settings_.Animation);
  TZevoHTML::SetAnimation(settings_.Animation);
  Action(settings_.RussianInterface ? "MenRuss" : "MenEngl")->setChecked(true);
  Action("DebugMode")->setChecked(settings_.DebugMode);
  Menu("MenAdmin")->menuAction()->setVisible(false);
}

void TMainForm::WriteFirstLines() {
  using text::W;
  comm->NewString(W("Если у Вас проблемы с запуском, добро пожаловать в <b>"), kBlack, kWhite);
  comm->AddLink("HTML", settings_.ChatDir + "index1.html");
  comm->AddString(W("</b> или <b>"));
  comm->AddLink("Java", settings_.ChatDir + "index2.html");
  comm->AddString(W("</b> версию."));
  for (TZevoHTML* pane : {comm, priv, prev}) pane->Document().SetFontSize(settings_.FontSize);
  topleft->NewString(window::TopLeftMarkup(window::WebHost(settings_.Server, settings_.ChatDir)), kBlack, kWhite);
  transl->NewString(window::TranslitPanelLine(), kBlack, kWhite);
  chat_->ShowOnlineList("");
}

void TMainForm::SwitchLanguage(bool russian) {
  Action(russian ? "MenRuss" : "MenEngl")->setChecked(true);
  settings_.RussianInterface = russian;
  setWindowTitle(QString::fromStdString(window::WindowTitle(russian, window::kSiteName)));
  for (const window::Caption& c : window::MainWindowCaptions()) {
    const QString textValue = QString::fromUtf8(russian ? c.russian : c.english);
    const std::string element = c.element;
    if (element == "SendWav.hint") {
      SendWav->setToolTip(textValue);
    } else if (element == "UserInfo.hint") {
      UserInfo->setToolTip(textValue);
    } else if (QMenu* m = Menu(element)) {
      m->setTitle(textValue);
    } else if (QAction* a = Action(element)) {
      a->setText(textValue);
    } else if (element == "PrevLab") {
      PrevLab->setText(textValue);
    } else if (element == "TransLab") {
      TransLab->setText(textValue);
    } else if (element == "PrivLab") {
      PrivLab->setText(textValue);
    } else if (element == "MessLab") {
      MessLab->setText(textValue);
    } else if (element == "ClearCommon") {
      ClearCommon->setText(textValue);
    } else if (element == "ClearPrivate") {
      ClearPrivate->setText(textValue);
    } else if (element == "Say") {
      Say->setText(textValue);
    } else if (element == "AddSmile") {
      AddSmile->setText(textValue);
    }
  }
  topright->Clear();
  topright->NewString(window::TopRightMarkup(russian, window::MembersPage(settings_.Server, settings_.ChatDir)),
                      kBlack, kWhite);
  TZevoHTML::russian = russian;
}

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  ClipboardChanged();
  // The first attempt follows 100 ms later and counts as the user's own.
  connection_->ScheduleReconnect();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  closing_ = true;
  window::CloseAllInfoWindows();
  connection_->SetUserStopped(true);
  connection_->CloseConnection();
  settings_.SaveOnClose();
  chat_->SaveFiles();
  QMainWindow::closeEvent(event);
  event->accept();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == LedBox && event->type() == QEvent::Paint) {
    PaintLeds();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void TMainForm::PaintLeds() {
  QPainter p(LedBox);
  p.fillRect(LedBox->rect(), LedPanel->palette().color(QPalette::Window));
  p.drawImage(1, 3, resources::Led(connection_->SendLamp() ? 1 : 0));
  p.drawImage(1, 12, resources::Led(connection_->ReceiveLamp() ? 3 : 2));
  const QString sent = QString::number(connection_->SentBytes());
  const QString received = QString::number(connection_->ReceivedBytes());
  LedPanel->setToolTip(Russian() ? QString("Послано: %1, получено: %2").arg(sent, received)
                                 : QString("Sent: %1, received: %2").arg(sent, received));
}

void TMainForm::LampsChanged() {
  if (isVisible()) LedBox->update();
}

void TMainForm::ApplyTrafficReport(bool send, bool receive) {
  const auto in = static_cast<uint32_t>(TZevoHTML::Traffic_In);
  const auto out = static_cast<uint32_t>(TZevoHTML::Traffic_Out);
  TZevoHTML::Traffic_In = 0;
  TZevoHTML::Traffic_Out = 0;
  connection_->AddTraffic(in, out, send, receive);
}

void TMainForm::ClipboardChanged() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  Action("SendBuf")->setEnabled(data && data->hasImage());
}

std::string TMainForm::ServerHost() { return settings_.Server; }
uint16_t TMainForm::ServerPort() { return static_cast<uint16_t>(settings_.Port1); }
std::string TMainForm::UserName() { return settings_.UserName; }

bool TMainForm::IdentityComplete() {
  return session::IdentityComplete({settings_.UserName, settings_.Password, settings_.UserMail, settings_.UserNum,
                                    settings_.UserSmileNum, settings_.Sex});
}

bool TMainForm::AskForIdentity(bool registration) {
  if (!reg_) return false;
  reg_->SetRegistration(registration);
  QPointer<TMainForm> self(this);
  const bool ok = reg_->exec() == QDialog::Accepted;
  return self && ok;
}

std::string TMainForm::LoginLine() {
  session::LoginInputs in;
  in.identity = {settings_.UserName, settings_.Password, settings_.UserMail, settings_.UserNum,
                 settings_.UserSmileNum, settings_.Sex};
  in.textColor = settings_.TextColor;
  in.backColor = settings_.BackColor;
  in.version = session::LoginVersion(CHAT_FILE_VERSION);
  in.audioCapable = audioCapable_;
  return session::BuildLoginLine(in);
}

void TMainForm::OnlineChanged(bool online) {
  Say->setEnabled(online && !Enter->text().isEmpty());
}

void TMainForm::MenuStateChanged(bool connectEnabled) {
  Action("MenuConnect")->setEnabled(connectEnabled);
  Action("MenuDisconnect")->setEnabled(!connectEnabled);
}

void TMainForm::DispatchLine(const std::string& line) { chat_->Dispatch(line); }

void TMainForm::RefuseLogin() {
  connection_->Disconnect();
  Warn("Сервер не принимает ваше имя/пароль. Выберите в меню 'Подключение->Войти под другим именем ...'",
       "Server does not accept your name/password. Select in menu 'Connection->Connect as another user ...'");
}

void TMainForm::Warn(const QString& russian, const QString& english) { window::Warn(this, Russian(), russian, english); }

void TMainForm::ChangeIdentity(session::ServerConnection::Initiator initiator) {
  connection_->Disconnect();
  settings_.ForgetNameAndPassword();
  connection_->Connect(initiator);
}

void TMainForm::ShowAbout() {
  window::ShowInfoWindow("Information about program", Russian() ? text::W("О программе...") : "About...",
                         window::AboutText(window::WebHost(settings_.Server, settings_.ChatDir), CHAT_FILE_VERSION),
                         -1, -1, false);
}

void TMainForm::WireChat() {
  using Doc = markup::MarkupDocument;
  chat_->codesToMarkup = [this](const std::string& textValue, bool own) {
    std::string out = textValue;
    window::CodesToMarkup(out, own, settings_, window::AppSmileyTable());
    return out;
  };
  chat_->prepareOwnText = [this](const std::string& textValue) {
    std::string out = textValue;
    window::Transliterate(out, true, settings_);
    window::RewriteOwnPictureCodes(out, settings_.UserSmileNum);
    return out;
  };
  transl->OnLink = [this](Doc&, const std::string& target) {
    const bool shift = QGuiApplication::keyboardModifiers() & Qt::ShiftModifier;
    ApplyEnterState(window::InsertText(EnterState(), window::TranslitPanelInsertion(target, shift)));
  };
  for (int i = 0; i < 10; ++i)
    connect(Sm[i], &QToolButton::clicked, this,
            [this, i] { ApplyEnterState(window::InsertText(EnterState(), window::SmileyButtonCode(i))); });
  auto linkAction = [this](Doc&, const std::string& target) {
    ApplyEnterState(chat_->LinkAction(target, EnterState(), QGuiApplication::keyboardModifiers() & Qt::ShiftModifier));
  };
  comm->OnLink = linkAction;
  topleft->OnLink = linkAction;
  window::SetInfoLinkHandler([this](const std::string& target) {
    ApplyEnterState(chat_->LinkAction(target, EnterState(), QGuiApplication::keyboardModifiers() & Qt::ShiftModifier));
  });
  priv->OnLink = [this](Doc&, const std::string& target) {
    ApplyEnterState(chat_->PrivLink(target, EnterState(), QGuiApplication::keyboardModifiers() & Qt::ShiftModifier));
  };
  auto usersLink = [this](Doc&, const std::string& target) {
    if (text::StartsWith(target, "DL::")) return;
    window::LineEdit edit = EnterState();
    chat_->UsersLink(target, &edit);
    ApplyEnterState(edit);
  };
  users->OnLink = usersLink;
  dirconn->OnLink = usersLink;
  towhom->OnLink = [this](Doc&, const std::string& name) {
    chat_->TowhomLink(name);
    ApplyEnterState(EnterState());
  };
  topright->OnLink = [this](Doc&, const std::string& target) {
    if (text::StartsWith(target, "http://"))
      ApplyEnterState(chat_->LinkAction(target, EnterState(), false));
  };
  auto copyToEnter = [this](Doc&, const std::string& textValue) {
    ApplyEnterState(window::InsertText(EnterState(), textValue));
  };
  comm->OnCopy = copyToEnter;
  priv->OnCopy = copyToEnter;

  connect(Enter, &QLineEdit::textChanged, this, [this] {
    Say->setEnabled(connection_->Connected() && !Enter->text().isEmpty());
    std::string typed = FromQ(Enter->text());
    size_t caret = 0;
    // One [img]...[/img] pair per change; setting the text brings the next.
    if (window::RewriteImgMarkers(typed, &caret)) {
      Enter->setText(ToQ(typed));
      Enter->setCursorPosition(static_cast<int>(caret));
      return;
    }
    chat_->RefreshPreview(typed);
  });
  connect(Say, &QPushButton::clicked, this, &TMainForm::SayClick);
  connect(Enter, &QLineEdit::returnPressed, this, [this] {
    if (Say->isEnabled()) SayClick();
  });
  auto* ctrlEnter = new QAction(this);
  ctrlEnter->setObjectName("CtrlEnter");
  ctrlEnter->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
  ctrlEnter->setShortcutContext(Qt::WindowShortcut);
  addAction(ctrlEnter);
  actions_["CtrlEnter"] = ctrlEnter;
  connect(ctrlEnter, &QAction::triggered, this, [this] {
    if (Say->isEnabled()) SayClick();
  });
  connect(UserInfo, &QPushButton::clicked, this, [this] { chat_->UserInfoClick(); });
  // Clearing a pane gives the message line the focus back.
  for (auto [button, pane] : {std::pair{ClearCommon, comm}, std::pair{ClearPrivate, priv}})
    connect(button, &QPushButton::clicked, this, [this, pane = pane] {
      pane->Clear();
      ApplyEnterState(EnterState());
    });
}

window::LineEdit TMainForm::EnterState() const {
  window::LineEdit edit;
  edit.text = FromQ(Enter->text());
  edit.selStart = Enter->hasSelectedText() ? Enter->selectionStart() : Enter->cursorPosition();
  edit.selLength = Enter->hasSelectedText() ? static_cast<int>(Enter->selectedText().size()) : 0;
  edit.caret = edit.selStart + edit.selLength;
  return edit;
}

void TMainForm::ApplyEnterState(const window::LineEdit& edit) {
  const QString textValue = ToQ(edit.text);
  if (textValue != Enter->text()) Enter->setText(textValue);
  Enter->setFocus();
  Enter->setCursorPosition(edit.caret);
}

void TMainForm::SayClick() {
  if (!connection_->Connected() || Enter->text().isEmpty()) return;
  chat_->Say(FromQ(Enter->text()));
  Enter->clear();
  Enter->setFocus();
}

void TMainForm::TraceSent(const std::string& line) {
  if (chat_->moderator && settings_.DebugMode) Trace(text::W("Отправили: ") + wire::UnescapeField(line));
}

void TMainForm::Trace(const std::string& textValue) { window::TraceLog(textValue); }

void TMainForm::Beep() { QApplication::beep(); }

void TMainForm::PlayWave(const std::string& file) {
  // Without an output device there is nothing to play, and the effect
  // would claim to play for ever.
  if (file.empty() || QMediaDevices::audioOutputs().isEmpty()) return;
  auto* effect = new QSoundEffect(this);
  effect->setSource(QUrl::fromLocalFile(ToQ(file)));
  connect(effect, &QSoundEffect::playingChanged, effect, [effect] {
    if (!effect->isPlaying()) effect->deleteLater();
  });
  effect->play();
}

void TMainForm::BringToFront() {
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
}

bool TMainForm::NoSound() { return Action("MenuNoSound")->isChecked(); }

void TMainForm::ControlsChanged() {
  const auto& names = chat_->Addressees().Names();
  UserInfo->setEnabled(names.size() == 1);
  SendWav->setEnabled(names.size() == 1 && !chat_->Online().ClientInfo(names.front()).empty());
}

void TMainForm::OpenUrl(const std::string& url) { QDesktopServices::openUrl(QUrl::fromEncoded(QByteArray::fromStdString(url))); }

// Only the moderator flag of the settings echo is shown so far; the other
// service replies arrive here too.
void TMainForm::ServiceRecord(const wire::Record&, const std::string& kind) {
  if (kind == "Nastr") Menu("MenAdmin")->menuAction()->setVisible(chat_->moderator);
}

void TMainForm::ArchiveLine(const std::string& line) {
  media::AppendArchiveLine(settings_.ProgramDir, settings_.ArcLimit, line,
                           [this](const std::string& message) { Trace(message); });
}

void TMainForm::PatchArchive(const std::string& number, int oldPicture, int newPicture) {
  media::PatchArchiveStatus(media::ArchiveFilePath(settings_.ProgramDir), number, oldPicture, newPicture);
}

void TMainForm::PictureLoadFailed() { Action("MenRefresh")->setEnabled(true); }
