#pragma once
// A markup document seen as a chat pane.
#include "markup/markup_document.h"
#include "session/pane.h"

namespace window {

class DocumentPane : public session::ChatPane {
 public:
  explicit DocumentPane(markup::MarkupDocument& doc) : doc_(doc) {}
  void NewString(const std::string& m, uint32_t font, uint32_t back) override {
    doc_.NewString(m, static_cast<int32_t>(font), static_cast<int32_t>(back));
  }
  void AddString(const std::string& m) override { doc_.AddString(m); }
  void ReplaceLastStr(const std::string& m) override { doc_.ReplaceLastStr(m); }
  std::string GetLastStr() const override { return doc_.GetLastStr(); }

 private:
  markup::MarkupDocument& doc_;
};

}  // namespace window
