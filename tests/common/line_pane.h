#pragma once
// A chat pane that keeps its lines as plain markup strings, for tests of
// what the connection writes into the common pane.
#include <string>
#include <vector>

#include "session/pane.h"

namespace chatd_test {

class LinePane : public session::ChatPane {
 public:
  void NewString(const std::string& m, uint32_t, uint32_t) override { lines.push_back(m); }
  void AddString(const std::string& m) override {
    if (lines.empty()) lines.emplace_back();
    lines.back() += m;
  }
  void ReplaceLastStr(const std::string& m) override {
    if (lines.empty()) lines.emplace_back();
    lines.back() = m;
  }
  std::string GetLastStr() const override { return lines.empty() ? std::string() : lines.back(); }
  std::vector<std::string> lines;
};

}  // namespace chatd_test
