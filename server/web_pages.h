#pragma once
// chatd's web side as plain functions of the request: the chat script
// folder (start pages, restart request, smiley list, fine form, public
// archive), the server announcement pages, pictures, the WHOIS page and the
// members page.  The socket side only decodes the request and writes the
// bytes BuildHttpResponse gives.
#include <map>
#include <string>
#include <string_view>

namespace chatd {

class Room;

struct WebResponse {
  int status = 200;
  std::string contentType = "text/html; charset=windows-1251";
  std::string body;
};

struct WebConfig {
  std::string dataDir;
  std::string host = "127.0.0.1";
  int chatPort = 8080;
  int httpPort = 8081;
  // The chat server the announcement pages name; this one's own when empty.
  std::string announcedHost;
  int announcedPort = 0;
};

class WebPages {
 public:
  WebPages(Room& room, WebConfig config);

  // `path` as sent (percent escapes still in it), `query` likewise.
  WebResponse Handle(std::string_view path, std::string_view query);

  std::string BaseUrl() const;  // "http://host:port"
  void SetHttpPort(int port) { config_.httpPort = port; }

 private:
  WebResponse ChatScript(const std::string& script, const std::map<std::string, std::string>& q);
  WebResponse FineForm(const std::map<std::string, std::string>& q, bool apply);
  WebResponse Archive(const std::string& number);
  WebResponse SmileyList();
  WebResponse Announcement();
  WebResponse Picture(const std::string& folder, const std::string& file, const std::string& type);
  WebResponse Whois(const std::string& query);
  WebResponse Members();
  WebResponse StartPage(bool java);

  Room& room_;
  WebConfig config_;
};

// "%xx" decoded to bytes ("+" stays "+"); a "%" without two hex digits stays.
std::string PercentDecode(std::string_view text);
// key=value pairs split at "&", both decoded; "+" in values becomes a blank.
std::map<std::string, std::string> ParseQuery(std::string_view query);
// "<", ">", "&" and '"' as entities.
std::string HtmlEscape(std::string_view text);

// Status line, Content-Type, Content-Length (and Content-Encoding when the
// body is packed) and the body; headers only for HEAD.
std::string BuildHttpResponse(const WebResponse& response, bool gzip, bool headOnly);

}  // namespace chatd
