#include "chat/chat_session.h"

#include "chat/chat_texts.h"
#include "markup/markup_document.h"
#include "session/login.h"
#include "wire/wire.h"
#include "settings/settings.h"
#include "text/cp1251.h"
#include "chat/main_texts.h"
#include "chat/smiley_codes.h"
#include "chat/translit.h"
#include "text/shown_text.h"

namespace window {

namespace {
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
}  // namespace

ChatSession::ChatSession(settings::Settings& settings, ChatPanes panes, SessionView& view, QObject* parent)
    : settings_(settings),
      view_(view),
      commPane_(panes.comm),
      connection_(std::make_unique<session::ServerConnection>(static_cast<session::ConnectionHost&>(*this), parent)),
      chat_(std::make_unique<ChatController>(settings, panes, static_cast<ChatLink&>(*this), view)),
      moderator_(std::make_unique<ModeratorCommands>(settings, chat_->Replies(), static_cast<ModeratorHost&>(*this))),
      remedies_(std::make_unique<ServerRemedies>(settings, [this] {
        return view_.AskWarning(text::W("Найден новый адрес сервера. Изменить настройки?"),
                              "New server address found. Change parameters?");
      })) {}

ChatSession::~ChatSession() {
  // The connection's events must not reach a half-destroyed session.
  closing_ = true;
  connection_->SetUserStopped(true);
  connection_->CloseConnection();
  connection_.reset();
  remedies_.reset();
}

void ChatSession::StartRestartRequest() { remedies_->Restart().Start(settings_.ChatDir); }

void ChatSession::LoadFiles() {
  chat_->LoadFiles();
  LoadSmileyTable(SmileyFilePath(settings_.ProgramDir), AppSmileyTable());
}

void ChatSession::WriteFirstLines(markup::MarkupDocument& topleft, markup::MarkupDocument& transl) {
  markup::MarkupDocument& comm = chat_->Panes().comm;
  comm.NewString(text::Shown(texts::kStartProblems), kBlack, kWhite);
  comm.AddLink("HTML", settings_.ChatDir + "index1.html");
  comm.AddString(text::Shown(texts::kOr));
  comm.AddLink("Java", settings_.ChatDir + "index2.html");
  comm.AddString(text::Shown(texts::kVersionEnd));
  for (markup::MarkupDocument* pane : {&comm, &chat_->Panes().priv, &chat_->Panes().prev})
    pane->SetFontSize(settings_.FontSize);
  topleft.NewString(TopLeftMarkup(WebHost(settings_.Server, settings_.ChatDir)), kBlack, kWhite);
  transl.NewString(TranslitPanelLine(), kBlack, kWhite);
  chat_->ShowOnlineList("");
}

void ChatSession::ShowTopRight(markup::MarkupDocument& topright) {
  topright.Clear();
  topright.NewString(TopRightMarkup(settings_.RussianInterface, MembersPage(settings_.Server, settings_.ChatDir)),
                     kBlack, kWhite);
}

void ChatSession::Close() {
  closing_ = true;
  connection_->SetUserStopped(true);
  connection_->CloseConnection();
  settings_.SaveOnClose();
  chat_->SaveFiles();
}

void ChatSession::ChangeIdentity(bool registration) {
  connection_->Disconnect();
  settings_.ForgetNameAndPassword();
  connection_->Connect(registration ? session::ServerConnection::Initiator::Registration
                                    : session::ServerConnection::Initiator::User);
}

std::optional<LineEdit> ChatSession::EnterChanged(const std::string& enterText) {
  LineEdit edit;
  edit.text = enterText;
  // Pair after pair, as each rewrite changes the line again; the caret
  // ends after the last one rewritten.
  size_t caret = 0;
  if (RewriteImgMarkers(edit.text, &caret)) {
    while (RewriteImgMarkers(edit.text, &caret)) {
    }
    edit.selStart = edit.caret = static_cast<int>(caret);
    return edit;
  }
  chat_->RefreshPreview(enterText);
  return std::nullopt;
}

void ChatSession::SetPreview(bool on, const std::string& enterText) {
  settings_.Preview = on;
  if (on) chat_->RefreshPreview(enterText);
}

bool ChatSession::Say(const std::string& enterText) {
  if (!CanSay(enterText)) return false;
  return chat_->Say(enterText);
}

std::string ChatSession::ServerHost() { return settings_.Server; }
uint16_t ChatSession::ServerPort() { return static_cast<uint16_t>(settings_.Port1); }
std::string ChatSession::LocalAddress() { return settings_.LocalAddress; }
std::string ChatSession::UserName() { return settings_.UserName; }

bool ChatSession::IdentityComplete() {
  return session::IdentityComplete({settings_.UserName, settings_.Password, settings_.UserMail, settings_.UserNum,
                                    settings_.UserSmileNum, settings_.Sex});
}

bool ChatSession::AskForIdentity(bool registration) { return view_.AskForIdentity(registration); }

std::string ChatSession::LoginLine() {
  session::LoginInputs in;
  in.identity = {settings_.UserName, settings_.Password, settings_.UserMail, settings_.UserNum,
                 settings_.UserSmileNum, settings_.Sex};
  in.textColor = settings_.TextColor;
  in.backColor = settings_.BackColor;
  in.version = session::LoginVersion(CHAT_FILE_VERSION);
  in.audioCapable = audioCapable_;
  return session::BuildLoginLine(in);
}

void ChatSession::OnlineChanged(bool online) { view_.OnlineChanged(online); }

void ChatSession::TraceSent(const std::string& line) {
  if (chat_->TraceEnabled()) view_.Trace(text::Shown("Отправили: ", "Sent: ") + wire::UnescapeField(line));
}

bool ChatSession::RussianTexts() { return settings_.RussianInterface; }

// The connect line said " успешно..." when the socket opened; a refused
// login ends it with what really happened instead.
void ChatSession::Refused() {
  markup::MarkupDocument& comm = chat_->Panes().comm;
  const std::string opened = "<fcol=ff0000><bcol=ffffff>" + text::W(" успешно...");
  const std::string last = comm.GetLastStr();
  if (last.size() >= opened.size() && last.compare(last.size() - opened.size(), opened.size(), opened) == 0)
    comm.ReplaceLastStr(last.substr(0, last.size() - opened.size()));
  comm.AddString("<fcol=ff0000><bcol=ffffff> " + (settings_.RussianInterface
                                                      ? text::W("сервер не принял имя или пароль")
                                                      : std::string("the server refused the name or password")));
  connection_->Disconnect();
  view_.Warn("Сервер не принимает ваше имя/пароль. Выберите в меню 'Подключение->Войти под другим именем ...'",
             "Server does not accept your name/password. Select in menu 'Connection->Connect as another user ...'");
}

std::string ChatSession::Target() {
  const auto& names = chat_->Addressees().Names();
  return names.empty() ? std::string() : names.front();
}

void ChatSession::ControlsChanged() {
  const auto& names = chat_->Addressees().Names();
  const bool one = names.size() == 1;
  view_.ControlsChanged(one, one && !chat_->Online().ClientInfo(names.front()).empty());
}


}  // namespace window
