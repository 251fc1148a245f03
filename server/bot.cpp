#include "server/bot.h"

#include <QRandomGenerator>

#include "server/log.h"
#include "server/name_rules.h"
#include "server/room.h"
#include "wire/wire.h"
#include "text/cp1251.h"

namespace chatd {
namespace {

const char* const kChatter[] = {
    "Всем привет! Как настроение? :)",
    "Кто хочет сыграть в шашки или шахматы? Пишите в приват.",
    "Смайлы можно вставлять кнопками под строкой ввода :a:",
    "Архив общего канала открывается ссылками 1..10 справа вверху.",
    "Тишина... Расскажите что-нибудь интересное! :w:",
    "Не забудьте заполнить информацию о себе в настройках.",
};

constexpr int64_t kGreetAgainAfter = 600;  // seconds
constexpr int kTicksBetweenChatter = 5;

}  // namespace

Bot::Bot(Room& room, std::string name) : room_(room), name_(std::move(name)) {}

void Bot::Start() {
  Store& store = room_.store();
  const std::string key = AccountKey(name_);
  std::optional<Account> account = store.FindAccount(key);
  if (!account) {
    Account fresh;
    fresh.name = name_;
    fresh.key = key;
    fresh.info = text::W("Я здешний робот. Пишите мне в приват, я отвечу.");
    fresh.photos = "1,2";
    fresh.created = room_.Now();
    std::string secret;
    for (int i = 0; i < 32; ++i) secret += static_cast<char>('a' + QRandomGenerator::system()->bounded(26));
    account = store.CreateAccount(fresh, secret);
    if (!account) {
      Log("bot account could not be created");
      return;
    }
  }
  Room::Session s;
  s.id = kClientId;
  s.address = "127.0.0.1";
  s.loggedIn = true;
  s.bot = true;
  s.accountId = account->id;
  s.name = account->name;
  s.key = key;
  s.version = "HTML-bot";
  s.hasInfo = true;
  room_.sessions_[kClientId] = s;
  room_.onlineOrder_.push_back(kClientId);
  room_.onlineByKey_[key] = kClientId;
}

void Bot::SayPublic(const std::string& text) {
  Room::Session* self = room_.Find(kClientId);
  if (!self) return;
  room_.SendPublic(*self, wire::EscapeField(text::W(text)), std::to_string(nextMid_++));
}

void Bot::SayPrivate(const std::string& to, const std::string& text) {
  Room::Session* self = room_.Find(kClientId);
  if (!self) return;
  room_.SendPrivate(*self, {to}, wire::EscapeField(text), std::to_string(nextMid_++));
}

void Bot::Greet(const std::string& newcomer) {
  const std::string key = AccountKey(newcomer);
  const int64_t now = room_.Now();
  auto it = lastGreeting_.find(key);
  if (it != lastGreeting_.end() && now - it->second < kGreetAgainAfter) return;
  lastGreeting_[key] = now;
  Room::Session* self = room_.Find(kClientId);
  if (!self) return;
  room_.SendPublic(*self, wire::EscapeField(text::W("Привет, ") + newcomer + text::W("! Заходи, располагайся :)")),
                   std::to_string(nextMid_++));
}

void Bot::Answer(const std::string& sender, const std::string& text, const std::string& mid) {
  // Automatic answers carry no number; answering them could go on for ever
  // between two robots.
  if (mid.empty() || AccountKey(sender) == AccountKey(name_)) return;
  Room::Session* self = room_.Find(kClientId);
  if (!self) return;
  // Confirm the arrival as a client would, so the sender sees it delivered
  // (through his node when he is at another).
  const std::string podtv = wire::RecordWriter().Raw("Podtv", "1").Raw("Mid", mid).Escaped("Cln", name_).Line();
  if (Room::Session* peer = room_.FindOnline(AccountKey(sender))) {
    room_.Send(*peer, podtv);
  } else if (!room_.LineToPeer(AccountKey(sender), podtv)) {
    return;
  }
  // Game invitations and other machine traffic get no chatty answer.
  if (text.rfind("Gm:", 0) == 0 || text.rfind("DirectLink::", 0) == 0) return;
  std::string reply = text::W("Вы написали: \"") + text.substr(0, 200) + text::W("\". Я всего лишь робот, но мне приятно :)");
  SayPrivate(sender, reply);
}

void Bot::Tick() {
  if (++ticks_ % kTicksBetweenChatter != 0) return;
  if (room_.Online().size() < 2) return;  // nobody but the bot to talk to
  SayPublic(kChatter[said_++ % (sizeof kChatter / sizeof kChatter[0])]);
}

}  // namespace chatd
