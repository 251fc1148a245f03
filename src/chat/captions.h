#pragma once
// Captions and hints of the main window in both interface languages, keyed
// by the name of the element they belong to.  Texts are UTF-8 here because
// they go straight to widgets.
#include <string>
#include <string_view>
#include <vector>

namespace window {

struct Caption {
  const char* element;
  const char* russian;
  const char* english;
};

// Every caption the language switch writes, in a fixed order.
const std::vector<Caption>& MainWindowCaptions();

// "Чат на " / "Chat on " + the site name.
std::string WindowTitle(bool russian, std::string_view siteName);

}  // namespace window
