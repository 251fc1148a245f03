#include "window/game_windows.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>

#include "games/game.h"
#include "games/game_channel.h"
#include "games/game_records.h"
#include "games/ui/game_window.h"
#include "games/ui/promotion_chooser.h"
#include "markup/markup_document.h"
#include "session/login.h"
#include "wire/wire.h"
#include "settings/settings.h"
#include "chat/chat_session.h"
#include "window/qt_text.h"

namespace window {
namespace {

constexpr const char* kNewItems[] = {"MenNewCheckers", "MenNewChess", "MenNewReversi"};
constexpr const char* kLoadItems[] = {"MenLoadCheckers", "MenLoadChess", "MenLoadReversi"};

}  // namespace

GameWindows::GameWindows(ChatSession& session, QWidget* parent, GameWindowsAccess access)
    : session_(session),
      parent_(parent),
      access_(std::move(access)),
      records_(std::make_unique<games::GameRecords>(session.Settings().ProgramDir)),
      channel_(std::make_unique<games::GameChannel>(static_cast<games::GameHost&>(*this), records_.get())) {
  session_.Chat().SetGameTraffic(this);
}

GameWindows::~GameWindows() {
  session_.Chat().SetGameTraffic(nullptr);
  channel_->CloseAllGames();
  channel_.reset();
}

void GameWindows::WireMenu() {
  for (games::GameKind kind : games::kAllGameKinds) {
    const size_t k = static_cast<size_t>(kind);
    if (QAction* item = access_.action(kNewItems[k]))
      QObject::connect(item, &QAction::triggered, parent_, [this, kind] {
        const std::string name = SingleAddressee();
        if (!name.empty()) channel_->OfferGame(kind, name);
      });
    if (QAction* item = access_.action(kLoadItems[k]))
      QObject::connect(item, &QAction::triggered, parent_, [this, kind] {
        const std::string name = SingleAddressee();
        if (!name.empty()) channel_->LoadLastGame(kind, name);
      });
  }
  RefreshMenu();
}

std::string GameWindows::SingleAddressee() const {
  const auto& names = session_.Chat().Addressees().Names();
  return names.size() == 1 ? names.front() : std::string();
}

void GameWindows::RefreshMenu() {
  const games::GamesMenuState s = channel_->MenuState(session_.Chat().Addressees().Names());
  if (QAction* games = access_.action("MenGames")) games->setEnabled(s.menu);
  for (size_t k = 0; k < 3; ++k) {
    if (QAction* item = access_.action(kNewItems[k])) item->setEnabled(s.newGame[k]);
    if (QAction* item = access_.action(kLoadItems[k])) item->setEnabled(s.loadGame[k]);
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

void GameWindows::GameMessage(games::GameKind kind, const std::string& text, const std::string& sender,
                              const std::string& lead, uint32_t textColor, uint32_t backColor) {
  // The channel reads the message as it was written: ";" and "|" arrive
  // escaped inside the record's field.
  channel_->GameMessage(kind, wire::UnescapeField(text), sender, lead, textColor, backColor);
}

void GameWindows::OwnGameEcho(games::GameKind kind, const std::string& text, const std::string& addressee,
                              uint32_t textColor, uint32_t backColor) {
  channel_->OwnGameEcho(kind, text, wire::UnescapeField(addressee), textColor, backColor);
}

void GameWindows::SetGameOnline(bool online) { channel_->SetGameOnline(online); }

void GameWindows::CloseAllGames() { channel_->CloseAllGames(); }

void GameWindows::SendPrivateText(const std::string& name, const std::string& text) {
  session_.Chat().SendChatMessage(name, text, false);
}

void GameWindows::PrivLine(const std::string& markup, uint32_t textColor, uint32_t backColor) {
  session_.Chat().Panes().priv.NewString(markup, static_cast<int32_t>(textColor), static_cast<int32_t>(backColor));
}

void GameWindows::PrivAppend(const std::string& markup, uint32_t textColor, uint32_t backColor) {
  markup::MarkupDocument& priv = session_.Chat().Panes().priv;
  priv.SetColor(static_cast<int32_t>(textColor), static_cast<int32_t>(backColor));
  priv.AddString(markup);
}

void GameWindows::Ask(const std::string& question, std::function<void(bool yes)> answer) {
  // The box does not block: game messages go on being handled while it is
  // open, and the answer is taken when it comes.
  const bool ru = RussianInterface();
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

bool GameWindows::RussianInterface() const { return session_.Settings().RussianInterface; }

bool GameWindows::PeerHasGameClient(const std::string& name) const {
  return session_.Chat().Online().PeerHasGameClient(name);
}

std::string GameWindows::OwnVersion() const { return session::LoginVersion(CHAT_FILE_VERSION); }

std::string GameWindows::LocalUserName() const { return session_.Settings().UserName; }

bool GameWindows::Online() const { return session_.Connection().Connected(); }

void GameWindows::GameAttention(games::GameView* view) {
  const settings::Settings& s = session_.Settings();
  constexpr size_t kGame = static_cast<size_t>(settings::ReactionSet::Game);
  const bool settingsOpen = access_.settingsDialogOpen && access_.settingsDialogOpen();
  if (auto* window = dynamic_cast<games::GameWindow*>(view); window && !settingsOpen) {
    if (window->isMinimized()) window->showNormal();
    if (s.StealFocus[kGame]) {
      window->raise();
      window->activateWindow();
    }
  }
  if (access_.noSound && access_.noSound()) return;
  if (s.AnswerType[kGame] == 1) QApplication::beep();
  else if (s.AnswerType[kGame] == 2 && access_.playWave) access_.playWave(s.Wave[kGame]);
}

std::string GameWindows::ChatTextMarkup(const std::string& text) { return session_.Chat().CodesToMarkup(text, false); }

std::string GameWindows::OutgoingChatText(const std::string& text) { return session_.Chat().PrepareOwnText(text); }

games::GameView* GameWindows::CreateView(games::Game& game) {
  const settings::Settings& s = session_.Settings();
  games::GameWindowContext c;
  c.russian = [&s] { return s.RussianInterface; };
  c.hilightMoves = [&s] { return s.HilightMoves; };
  c.fontSize = [&s] { return s.FontSize; };
  c.copyText = access_.copyToMessageLine;
  c.frameDelayMs = frameDelayMs_;
  c.choosePromotion = [&s](bool white, QObject* owner) {
    return games::PromotionChooser::Choose(white, s.RussianInterface, owner);
  };
  return games::GameWindow::Open(game, *channel_, std::move(c));
}

}  // namespace window
