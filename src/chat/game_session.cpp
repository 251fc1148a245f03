#include "chat/game_session.h"

#include "chat/chat_services.h"
#include "games/game_records.h"
#include "markup/markup_document.h"
#include "session/login.h"
#include "settings/settings.h"

namespace window {

GameSession::GameSession(ChatServices& chat, GameScreen& screen)
    : chat_(chat),
      screen_(screen),
      records_(std::make_unique<games::GameRecords>(chat.Settings().ProgramDir)),
      channel_(std::make_unique<games::GameChannel>(static_cast<games::GameHost&>(*this), records_.get())) {
  chat_.SetGameTraffic(channel_.get());
}

GameSession::~GameSession() {
  chat_.SetGameTraffic(nullptr);
  channel_->CloseAllGames();
  channel_.reset();
}

std::string GameSession::SingleAddressee() const {
  const auto& names = chat_.AddresseeNames();
  return names.size() == 1 ? names.front() : std::string();
}

games::GamesMenuState GameSession::MenuState() const { return channel_->MenuState(chat_.AddresseeNames()); }

void GameSession::OfferGame(games::GameKind kind) {
  if (const std::string name = SingleAddressee(); !name.empty()) channel_->OfferGame(kind, name);
}

void GameSession::LoadLastGame(games::GameKind kind) {
  if (const std::string name = SingleAddressee(); !name.empty()) channel_->LoadLastGame(kind, name);
}

void GameSession::SendPrivateText(const std::string& name, const std::string& text) {
  chat_.SendChatMessage(name, text, false);
}

void GameSession::PrivLine(const std::string& markup, uint32_t textColor, uint32_t backColor) {
  chat_.PrivatePane().NewString(markup, static_cast<int32_t>(textColor), static_cast<int32_t>(backColor));
}

void GameSession::PrivAppend(const std::string& markup, uint32_t textColor, uint32_t backColor) {
  markup::MarkupDocument& priv = chat_.PrivatePane();
  priv.SetColor(static_cast<int32_t>(textColor), static_cast<int32_t>(backColor));
  priv.AddString(markup);
}

bool GameSession::RussianInterface() const { return chat_.Settings().RussianInterface; }

bool GameSession::PeerHasGameClient(const std::string& name) const { return chat_.PeerHasGameClient(name); }

std::string GameSession::OwnVersion() const { return session::LoginVersion(CHAT_FILE_VERSION); }

std::string GameSession::LocalUserName() const { return chat_.Settings().UserName; }

bool GameSession::Online() const { return chat_.Connected(); }

std::string GameSession::ChatTextMarkup(const std::string& text) { return chat_.ChatTextMarkup(text); }

std::string GameSession::OutgoingChatText(const std::string& text) { return chat_.PrepareOwnText(text); }

}  // namespace window
