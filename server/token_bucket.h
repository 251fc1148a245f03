#pragma once
// A byte budget that refills at a steady rate up to a burst: what one user
// may send to the whole room.  Spending past it leaves a debt; the debt
// divided by the rate is how long the sender has to wait.
#include <algorithm>
#include <cstdint>

namespace chatd {

class TokenBucket {
 public:
  TokenBucket(int64_t bytesPerSecond, int64_t burst) : rate_(bytesPerSecond), burst_(burst), tokens_(burst) {}

  // Spends `bytes` at `nowMs`; the milliseconds until the budget is no
  // longer in debt (0 while it is not).
  int64_t Spend(int64_t bytes, int64_t nowMs) {
    if (rate_ <= 0) return 0;
    Refill(nowMs);
    tokens_ -= bytes;
    return tokens_ >= 0 ? 0 : (-tokens_ * 1000 + rate_ - 1) / rate_;
  }

 private:
  void Refill(int64_t nowMs) {
    if (started_) tokens_ = std::min(burst_, tokens_ + std::max<int64_t>(0, nowMs - lastMs_) * rate_ / 1000);
    started_ = true;
    lastMs_ = nowMs;
  }

  int64_t rate_, burst_, tokens_;
  int64_t lastMs_ = 0;
  bool started_ = false;
};

}  // namespace chatd
