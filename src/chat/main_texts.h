#pragma once
// Markup texts the main window builds from the settings (Windows-1251).
#include <string>
#include <string_view>

namespace window {

// "host[:port]" of an http address, empty when it is not one.
std::string HostPortOf(std::string_view url);

// The host (and port) that "http://" + Server links use: the chat scripts'
// host and port when Server names that host, so links reach the web side
// that really runs there; Server itself otherwise.
std::string WebHost(std::string_view server, std::string_view chatDir);

// The members page on the same web side.
std::string MembersPage(std::string_view server, std::string_view chatDir);

// The archive shortcuts of the top bar.
std::string TopRightMarkup(bool russian, std::string_view membersPage);

// The logo linked to the service's web address.
std::string TopLeftMarkup(std::string_view webHost);

// The About box text; `fileVersion` is "2.8.0.<build>".
std::string AboutText(std::string_view webHost, std::string_view fileVersion);

// The site name shown in the window caption.
inline constexpr const char* kSiteName = "localhost";

}  // namespace window

namespace window {

// What a built-in picture in a pane means, for its tool tip (UTF-8); empty
// for pictures that need none.
std::string PictureMeaning(int number, bool russian);

// The text a picture stands for when a pane is copied or read aloud: a
// built-in smiley's code, an additional smiley's ":uN:" code, a picture's
// address; empty for the other built-in pictures.
std::string PictureAsText(int number, const std::string& address);

}  // namespace window
