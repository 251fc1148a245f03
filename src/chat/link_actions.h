#pragma once
// What clicking a link does with the message line: inserting a name as an
// address, joining two addresses, and telling web addresses apart.
#include <string>

namespace window {

// The message line being edited (Windows-1251, one byte per character).
struct LineEdit {
  std::string text;
  int selStart = 0;
  int selLength = 0;
  int caret = 0;
};

// Targets opened by the desktop: "mailto:", "http:/", "ftp:/", "www.",
// "ftp." (case-sensitive).
bool IsWebAddress(const std::string& target);

// The URL to open: "www." gets "http://" and "ftp." gets "ftp://" in
// front; bytes above 127 are percent-encoded.
std::string OpenableUrl(const std::string& target);

// Inserts target as an address at the selection ("[target] " with
// translit on), drops the line tag with shift, and joins it with an
// address just before it.  Returns the new text and caret.
LineEdit InsertAddress(const LineEdit& edit, std::string target, bool shift, bool translit);

// Inserts text at the selection; the caret goes after it.
LineEdit InsertText(const LineEdit& edit, const std::string& text);

// "Для name:" or "Для name(tag):" -> name.
std::string NameOfAddress(const std::string& target);

}  // namespace window
