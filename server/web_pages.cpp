#include "server/web_pages.h"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "server/artwork.h"
#include "server/gzip.h"
#include "server/name_rules.h"
#include "server/room.h"
#include "text/bytes.h"
#include "text/cp1251.h"

namespace chatd {
namespace {

constexpr std::string_view kBar{"\xA6", 1};
constexpr size_t kMaxPictureBytes = 8u << 20;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

const char* Reason(int status) {
  switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    default: return "Error";
  }
}

std::string Page(const std::string& title, const std::string& content) {
  return "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\"><title>" +
         HtmlEscape(title) + "</title></head><body>\n" + content + "\n</body></html>\n";
}

WebResponse NotFound() {
  WebResponse r;
  r.status = 404;
  r.body = Page("404", text::W("Нет такой страницы."));
  return r;
}

std::string Get(const std::map<std::string, std::string>& q, const std::string& key) {
  auto it = q.find(key);
  return it == q.end() ? std::string() : it->second;
}

std::string DateText(int64_t seconds) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900);
  return buf;
}

}  // namespace

std::string PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::map<std::string, std::string> ParseQuery(std::string_view query) {
  std::map<std::string, std::string> out;
  for (const auto& pair : text::Split(query, '&')) {
    if (pair.empty()) continue;
    const size_t eq = pair.find('=');
    std::string key = PercentDecode(pair.substr(0, eq));
    std::string value = eq == std::string::npos ? std::string() : text::ReplaceAll(pair.substr(eq + 1), "+", " ");
    out[key] = PercentDecode(value);
  }
  return out;
}

std::string HtmlEscape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string BuildHttpResponse(const WebResponse& response, bool gzip, bool headOnly) {
  const std::string body = gzip ? Gzip(response.body) : response.body;
  std::string out = "HTTP/1.1 " + std::to_string(response.status) + " " + Reason(response.status) + "\r\n";
  out += "Content-Type: " + response.contentType + "\r\n";
  out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  if (gzip) out += "Content-Encoding: gzip\r\n";
  out += "Vary: Accept-Encoding\r\n\r\n";
  if (!headOnly) out += body;
  return out;
}

WebPages::WebPages(Room& room, WebConfig config) : room_(room), config_(std::move(config)) {}

std::string WebPages::BaseUrl() const { return "http://" + config_.host + ":" + std::to_string(config_.httpPort); }

WebResponse WebPages::Handle(std::string_view rawPath, std::string_view rawQuery) {
  const std::string path = PercentDecode(rawPath);
  const auto query = ParseQuery(rawQuery);
  const std::string chatDir = "/cgi-bin/chat/";
  if (text::StartsWith(path, chatDir)) return ChatScript(path.substr(chatDir.size()), query);
  if (path == "/a/gloc.html" || path == "/b/gloc.html" || path == "/c/gloc.html") return Announcement();
  for (const char* folder : {"photos", "smileset", "smiles"}) {
    const std::string prefix = std::string("/") + folder + "/";
    if (text::StartsWith(path, prefix) && path.size() > prefix.size()) {
      const std::string file = path.substr(prefix.size());
      return Picture(folder, file, text::EndsWith(text::Lower(file), ".jpg") ? "image/jpeg" : "image/gif");
    }
  }
  if (path == "/perl/whois") return Whois(Get(query, "searchtext"));
  if (path == "/members.html") return Members();
  if (path == "/" || path == "/index.html") {
    WebResponse r;
    r.body = Page("chatd", text::W("<h3>chatd</h3><a href=\"/cgi-bin/chat/index1.html\">Вход в чат</a> | "
                                   "<a href=\"/members.html\">Посетители</a>"));
    return r;
  }
  return NotFound();
}

WebResponse WebPages::ChatScript(const std::string& script, const std::map<std::string, std::string>& q) {
  if (script == "index1.html") return StartPage(false);
  if (script == "index2.html") return StartPage(true);
  if (script == "zp9.cgi") {
    WebResponse r;
    r.contentType = "text/plain; charset=windows-1251";
    r.body = Get(q, "start") == "1" ? "OK: chatd is running\n" : "chatd\n";
    return r;
  }
  if (script == "straf.cgi") {
    if (Get(q, "gol") == "1") return SmileyList();
    if (Get(q, "act") == "2") return FineForm(q, false);
    if (Get(q, "act") == "3") return FineForm(q, true);
    return NotFound();
  }
  if (script == "arx.cgi") return Archive(Get(q, "arx"));
  return NotFound();
}

WebResponse WebPages::StartPage(bool java) {
  WebResponse r;
  const std::string kind = java ? "Java" : "HTML";
  r.body = Page(text::W("Чат: ") + kind,
                text::W("<h3>") + kind +
                    text::W("-версия чата</h3><p>Эта версия на сервере chatd не работает: пользуйтесь программой "
                            "Chat browser.</p><p>Сервер чата: ") +
                    config_.host + ":" + std::to_string(config_.chatPort) + "</p><p>" +
                    text::W("Сейчас в чате: ") + std::to_string(room_.Online().size()) +
                    "</p><p><a href=\"/members.html\">" + text::W("Посетители") + "</a></p>");
  return r;
}

WebResponse WebPages::SmileyList() {
  WebResponse r;
  r.contentType = "text/plain; charset=windows-1251";
  for (int n : SmileyNumbers()) {
    r.body += std::to_string(n);
    r.body += kBar;
    r.body += BaseUrl() + "/smiles/" + std::to_string(n) + ".gif\n";
  }
  return r;
}

WebResponse WebPages::Archive(const std::string& number) {
  const auto n = text::ParseInt(number);
  if (!n || *n < 1 || *n > 10) return NotFound();
  WebResponse r;
  r.contentType = "text/plain; charset=windows-1251";
  room_.FlushArchive();
  for (const ArchiveLine& line : room_.store().PublicLines(100, (*n - 1) * 100)) {
    r.body += std::to_string(line.lineNo);
    r.body += kBar;
    r.body += std::to_string(line.time);
    r.body += kBar;
    r.body += line.backColor;
    r.body += kBar;
    r.body += line.textColor;
    r.body += kBar;
    r.body += line.mess + "\n";
  }
  return r;
}

WebResponse WebPages::Announcement() {
  WebResponse r;
  std::string info = "BEGIN_INFO\nsip";
  info += kBar;
  const bool elsewhere = !config_.announcedHost.empty();
  info += (elsewhere ? config_.announcedHost : config_.host) + "\nport";
  info += kBar;
  info += std::to_string(elsewhere ? config_.announcedPort : config_.chatPort) + "\nhref";
  info += kBar;
  info += BaseUrl() + "/cgi-bin/chat/\nEND_INFO\n";
  r.body = Page(text::W("Адрес сервера"), text::W("Адрес чат-сервера:\n") + info);
  return r;
}

WebResponse WebPages::Picture(const std::string& folder, const std::string& file, const std::string& type) {
  // The decoded name becomes one safe file name: no "/" or leading "." can
  // take it out of the folder.
  std::filesystem::path target = std::filesystem::path(config_.dataDir) / folder / text::SafeFileName(file);
  std::ifstream in(target, std::ios::binary);
  // Photos are named after the account; a user online under another
  // spelling of it asks for them under his.
  if (!in && folder == std::string("photos")) {
    const size_t cut = file.rfind('_');
    std::optional<Account> account;
    if (cut != std::string::npos) account = room_.store().FindAccount(AccountKey(file.substr(0, cut)));
    if (account) {
      target = std::filesystem::path(config_.dataDir) / folder / text::SafeFileName(account->name + file.substr(cut));
      in.open(target, std::ios::binary);
    }
  }
  if (!in) return NotFound();
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() > kMaxPictureBytes) return NotFound();
  WebResponse r;
  r.contentType = type;
  r.body = std::move(bytes);
  return r;
}

WebResponse WebPages::Whois(const std::string& query) {
  WebResponse r;
  r.body = Page("WHOIS " + query, query.empty() ? text::W("Что искать?") : room_.WhoisText(query));
  return r;
}

WebResponse WebPages::Members() {
  WebResponse r;
  std::set<std::string> online;
  for (const auto& user : room_.Online()) online.insert(AccountKey(user.name));
  std::string rows;
  for (const Account& a : room_.store().Accounts(5000)) {
    rows += "<tr><td>" + std::to_string(a.id) + "</td><td>" + HtmlEscape(a.name) + "</td><td>" +
            DateText(a.created) + "</td><td>" + (online.count(a.key) ? text::W("в чате") : "") + "</td></tr>\n";
  }
  r.body = Page(text::W("Посетители"), text::W("<h3>Посетители</h3><table border=1><tr><th>Номер</th><th>Имя</th>"
                                                "<th>Зарегистрирован</th><th></th></tr>\n") +
                                           rows + "</table>");
  return r;
}

WebResponse WebPages::FineForm(const std::map<std::string, std::string>& q, bool apply) {
  WebResponse r;
  const std::string moderator = Get(q, "uname");
  const std::optional<Account> account = room_.store().FindAccount(AccountKey(moderator));
  if (!account || !room_.IsModerator(moderator) || !room_.store().CheckPassword(*account, Get(q, "pass"))) {
    r.status = 403;
    r.body = Page(text::W("Штраф"), text::W("Штрафовать могут только модераторы."));
    return r;
  }
  // The client writes blanks in the target's name as "_".
  std::string target = Get(q, "tnik");
  if (!room_.store().FindAccount(AccountKey(target))) target = text::ReplaceAll(target, "_", " ");
  if (apply) {
    const int period = text::ParseIntOr(Get(q, "fdate"), 0);
    const int type = text::ParseIntOr(Get(q, "fprc"), -1);
    const bool ok = type >= 0 && type <= 3 &&
                    room_.ApplyFine(account->name, target, period, type, Get(q, "chkip") == "1");
    r.body = Page(text::W("Штраф"), ok ? text::W("Готово: ") + HtmlEscape(target)
                                       : text::W("Не получилось: нет такого посетителя или типа штрафа."));
    return r;
  }
  auto hidden = [](const std::string& key, const std::string& value) {
    return "<input type=hidden name=" + key + " value=\"" + HtmlEscape(value) + "\">";
  };
  std::string form = "<form action=\"straf.cgi\" method=get>" + hidden("act", "3") + hidden("un", Get(q, "un")) +
                     hidden("uname", moderator) + hidden("pass", Get(q, "pass")) + hidden("tnik", target);
  form += text::W("<h3>Штраф для ") + HtmlEscape(target) + "</h3>";
  form += text::W("Срок: <select name=fdate><option value=0>Убрать штраф<option value=1>10 минут"
                  "<option value=2>30 минут<option value=3>1 час<option value=4>1 день"
                  "<option value=5>10 дней<option value=365>1 год</select><br>");
  form += text::W("Тип: <select name=fprc><option value=0>Не пускать на сервер<option value=1>Чтение архивов"
                  "<option value=2>Чтение всего<option value=3>Только приват</select><br>");
  form += text::W("<input type=checkbox name=chkip value=1> Проверять IP<br><input type=submit value=\"Оштрафовать\">"
                  "</form>");
  r.body = Page(text::W("Штраф"), form);
  return r;
}

}  // namespace chatd
