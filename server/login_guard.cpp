#include "server/login_guard.h"

#include <algorithm>

namespace chatd {
namespace {
constexpr int64_t kHourMs = 60 * 60 * 1000;
constexpr int64_t kForgetEveryMs = 60 * 1000;
}  // namespace

int64_t LoginGuard::Step(int count) const {
  int64_t step = limits_.firstDelayMs;
  for (int i = 1; i < count && step < limits_.maxDelayMs; ++i) step *= 2;
  return std::min(step, limits_.maxDelayMs);
}

int64_t LoginGuard::Delay(const std::string& address, const std::string& key, int64_t nowMs) {
  Forget(nowMs);
  Failures* held[2] = {nullptr, nullptr};
  int64_t when = nowMs;
  int i = 0;
  for (const std::string& name : {"a" + address, "k" + key}) {
    auto it = failures_.find(name);
    if (it == failures_.end() || it->second.count == 0) continue;
    held[i++] = &it->second;
    when = std::max(when, it->second.nextMs);
  }
  // More than two full steps already queued: the sender only piles up
  // connections that would wait for minutes.
  if (when - nowMs > 2 * limits_.maxDelayMs) return -1;
  // Whoever comes next waits for this attempt and one more step.
  for (Failures* f : held) {
    if (f) f->nextMs = when + Step(f->count);
  }
  return when - nowMs;
}

void LoginGuard::Failed(const std::string& address, const std::string& key, int64_t nowMs) {
  for (const std::string& name : {"a" + address, "k" + key}) {
    Failures& f = failures_[name];
    ++f.count;
    f.lastMs = nowMs;
    f.nextMs = std::max(f.nextMs, nowMs + Step(f.count));
  }
}

void LoginGuard::Succeeded(const std::string& key) { failures_.erase("k" + key); }

bool LoginGuard::MayRegister(const std::string& address, int64_t nowMs) {
  if (limits_.registrationsPerHour <= 0) return true;
  Forget(nowMs);
  auto it = registrations_.find(address);
  if (it == registrations_.end()) return true;
  auto& times = it->second;
  while (!times.empty() && times.front() <= nowMs - kHourMs) times.pop_front();
  return times.size() < static_cast<size_t>(limits_.registrationsPerHour);
}

void LoginGuard::Registered(const std::string& address, int64_t nowMs) {
  if (limits_.registrationsPerHour > 0) registrations_[address].push_back(nowMs);
}

void LoginGuard::Forget(int64_t nowMs) {
  if (nowMs - lastForgetMs_ < kForgetEveryMs) return;
  lastForgetMs_ = nowMs;
  for (auto it = failures_.begin(); it != failures_.end();) {
    const bool stale = it->second.nextMs <= nowMs && it->second.lastMs + limits_.forgetAfterMs <= nowMs;
    it = stale ? failures_.erase(it) : std::next(it);
  }
  for (auto it = registrations_.begin(); it != registrations_.end();) {
    const bool stale = it->second.empty() || it->second.back() <= nowMs - kHourMs;
    it = stale ? registrations_.erase(it) : std::next(it);
  }
}

}  // namespace chatd
