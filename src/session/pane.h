#pragma once
// What chat logic needs from a conversation pane.  The markup view's
// document implements it; chat logic never touches widgets.
#include <cstdint>
#include <string>

namespace session {

class ChatPane {
 public:
  virtual ~ChatPane() = default;
  virtual void NewString(const std::string& markup, uint32_t fontColor, uint32_t backColor) = 0;
  virtual void AddString(const std::string& markup) = 0;
  virtual void ReplaceLastStr(const std::string& markup) = 0;
  virtual std::string GetLastStr() const = 0;
};

}  // namespace session
