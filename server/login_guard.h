#pragma once
// What stops one address from guessing passwords or making accounts in
// bulk.  A failed login makes the next attempt from the same address, and
// for the same account, wait: half a second after the first failure,
// doubling with every further one up to a bound.  Attempts that arrive
// while one waits queue behind it, so parallel connections gain nothing.
// Registrations are counted per address over the last hour.  Plain C++
// over a millisecond clock the caller passes in.
#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>

namespace chatd {

struct LoginLimits {
  int registrationsPerHour = 10;  // per address; 0 for no limit
  int64_t firstDelayMs = 500;
  int64_t maxDelayMs = 30 * 1000;
  // Failures are forgotten this long after the last one.
  int64_t forgetAfterMs = 15 * 60 * 1000;
};

class LoginGuard {
 public:
  explicit LoginGuard(LoginLimits limits = {}) : limits_(limits) {}

  // How long an attempt from `address` for the account `key` waits before
  // its password is checked: 0 for at once, -1 when so many wait already
  // that it is refused outright.  A wait is reserved: the next attempt
  // waits behind it.
  int64_t Delay(const std::string& address, const std::string& key, int64_t nowMs);
  void Failed(const std::string& address, const std::string& key, int64_t nowMs);
  // The account's failures are forgotten; the address's stay until they age.
  void Succeeded(const std::string& key);

  bool MayRegister(const std::string& address, int64_t nowMs);
  void Registered(const std::string& address, int64_t nowMs);

  size_t Tracked() const { return failures_.size() + registrations_.size(); }

 private:
  struct Failures {
    int count = 0;
    int64_t nextMs = 0;  // no attempt is checked before this
    int64_t lastMs = 0;  // the last failure
  };
  int64_t Step(int count) const;
  void Forget(int64_t nowMs);

  LoginLimits limits_;
  // Keyed "a" + address and "k" + account key.
  std::unordered_map<std::string, Failures> failures_;
  std::unordered_map<std::string, std::deque<int64_t>> registrations_;
  int64_t lastForgetMs_ = 0;
};

}  // namespace chatd
