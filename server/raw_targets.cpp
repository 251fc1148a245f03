#include "server/raw_targets.h"

#include "server/web_pages.h"

namespace chatd {
namespace {

bool HasHighByte(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

// What both views of a target share: the decoded ASCII bytes.
std::string Skeleton(std::string_view target) {
  std::string out;
  for (char c : PercentDecode(target))
    if (static_cast<unsigned char>(c) < 0x80) out += c;
  return out;
}

}  // namespace

void RawTargets::Feed(std::string_view bytes) {
  while (!bytes.empty()) {
    const size_t lf = bytes.find('\n');
    const std::string_view piece = bytes.substr(0, lf);
    if (!skipping_) {
      if (partial_.size() + piece.size() > kMaxLine) {
        partial_.clear();
        skipping_ = true;
      } else {
        partial_.append(piece);
      }
    }
    if (lf == std::string_view::npos) return;
    if (!skipping_) Line(partial_);
    partial_.clear();
    skipping_ = false;
    bytes.remove_prefix(lf + 1);
  }
}

void RawTargets::Line(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  // METHOD SP target SP HTTP/x.y
  const size_t firstBlank = line.find(' ');
  if (firstBlank == std::string_view::npos || firstBlank == 0) return;
  for (size_t i = 0; i < firstBlank; ++i)
    if (line[i] < 'A' || line[i] > 'Z') return;
  const size_t secondBlank = line.find(' ', firstBlank + 1);
  if (secondBlank == std::string_view::npos || line.substr(secondBlank + 1, 5) != "HTTP/") return;
  const std::string_view target = line.substr(firstBlank + 1, secondBlank - firstBlank - 1);
  if (target.empty() || !HasHighByte(target)) return;
  targets_.emplace_back(target);
  if (targets_.size() > kMaxKept) targets_.pop_front();
}

bool RawTargets::NeedsRaw(std::string_view qtTarget) { return HasHighByte(PercentDecode(qtTarget)); }

std::optional<std::string> RawTargets::Take(std::string_view qtTarget) {
  const std::string wanted = Skeleton(qtTarget);
  while (!targets_.empty()) {
    std::string raw = std::move(targets_.front());
    targets_.pop_front();
    if (Skeleton(raw) == wanted) return raw;
  }
  return std::nullopt;
}

}  // namespace chatd
