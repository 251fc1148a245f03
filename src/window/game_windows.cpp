#include "window/game_windows.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>

#include "chat/chat_services.h"
#include "chat/reaction.h"
#include "games/game.h"
#include "games/ui/game_window.h"
#include "games/ui/promotion_chooser.h"
#include "settings/settings.h"
#include "window/qt_text.h"
#include "window/window_places.h"

namespace window {

GameWindows::GameWindows(ChatServices& chat, QWidget* parent, GamesMenu menu, GameWindowsAccess access)
    : chat_(chat), parent_(parent), menu_(menu), access_(std::move(access)) {
  session_ = std::make_unique<GameSession>(chat_, static_cast<GameScreen&>(*this));
  for (games::GameKind kind : games::kAllGameKinds) {
    const size_t k = static_cast<size_t>(kind);
    if (QAction* item = menu_.newGame[k])
      QObject::connect(item, &QAction::triggered, parent_, [this, kind] { session_->OfferGame(kind); });
    if (QAction* item = menu_.loadGame[k])
      QObject::connect(item, &QAction::triggered, parent_, [this, kind] { session_->LoadLastGame(kind); });
  }
  RefreshMenu();
}

GameWindows::~GameWindows() { session_.reset(); }

void GameWindows::RefreshMenu() {
  const games::GamesMenuState s = session_->MenuState();
  if (menu_.menu) menu_.menu->setEnabled(s.menu);
  for (size_t k = 0; k < 3; ++k) {
    if (menu_.newGame[k]) menu_.newGame[k]->setEnabled(s.newGame[k]);
    if (menu_.loadGame[k]) menu_.loadGame[k]->setEnabled(s.loadGame[k]);
  }
}

namespace {

std::vector<games::GameWindow*> OpenGameWindows() {
  std::vector<games::GameWindow*> out;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* window = qobject_cast<games::GameWindow*>(w); window && window->ShownGame()) out.push_back(window);
  return out;
}

}  // namespace

void GameWindows::Retitle() {
  for (games::GameWindow* window : OpenGameWindows()) window->Retitle();
}

void GameWindows::RedrawBoards() {
  for (games::GameWindow* window : OpenGameWindows()) window->Redraw();
}

void GameWindows::Ask(const std::string& question, std::function<void(bool yes)> answer) {
  // The box does not block: game messages go on being handled while it is
  // open, and the answer is taken when it comes.
  const bool ru = chat_.Settings().RussianInterface;
  auto* box = new QMessageBox(QMessageBox::Question, QString::fromUtf8(ru ? "Внимание" : "Attention"), ToQ(question),
                              QMessageBox::Yes | QMessageBox::No, parent_);
  box->setObjectName("GameQuestion");
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::ApplicationModal);
  // Game windows stay on top; the question must not open behind them.
  box->setWindowFlag(Qt::WindowStaysOnTopHint);
  QObject::connect(box, &QMessageBox::finished, parent_,
                   [answer = std::move(answer), box](int) { answer(box->clickedButton() == box->button(QMessageBox::Yes)); });
  box->show();
}

void GameWindows::Attention(games::GameView* view) {
  const bool settingsOpen = access_.settingsDialogOpen && access_.settingsDialogOpen();
  const bool muted = access_.noSound && access_.noSound();
  const Reaction r = ReactionFor(chat_.Settings(), settings::ReactionSet::Game, settingsOpen, muted);
  if (auto* window = dynamic_cast<games::GameWindow*>(view); window && !settingsOpen) {
    if (window->isMinimized()) window->showNormal();
    if (r.bringForward) {
      window->raise();
      window->activateWindow();
    }
  }
  if (r.beep) QApplication::beep();
  else if (!r.wave.empty() && access_.playWave) access_.playWave(r.wave);
}

namespace {

// The [Windows] key of each kind of game window.
const char* GamePlaceKey(games::GameKind kind) {
  switch (kind) {
    case games::GameKind::Checkers: return "Checkers";
    case games::GameKind::Chess: return "Chess";
    case games::GameKind::Reversi: return "Reversi";
  }
  return "Game";
}

}  // namespace

games::GameView* GameWindows::CreateView(games::Game& game) {
  const settings::Settings& s = chat_.Settings();
  games::GameWindowContext c;
  c.russian = [&s] { return s.RussianInterface; };
  c.hilightMoves = [&s] { return s.HilightMoves; };
  c.fontSize = [&s] { return s.FontSize; };
  c.copyText = access_.copyToMessageLine;
  c.frameDelayMs = frameDelayMs_;
  QPointer<QWidget> main(parent_);
  c.mainFrame = [main] { return main ? main->frameGeometry() : QRect(); };
  c.panes = [main] {
    QRect panes;
    for (const char* name : {"comm", "priv"})
      if (auto* pane = main ? main->findChild<QWidget*>(name) : nullptr; pane && pane->isVisible())
        panes |= QRect(pane->mapToGlobal(QPoint(0, 0)), pane->size());
    return panes;
  };
  c.restorePlace = [&s](games::GameKind kind, QWidget& w, int offset) {
    return RestorePlace(s, GamePlaceKey(kind), w, offset, false);
  };
  c.keepPlace = [&chat = chat_](games::GameKind kind, const QWidget& w) {
    KeepPlace(chat.Settings(), GamePlaceKey(kind), w);
  };
  c.choosePromotion = [&s](bool white, QObject* owner) {
    return games::PromotionChooser::Choose(white, s.RussianInterface, owner);
  };
  return games::GameWindow::Open(game, session_->Channel(), std::move(c));
}

}  // namespace window
