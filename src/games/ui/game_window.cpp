// The game window's controls: layout and geometry for both board sizes,
// captions in both languages, button states, the move list, the chat, the
// board size and turning.  Painting, dragging, replay and animation are in
// game_window_board.cpp.
#include "games/ui/game_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QToolButton>

#include "games/ui/board_area.h"
#include "games/game.h"
#include "games/game_channel.h"
#include "games/game_status.h"
#include "markup/ui/markup_view.h"
#include "resources/images.h"
#include "text/cp1251.h"

namespace games {
namespace {

constexpr int kRightWidth = 157;
constexpr int kControlsHeight = 49;
constexpr int kChatHeight = 144;
constexpr int kBorder = 2;       // BrdPan's single border
constexpr int kSmallBoardHeight = 326;  // the paint box of the small board

QString Q(std::string_view cp1251) { return QString::fromStdString(text::Cp1251ToUtf8(cp1251)); }
QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// The text colour of an enabled button; a disabled one keeps the palette's
// grey, so it looks disabled whatever its colour.
void Colour(QWidget* w, QColor c) {
  QPalette p = w->palette();
  p.setColor(QPalette::Active, QPalette::ButtonText, c);
  p.setColor(QPalette::Inactive, QPalette::ButtonText, c);
  w->setPalette(p);
}

Box BoxOf(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

}  // namespace

GameWindow::GameWindow(Game& game, GameChannel& channel, GameWindowContext context, const GameWindowLayout& layout,
                       QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint),
      game_(&game),
      channel_(channel),
      context_(std::move(context)),
      kind_(game.Kind()),
      opponent_(game.Opponent()),
      captionRu_(layout.captionRu),
      captionEn_(layout.captionEn) {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName(kind_ == GameKind::Chess ? "Chess" : kind_ == GameKind::Reversi ? "Reversi" : "Checkers");
  QFont f(QStringLiteral("Arial"));
  f.setPixelSize(11);
  setFont(f);
  if (!context_.russian) context_.russian = [] { return true; };
  if (!context_.hilightMoves) context_.hilightMoves = [] { return false; };
  geometry_ = GeometryOf(kind_, false);
  BuildControls(layout);
  const int screen = context_.screenHeight ? context_.screenHeight()
                     : QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry().height()
                                                        : 0;
  bigSize_->setEnabled(screen >= 700);
  Relayout();
  if (context_.fontSize) chat_->Document().SetFontSize(context_.fontSize());
  MoveListChanged();
  Retitle();
}

GameWindow::~GameWindow() {
  // Destroyed without a close (its parent went): the game still goes.
  if (game_) {
    Game* game = game_;
    game_ = nullptr;
    game->view = nullptr;
    channel_.WindowClosed(kind_, opponent_);
  }
}

void GameWindow::BuildControls(const GameWindowLayout& layout) {
  brdPanel_ = new QWidget(this);
  controls_ = new QFrame(brdPanel_);
  static_cast<QFrame*>(controls_)->setFrameStyle(QFrame::Panel | QFrame::Raised);
  controls_->setObjectName("Controls");
  auto* brdPan = new QFrame(brdPanel_);
  brdPan->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  brdPan->setLineWidth(kBorder);
  brdPan_ = brdPan;
  brdPan_->setObjectName("BrdPan");
  board_ = new BoardArea(*this, brdPan_);
  board_->setObjectName("Board");

  static const char* const kReplay[] = {"ToStart", "MoveBack", "Play", "MoveFwd", "ToNow"};
  for (int i = 0; i < 5; ++i) {
    auto* b = new QToolButton(controls_);
    b->setObjectName(kReplay[i]);
    b->setIcon(QPixmap::fromImage(resources::ReplayGlyph(i)));
    b->setGeometry(6 + 20 * i, 26, 20, 19);
    b->setEnabled(false);
    b->setCheckable(i == 2);
    replay_[size_t(i)] = b;
  }
  connect(replay_[0], &QToolButton::clicked, this, [this] { ToStartClick(); });
  connect(replay_[1], &QToolButton::clicked, this, [this] { MoveBackClick(); });
  connect(replay_[2], &QToolButton::clicked, this, [this] { PlayClick(); });
  connect(replay_[3], &QToolButton::clicked, this, [this] { MoveFwdClick(); });
  connect(replay_[4], &QToolButton::clicked, this, [this] { ToNowClick(); });

  bigSize_ = new QCheckBox(controls_);
  bigSize_->setObjectName("BigSize");
  bigSize_->setGeometry(4, 3, 106, 17);
  connect(bigSize_, &QCheckBox::clicked, this, [this] { BigSizeClick(); });
  if (layout.turnBoard) {
    turnBoard_ = new QCheckBox(controls_);
    turnBoard_->setObjectName("TurnBoard");
    turnBoard_->setGeometry(116, 3, 106, 17);
    connect(turnBoard_, &QCheckBox::clicked, this, [this] { TurnBoardClick(); });
  }
  auto button = [this](const char* name, const QRect& r, QColor colour) {
    auto* b = new QPushButton(controls_);
    b->setObjectName(name);
    b->setGeometry(r);
    b->setAutoDefault(false);
    Colour(b, colour);
    return b;
  };
  surrender_ = button("Surrender", layout.surrender, QColor(255, 0, 0));
  if (!layout.draw.isEmpty()) draw_ = button("Draw", layout.draw, QColor(0x8C, 0x8C, 0x00));
  onceMore_ = button("OnceMore", layout.onceMore, QColor(0, 128, 0));
  onceMore_->setEnabled(false);
  ping_ = button("Ping", layout.ping, QColor(0, 128, 0));
  connect(surrender_, &QPushButton::clicked, this, [this] { channel_.Surrender(kind_, opponent_); });
  if (draw_) connect(draw_, &QPushButton::clicked, this, [this] { channel_.OfferDraw(kind_, opponent_); });
  connect(onceMore_, &QPushButton::clicked, this, [this] { channel_.OnceMore(kind_, opponent_); });
  connect(ping_, &QPushButton::clicked, this, [this] { channel_.Ping(kind_, opponent_); });

  rPan_ = new QWidget(this);
  rPan_->setObjectName("RPan");
  splitter_ = new QSplitter(Qt::Vertical, rPan_);
  splitter_->setObjectName("Splitter1");
  splitter_->setHandleWidth(5);
  splitter_->setOpaqueResize(true);
  splitter_->setChildrenCollapsible(false);
  movetbl_ = new markup::MarkupView(splitter_);
  movetbl_->setObjectName("movetbl");
  movetbl_->setMinimumHeight(40);
  movetbl_->SetPaneName(U("Ходы"), U("Moves"));
  chat_ = new markup::MarkupView(splitter_);
  chat_->setObjectName("chat");
  chat_->setMinimumHeight(40);
  chat_->SetPaneName(U("Чат игры"), U("Game chat"));
  chat_->SetStdPopup(true);
  chat_->OnCopy = [this](markup::MarkupDocument&, const std::string& copied) {
    if (context_.copyText) context_.copyText(copied);
  };
  chatPan_ = new QWidget(rPan_);
  chatPan_->setObjectName("ChatPan");
  enter_ = new QLineEdit(chatPan_);
  enter_->setObjectName("Enter");
  enter_->setGeometry(4, 24, 148, 22);
  say_ = new QPushButton(chatPan_);
  say_->setObjectName("Say");
  say_->setGeometry(100, 3, 51, 20);
  say_->setEnabled(false);
  say_->setDefault(true);
  connect(enter_, &QLineEdit::textChanged, this, [this] { EnterChange(); });
  connect(enter_, &QLineEdit::returnPressed, this, [this] {
    if (say_->isEnabled()) SayClick();
  });
  connect(say_, &QPushButton::clicked, this, [this] { SayClick(); });
}

void GameWindow::Relayout() {
  // The paint box is 326 high with the small board and grows with the board.
  const int side = geometry_.Side();
  const int boardW = side, boardH = kSmallBoardHeight + side - GeometryOf(kind_, false).Side();
  const int leftW = boardW + 2 * kBorder, height = boardH + 2 * kBorder + kControlsHeight;
  setFixedSize(leftW + kRightWidth, height);
  brdPanel_->setGeometry(0, 0, leftW, height);
  brdPan_->setGeometry(0, 0, leftW, height - kControlsHeight);
  board_->setGeometry(kBorder, kBorder, boardW, boardH);
  controls_->setGeometry(0, height - kControlsHeight, leftW, kControlsHeight);
  rPan_->setGeometry(leftW, 0, kRightWidth, height);
  chatPan_->setGeometry(0, height - kControlsHeight, kRightWidth, kControlsHeight);
  const int paneH = height - kControlsHeight;
  QList<int> sizes = splitter_->sizes();
  int chatH = sizes.size() == 2 && sizes[1] > 0 ? sizes[1] : kChatHeight;
  chatH = std::min(chatH, paneH - 45);
  splitter_->setGeometry(0, 0, kRightWidth, paneH);
  splitter_->setSizes({paneH - 5 - chatH, chatH});
  // The screen's pixels: twice as fine at 200 %, drawn in logical ones.
  const qreal ratio = devicePixelRatioF();
  bitmap_ = QPixmap(QSize(boardW, boardH) * ratio);
  bitmap_.setDevicePixelRatio(ratio);
  bitmap_.fill(Qt::gray);
}

void GameWindow::Retitle() {
  const bool ru = context_.russian();
  setWindowTitle(U(ru ? captionRu_ : captionEn_));
  auto set = [ru](QAbstractButton* b, const char* r, const char* e) {
    if (b) b->setText(U(ru ? r : e));
  };
  set(bigSize_, "Большой размер", "Big size");
  set(turnBoard_, "Повернуть доску", "Turn board");
  set(surrender_, "Сдаться", "Surrender");
  set(draw_, "Ничья", "Draw");
  set(onceMore_, "Еще партию", "Once more");
  set(say_, "Сказать", "Say");
  set(ping_, "Пинг", "Ping");
  ping_->setToolTip(U(ru ? "Послать тестовый пакет для синхронизации" : "Send test synchronization packet"));
  // The replay buttons show only glyphs: their names are for tooltips and
  // screen readers.
  static const char* const kReplayNames[5][2] = {{"В начало", "To start"},
                                                  {"Ход назад", "Move back"},
                                                  {"Проиграть партию", "Play the game"},
                                                  {"Ход вперед", "Move forward"},
                                                  {"К текущей позиции", "To the current position"}};
  for (size_t i = 0; i < replay_.size(); ++i) {
    replay_[i]->setToolTip(U(kReplayNames[i][ru ? 0 : 1]));
    replay_[i]->setAccessibleName(U(kReplayNames[i][ru ? 0 : 1]));
  }
  enter_->setAccessibleName(U(ru ? "Сообщение сопернику" : "Message to the opponent"));
  UpdateStatus();
  AnnounceBoard();
}

void GameWindow::UpdateStatus() {
  if (!game_) return;
  setWindowTitle(Q(StatusCaption(*game_, context_.russian())));
  const ControlStates c = ControlStatesOf(*game_, reviewPos_);
  replay_[0]->setEnabled(c.toStart);
  replay_[1]->setEnabled(c.moveBack);
  replay_[2]->setEnabled(c.play || replay_[2]->isChecked());
  replay_[3]->setEnabled(c.moveFwd);
  replay_[4]->setEnabled(c.toNow);
  onceMore_->setEnabled(c.onceMore);
  ping_->setEnabled(c.ping);
  surrender_->setEnabled(c.surrender);
  if (draw_) draw_->setEnabled(c.draw);
  say_->setEnabled(game_->online && !enter_->text().isEmpty());
}

void GameWindow::GameChanged() {
  if (!game_) return;
  // A new or reloaded game: the mark of the old one's last move goes.
  if (game_->MoveCount() <= lastMoveIndex_) lastMoveIndex_ = -1;
  if (!game_->review) reviewPos_ = game_->MoveCount();
  Redraw();
}

void GameWindow::MoveListChanged() {
  if (!game_) return;
  movetbl_->BeginUpdate();
  movetbl_->Clear();
  for (const MarkupLine& line : game_->MoveList())
    movetbl_->NewString(line.markup, line.textColor, line.backColor);
  movetbl_->EndUpdate(true);
}

void GameWindow::ChatLine(const std::string& markup, uint32_t textColor, uint32_t backColor) {
  chat_->NewString(markup, textColor, backColor);
}

void GameWindow::ChatAppend(const std::string& markup, uint32_t textColor, uint32_t backColor) {
  chat_->SetColor(textColor, backColor);
  chat_->AddString(markup);
}

void GameWindow::GameClosed() {
  game_ = nullptr;
  closedByGame_ = true;
  close();
}

void GameWindow::closeEvent(QCloseEvent* event) {
  if (context_.keepPlace && isVisible()) context_.keepPlace(kind_, *this);
  if (game_ && !closedByGame_) {
    Game* game = game_;
    game_ = nullptr;
    game->view = nullptr;
    channel_.WindowClosed(kind_, opponent_);
  }
  event->accept();
}

void GameWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange && chat_ && context_.fontSize) chat_->Document().SetFontSize(context_.fontSize());
}

void GameWindow::HoldChecks(bool hold) {
  if (hold) {
    if (holds_++ == 0) {
      bigWasEnabled_ = bigSize_->isEnabled();
      turnWasEnabled_ = turnBoard_ && turnBoard_->isEnabled();
      bigSize_->setEnabled(false);
      if (turnBoard_) turnBoard_->setEnabled(false);
    }
  } else if (holds_ > 0 && --holds_ == 0) {
    bigSize_->setEnabled(bigWasEnabled_);
    if (turnBoard_) turnBoard_->setEnabled(turnWasEnabled_);
  }
}

void GameWindow::BigSizeClick() {
  if (bigSize_->isChecked() == bigBoard_) return;
  bigBoard_ = bigSize_->isChecked();
  const int before = geometry_.Side();
  geometry_ = GeometryOf(kind_, bigBoard_);
  const int delta = geometry_.Side() - before;
  if (delta < 0) {
    // The chat may not keep more than the small board leaves it.
    const int limit = GeometryOf(kind_, false).Side() - 40;
    QList<int> sizes = splitter_->sizes();
    if (sizes.size() == 2 && sizes[1] > limit) splitter_->setSizes({sizes[0] + sizes[1] - limit, limit});
  }
  Relayout();
  // All of the window, its frame included, stays on the screen.
  if (const QScreen* screen = this->screen()) {
    const QRect frame = frameGeometry();
    const QSize margins = frame.size() - geometry().size();
    const Point p = KeepInside({frame.x(), frame.y(), width() + margins.width(), height() + margins.height()},
                               BoxOf(screen->availableGeometry()));
    if (QPoint(p.x, p.y) != frame.topLeft()) move(p.x, p.y);
  }
  Redraw();
}

void GameWindow::PlaceAtOpening() {
  // Each further game window a step down and right, so none hides another.
  int others = 0;
  for (QWidget* top : QApplication::topLevelWidgets())
    others += top != this && top->isVisible() && qobject_cast<GameWindow*>(top) != nullptr;
  if (context_.restorePlace && context_.restorePlace(kind_, *this, 24 * others)) return;
  PlaceBesideMain(others);
}

void GameWindow::PlaceBesideMain(int others) {
  if (!context_.mainFrame || !context_.panes) return;
  const QRect main = context_.mainFrame(), panes = context_.panes();
  const QScreen* screen = QGuiApplication::screenAt(main.center());
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen || main.isEmpty()) return;
  const QSize margins = frameGeometry().size() - geometry().size();
  const int w = width() + margins.width(), h = height() + margins.height();
  const Box area = BoxOf(screen->availableGeometry());
  Point p = PlaceBeside(BoxOf(main), BoxOf(panes), w, h, area);
  p = KeepInside({p.x + 24 * others, p.y + 24 * others, w, h}, area);
  move(p.x, p.y);
}

void GameWindow::TurnBoardClick() {
  if (!turnBoard_ || turnBoard_->isChecked() == turned_) return;
  turned_ = turnBoard_->isChecked();
  Redraw();
}

void GameWindow::EnterChange() {
  std::string typed = text::Utf8ToCp1251(enter_->text().toStdString());
  size_t caret = 0;
  if (RewriteFirstImg(typed, &caret)) {
    const QSignalBlocker block(enter_);
    enter_->setText(Q(typed));
    enter_->setCursorPosition(static_cast<int>(caret));
  }
  say_->setEnabled(game_ && game_->online && !enter_->text().isEmpty());
}

void GameWindow::SayClick() {
  if (!game_) return;
  const std::string typed = text::Utf8ToCp1251(enter_->text().toStdString());
  if (typed.empty() || !game_->online) return;
  channel_.Say(kind_, opponent_, typed);
  enter_->clear();
}

}  // namespace games
