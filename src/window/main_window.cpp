#include "window/main_window.h"

#include <QApplication>
#include <QAudioDevice>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMediaDevices>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QUrl>

#include "text/shown_text.h"
#include "markup/ui/find_bar.h"
#include "markup/ui/markup_view.h"
#include "picture/pictures.h"
#include "resources/images.h"
#include "settings/settings.h"
#include "text/bytes.h"
#include "chat/captions.h"
#include "window/desktop_reactions.h"
#include "window/game_windows.h"
#include "chat/link_actions.h"
#include "window/info_window.h"
#include "window/login_dialog.h"
#include "chat/main_texts.h"
#include "window/desktop_integration.h"
#include "window/media_widgets.h"
#include "window/media_windows.h"
#include "window/message_line.h"
#include "window/modal_boxes.h"
#include "window/qt_text.h"
#include "window/qt_translations.h"
#include "window/settings_menu.h"
#include "window/static_images.h"
#include "window/window_places.h"
#include "archive/archive_viewer_model.h"
#include "text/cp1251.h"
#include "chat/translit.h"

namespace window {

using markup::MarkupView;

// A top-right archive shortcut names its archive; other pictures say what
// they mean.
std::string PictureTip(int number, const std::string& link, bool russian) {
  if (const auto archive = number == kArchiveShortcutPicture ? media::ArchiveNumberOf(link) : std::nullopt)
    return text::Cp1251ToUtf8(media::ArchiveWindowCaption(*archive, russian));
  return PictureMeaning(number, russian);
}

MainWindow::MainWindow(settings::Settings& settings, QWidget* parent) : QMainWindow(parent), settings_(settings) {
  setObjectName("MainForm");
  // Start-up, in order: view hooks, settings, cache, first lines, language.
  InstallStaticImages();
  markup::ViewGlobals::OnLifeTime = [this](const std::string& url) {
    return url.rfind(settings_.QelDir, 0) == 0 ? settings_.Caching.QELTime : settings_.Caching.NQELTime;
  };
  markup::ViewGlobals::OnPictureText = [](int number, const std::string& address) {
    return PictureAsText(number, address);
  };
  markup::ViewGlobals::OnPictureTip = [this](int number, const std::string& link) {
    return PictureTip(number, link, Russian());
  };
  BuildPanes();
  desktop_ = new DesktopIntegration(settings_, this);
  session_ = std::make_unique<ChatSession>(
      settings_,
      ChatPanes{comm_->Document(), priv_->Document(), users_->Document(), towhom_->Document(), prev_->Document()},
      static_cast<SessionView&>(*this), this);
  chat_ = &session_->Chat();
  BuildMenus();
  WirePictures();
  WireLinks();
  WireMessageLine();
  media_ = std::make_unique<MediaWindows>(
      *chat_,
      MessageLineAccess{[this] { return EnterState(); }, [this](const LineEdit& e) { ApplyEnterState(e); },
                        [this](const std::string& target, bool privatePane, bool shift) {
                          ApplyEnterState(privatePane ? chat_->PrivLink(target, EnterState(), shift)
                                                      : chat_->LinkAction(target, EnterState(), shift));
                        }},
      [this](uint32_t bytes) { session_->AddPictureTraffic(bytes, 0, false, true); }, this);
  connect(findChild<QPushButton*>("AddSmile"), &QPushButton::clicked, this, [this] { media_->OpenSmileys(); });
  connect(comm_, &MarkupView::LinesAppended, this,
          [this](int first, int count) { media_->PublicLinesShown(comm_->Document(), first, count); });
  reactions_ = std::make_unique<DesktopReactions>(*this, [this](const std::string& line) { Trace(line); });
  setup_ = std::make_unique<SettingsMenu>(*chat_, media::ContactListsRef{chat_->Contacts().friends, chat_->Contacts().blackList},
                                          *this, *reactions_, [this] { chat_->SettingsApplied(EnterState().text); });
  connect(items_.setup, &QAction::triggered, this, [this] { setup_->Open(); });
  mediaUi_ = std::make_unique<MediaWidgets>(
      *chat_, MediaControls{this, sendWav_, findChild<QLabel*>("AudioSize"), dirconn_, items_.sendBuf,
                            [this](bool capable) { session_->SetAudioCapable(capable); }});
  games_ = std::make_unique<GameWindows>(
      *chat_, this,
      GamesMenu{items_.games->menuAction(), items_.newGame, items_.loadGame},
      GameWindowsAccess{[this] { return NoSound(); }, [this](const std::string& f) { PlayWave(f); },
                        [this](const std::string& t) { ApplyEnterState(InsertText(EnterState(), t)); },
                        [this](const std::string& name, const std::string& question) {
                          desktop_->Arrived(NoticeKind::GameInvitation, name, question);
                        },
                        [this] { return SettingsDialogVisible(); }});
  setup_->SetBoardRedraw([this] { games_->RedrawBoards(); });

  ApplySettings();
  std::string cacheFolder = settings_.CacheDir;
  if (!cacheFolder.empty() && cacheFolder.back() == '/') cacheFolder.pop_back();
  markup::ProcessPictureRegistry().LoadCacheIndex(cacheFolder + "/index.dat", cacheFolder);
  session_->LoadFiles();
  text::SetEnglishShown(!settings_.RussianInterface);  // the first lines in the language shown
  session_->WriteFirstLines(topleft_->Document(), transl_->Document());
  session_->SetAudioCapable(mediaUi_->AudioCapable());
  SwitchLanguage(settings_.RussianInterface);
  setMinimumHeight(464);
  for (const char* name : {"MainPanel", "RightPanel"})
    if (auto* splitter = findChild<QSplitter*>(name)) RestoreSplitter(settings_, name, *splitter);
}

void MainWindow::ShowAtKeptPlace() {
  if (!settings_.File().ReadBool(kWindowsSection, "MainMaximized", true) && RestorePlace(settings_, "Main", *this)) {
    show();
    return;
  }
  // Without a window manager showMaximized() alone keeps the design size.
  if (const QScreen* screen = this->screen()) setGeometry(screen->availableGeometry());
  showMaximized();
}

MainWindow::~MainWindow() {
  // Hooks that reach this window must not outlive it.
  picture::Pictures::OnDuplicateDownload = nullptr;
  picture::Pictures::OnTrace = nullptr;
  markup::ViewGlobals::OnLifeTime = nullptr;
  markup::ViewGlobals::OnPictureText = nullptr;
  markup::ViewGlobals::OnPictureTip = nullptr;
  SetInfoLinkHandler(nullptr);
  SetInfoCopyHandler(nullptr);
  setup_.reset();
  media_.reset();
  mediaUi_.reset();
  games_.reset();
  chat_ = nullptr;
  session_.reset();
}

bool MainWindow::Russian() const { return settings_.RussianInterface; }

void MainWindow::WirePictures() {
  picture::Pictures& pictures = picture::InstallPictures();
  pictures.SetCacheType(settings_.Caching.Type);
  // Asking again for a picture already being fetched: the box is shown and
  // the download queued anyway.
  picture::Pictures::OnDuplicateDownload = [this](const std::string&) {
    ShowModal(this, {ModalBox::Kind::Question, Russian() ? "Внимание" : "Attention",
                     Russian() ? "Повтор загрузки" : "Repeated download"});
    return true;
  };
  picture::Pictures::OnTrace = [this](const std::string& line) {
    if (chat_ && chat_->TraceEnabled()) Trace(line);
  };
  connect(&pictures, &picture::Pictures::PictureLoadFailed, this,
          [this] { items_.refresh->setEnabled(true); }, Qt::QueuedConnection);
  connect(&pictures, &picture::Pictures::TrafficReport, this,
          [this](quint32 in, quint32 out, bool send, bool receive) {
            session_->AddPictureTraffic(in, out, send, receive);
          },
          Qt::QueuedConnection);
}

QAction* MainWindow::Action(const std::string& name) const {
  auto it = actions_.find(name);
  return it == actions_.end() ? nullptr : it->second;
}

QMenu* MainWindow::Menu(const std::string& name) const {
  auto it = menus_.find(name);
  return it == menus_.end() ? nullptr : it->second;
}

void MainWindow::ApplySettings() {
  transPanel_->setVisible(settings_.Translit);
  prevPanel_->setVisible(settings_.Preview);
  items_.preview->setChecked(settings_.Preview);
  items_.checkIp->setChecked(settings_.CheckIP);
  items_.fineType[settings_.FineType]->setChecked(true);  // 0…3 after loading
  items_.animation->setChecked(settings_.Animation);
  MarkupView::SetAnimation(settings_.Animation);
  (settings_.RussianInterface ? items_.russian : items_.english)->setChecked(true);
  items_.debugMode->setChecked(settings_.DebugMode);
  items_.admin->menuAction()->setVisible(false);
}

void MainWindow::SwitchLanguage(bool russian) {
  (russian ? items_.russian : items_.english)->setChecked(true);
  settings_.RussianInterface = russian;
  text::SetEnglishShown(!russian);
  UseQtTranslations(russian);
  setWindowTitle(QString::fromStdString(WindowTitle(russian, kSiteName)));
  // Each caption goes to the element of its object name; ".hint" names the
  // element's tool tip.
  for (const Caption& c : MainWindowCaptions()) {
    const QString value = QString::fromUtf8(russian ? c.russian : c.english);
    QString name = QString::fromUtf8(c.element);
    const bool hint = name.endsWith(".hint");
    if (hint) name.chop(5);
    if (QMenu* m = Menu(name.toStdString())) {
      m->setTitle(value);
    } else if (QAction* a = Action(name.toStdString())) {
      a->setText(value);
    } else if (auto* w = findChild<QWidget*>(name)) {
      if (hint)
        w->setToolTip(value);
      else if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(value);
      else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(value);
    }
  }
  session_->ShowTopRight(topright_->Document());
  markup::ViewGlobals::russian = russian;
  NameControls(russian);
  if (findBar_) findBar_->Retranslate();
  if (games_) games_->Retitle();
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  ClipboardChanged();
  mediaUi_->Start();
  session_->Start();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Everything written at close reaches the file as one replace.
  settings::IniBatch batch(settings_.IniPath());
  KeepPlace(settings_, "Main", *this);
  settings_.File().WriteBool(kWindowsSection, "MainMaximized", isMaximized());
  for (const char* name : {"MainPanel", "RightPanel"})
    if (const auto* splitter = findChild<QSplitter*>(name)) KeepSplitter(settings_, name, *splitter);
  CloseAllPeerBoxes();
  CloseAllInfoWindows();
  media_->CloseAll();
  mediaUi_->CloseAll();
  games_->CloseAllGames();
  session_->Close();
  QMainWindow::closeEvent(event);
  event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ledBox_ && event->type() == QEvent::Paint) {
    PaintLeds();
    return true;
  }
  // The traffic in the tip is counted up to the moment it shows.
  if (watched == ledPanel_ && event->type() == QEvent::ToolTip) ledPanel_->setToolTip(LampsToolTip());
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::PaintLeds() {
  const session::ServerConnection& connection = session_->Connection();
  QPainter p(ledBox_);
  p.fillRect(ledBox_->rect(), ledPanel_->palette().color(QPalette::Window));
  const qreal ratio = ledBox_->devicePixelRatioF();
  p.drawImage(1, 3, resources::LedFor(connection.SendLamp() ? 1 : 0, ratio));
  p.drawImage(1, 12, resources::LedFor(connection.ReceiveLamp() ? 3 : 2, ratio));
}

// The lamps' tool tip: which server, in which state, and the traffic.
QString MainWindow::LampsToolTip() const {
  const session::ServerConnection& connection = session_->Connection();
  const bool ru = Russian();
  QString state;
  if (connection.Connected())
    state = ru ? "соединено" : "connected";
  else if (connection.HasSocket())
    state = ru ? "подключаемся" : "connecting";
  else if (connection.UserStopped())
    state = ru ? "отключено" : "disconnected";
  else
    state = ru ? "нет связи, повтор" : "no connection, retrying";
  const QString server = ToQ(settings_.Server) + ":" + QString::number(settings_.Port1);
  const QString sent = QString::number(connection.SentBytes());
  const QString received = QString::number(connection.ReceivedBytes());
  return (ru ? QString("Сервер %1: %2\nПослано: %3, получено: %4") : QString("Server %1: %2\nSent: %3, received: %4"))
      .arg(server, state, sent, received);
}

void MainWindow::ClipboardChanged() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  items_.sendBuf->setEnabled(data && data->hasImage());
}

void MainWindow::ShowAbout() {
  window::ShowInfoWindow(settings_, "Information about program", Russian() ? text::W("О программе...") : "About...",
                         AboutText(WebHost(settings_.Server, settings_.ChatDir), CHAT_FILE_VERSION), -1, -1, false);
}

void MainWindow::WireLinks() {
  using Doc = markup::MarkupDocument;
  auto shift = [] { return bool(QGuiApplication::keyboardModifiers() & Qt::ShiftModifier); };
  transl_->OnLink = [this, shift](Doc&, const std::string& target) {
    ApplyEnterState(InsertText(EnterState(), TranslitPanelInsertion(target, shift())));
  };
  auto linkAction = [this, shift](const std::string& target) {
    ApplyEnterState(chat_->LinkAction(target, EnterState(), shift()));
  };
  comm_->OnLink = [linkAction](Doc&, const std::string& target) { linkAction(target); };
  topleft_->OnLink = comm_->OnLink;
  SetInfoLinkHandler(linkAction);
  priv_->OnLink = [this, shift](Doc&, const std::string& target) {
    ApplyEnterState(chat_->PrivLink(target, EnterState(), shift()));
  };
  auto usersLink = [this](Doc&, const std::string& target) {
    if (text::StartsWith(target, "DL::")) return;
    LineEdit edit = EnterState();
    chat_->UsersLink(target, &edit);
    ApplyEnterState(edit);
  };
  users_->OnLink = usersLink;
  dirconn_->OnLink = usersLink;
  towhom_->OnLink = [this](Doc&, const std::string& name) {
    chat_->TowhomLink(name);
    ApplyEnterState(EnterState());
  };
  topright_->OnLink = [this](Doc&, const std::string& target) {
    if (media_->OpenArchiveLink(target)) return;
    if (text::StartsWith(target, "http://")) ApplyEnterState(chat_->LinkAction(target, EnterState(), false));
  };
  auto copyToEnter = [this](Doc&, const std::string& textValue) {
    ApplyEnterState(InsertText(EnterState(), textValue));
  };
  comm_->OnCopy = copyToEnter;
  priv_->OnCopy = copyToEnter;
  SetInfoCopyHandler([this](const std::string& textValue) { ApplyEnterState(InsertText(EnterState(), textValue)); });
  connect(userInfo_, &QPushButton::clicked, this, [this] { chat_->UserInfoClick(); });
  // Clearing a pane gives the message line the focus back.
  for (auto [name, pane] : {std::pair{"ClearCommon", comm_}, std::pair{"ClearPrivate", priv_}})
    connect(findChild<QPushButton*>(name), &QPushButton::clicked, this, [this, pane = pane] {
      pane->Clear();
      ApplyEnterState(EnterState());
    });
}

void MainWindow::WireMessageLine() {
  messageLine_ = new MessageLine(enter_, [this] { return chat_->Online().Names(); });
  connect(enter_, &QLineEdit::textChanged, this, [this] {
    const std::string typed = FromQ(enter_->text());
    say_->setEnabled(session_->CanSay(typed));
    if (const std::optional<LineEdit> rewritten = session_->EnterChanged(typed)) {
      enter_->setText(ToQ(rewritten->text));
      enter_->setCursorPosition(rewritten->caret);
    }
  });
  connect(say_, &QPushButton::clicked, this, &MainWindow::SayClick);
  connect(enter_, &QLineEdit::returnPressed, this, [this] {
    if (say_->isEnabled()) SayClick();
  });
  auto* ctrlEnter = new QAction(this);
  ctrlEnter->setObjectName("CtrlEnter");
  ctrlEnter->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
  ctrlEnter->setShortcutContext(Qt::WindowShortcut);
  addAction(ctrlEnter);
  actions_["CtrlEnter"] = ctrlEnter;
  connect(ctrlEnter, &QAction::triggered, this, [this] {
    if (say_->isEnabled()) SayClick();
  });
}

LineEdit MainWindow::EnterState() const { return messageLine_->State(); }

void MainWindow::ApplyEnterState(const LineEdit& edit) { messageLine_->Apply(edit); }

void MainWindow::SayClick() {
  const std::string typed = FromQ(enter_->text());
  if (!session_->Say(typed)) return;
  messageLine_->Sent(typed);
  enter_->clear();
  enter_->setFocus();
}

// ---- SessionView ----

bool MainWindow::AskForIdentity(bool registration) {
  if (!loginDialog_) return false;
  loginDialog_->SetRegistration(registration);
  QPointer<MainWindow> self(this);
  const bool ok = loginDialog_->exec() == QDialog::Accepted;
  if (self && ok) enter_->setFocus();
  return self && ok;
}

void MainWindow::OnlineChanged(bool online) {
  say_->setEnabled(online && !enter_->text().isEmpty());
  if (games_) games_->SetOnline(online);
  if (online) mediaUi_->ServerOnline();
}

void MainWindow::MenuStateChanged(bool connectEnabled) {
  items_.connect->setEnabled(connectEnabled);
  items_.disconnect->setEnabled(!connectEnabled);
}

void MainWindow::LampsChanged() {
  ledPanel_->setToolTip(LampsToolTip());
  ledPanel_->setAccessibleName(LampsToolTip().section('\n', 0, 0));
  if (isVisible()) ledBox_->update();
}

void MainWindow::ControlsChanged(bool userInfo, bool sendWav) {
  userInfo_->setEnabled(userInfo);
  if (mediaUi_) mediaUi_->ControlsChanged(sendWav);
  if (games_) games_->RefreshMenu();
}

void MainWindow::ModeratorChanged(bool moderator) { items_.admin->menuAction()->setVisible(moderator); }

void MainWindow::Warn(const std::string& russianUtf8, const std::string& englishUtf8) {
  window::Warn(this, Russian(), QString::fromStdString(russianUtf8), QString::fromStdString(englishUtf8));
}

bool MainWindow::AskYesNo(const std::string& russian, const std::string& english) {
  return AskDefaultNo(this, Russian(), ToQ(russian), ToQ(english));
}

bool MainWindow::AskWarning(const std::string& russian, const std::string& english) {
  return AskWithExclamation(this, Russian(), ToQ(russian), ToQ(english));
}

void MainWindow::Trace(const std::string& textValue) { TraceLog(settings_, textValue); }
void MainWindow::ShowInfoWindow(const std::string& key, const std::string& title, const std::string& textValue,
                                int width, int height, bool append) {
  window::ShowInfoWindow(settings_, key, title, textValue, width, height, append);
}

void MainWindow::Beep() { QApplication::beep(); }

void MainWindow::PlayWave(const std::string& file) { reactions_->PlayWave(file); }

void MainWindow::BringToFront() { reactions_->BringToFront(); }

bool MainWindow::SettingsDialogVisible() { return setup_ && setup_->DialogVisible(); }

void MainWindow::Notice(NoticeKind kind, const std::string& sender, const std::string& text) {
  desktop_->Arrived(kind, sender, text);
}

bool MainWindow::NoSound() { return items_.noSound->isChecked(); }

void MainWindow::OpenUrl(const std::string& url) {
  QDesktopServices::openUrl(QUrl::fromEncoded(QByteArray::fromStdString(url)));
}

}  // namespace window
