// The pieces that slow a hostile user down, driven by a clock of their own:
// the login backoff, the registration count and the public byte budget.
#include <gtest/gtest.h>

#include "server/login_guard.h"
#include "server/token_bucket.h"

namespace {

using chatd::LoginGuard;
using chatd::LoginLimits;
using chatd::TokenBucket;

TEST(LoginGuardTest, FailuresDoubleTheWaitUpToTheBoundAndParallelAttemptsQueue) {
  LoginGuard guard;
  int64_t now = 1'000'000;
  EXPECT_EQ(guard.Delay("10.0.0.1", "alice", now), 0) << "no failure, no wait";
  int64_t expected = 500;
  for (int failure = 1; failure <= 9; ++failure) {
    guard.Failed("10.0.0.1", "alice", now);
    const int64_t wait = guard.Delay("10.0.0.1", "alice", now);
    EXPECT_EQ(wait, expected) << "after failure " << failure;
    now += wait;
    expected = std::min<int64_t>(expected * 2, 30'000);
  }
  // A second connection trying meanwhile waits behind the first.
  const int64_t first = guard.Delay("10.0.0.1", "alice", now);
  const int64_t second = guard.Delay("10.0.0.1", "alice", now);
  EXPECT_GT(second, first);
  // Enough of them are refused outright instead of piling up.
  int refused = 0;
  for (int i = 0; i < 10; ++i) refused += guard.Delay("10.0.0.1", "alice", now) < 0 ? 1 : 0;
  EXPECT_GT(refused, 0);
}

TEST(LoginGuardTest, TheAddressAndTheAccountAreSlowedApart) {
  LoginGuard guard;
  const int64_t now = 5'000'000;
  guard.Failed("10.0.0.1", "alice", now);
  // Another account from the same address, and the same account from another.
  EXPECT_GT(guard.Delay("10.0.0.1", "bob", now), 0);
  EXPECT_GT(guard.Delay("10.0.0.2", "alice", now), 0);
  EXPECT_EQ(guard.Delay("10.0.0.2", "carol", now), 0);
  // Alice's own success forgets her account's failures, not the address's.
  guard.Succeeded("alice");
  EXPECT_EQ(guard.Delay("10.0.0.3", "alice", now + 60'000), 0);
  EXPECT_GT(guard.Delay("10.0.0.1", "dave", now + 1), 0);
}

TEST(LoginGuardTest, FailuresAreForgottenAfterAWhile) {
  LoginLimits limits;
  limits.forgetAfterMs = 10 * 60 * 1000;
  LoginGuard guard(limits);
  int64_t now = 0;
  for (int i = 0; i < 6; ++i) guard.Failed("10.0.0.1", "alice", now);
  EXPECT_GT(guard.Tracked(), 0u);
  now += 11 * 60 * 1000;
  EXPECT_EQ(guard.Delay("10.0.0.1", "alice", now), 0);
  EXPECT_EQ(guard.Tracked(), 0u) << "the stale entries are gone, not only ignored";
}

TEST(LoginGuardTest, RegistrationsAreCountedPerAddressOverAnHour) {
  LoginLimits limits;
  limits.registrationsPerHour = 3;
  LoginGuard guard(limits);
  int64_t now = 0;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(guard.MayRegister("10.0.0.1", now));
    guard.Registered("10.0.0.1", now);
    now += 60'000;
  }
  EXPECT_FALSE(guard.MayRegister("10.0.0.1", now));
  EXPECT_TRUE(guard.MayRegister("10.0.0.2", now));
  // The first one ages out an hour after it was made.
  EXPECT_FALSE(guard.MayRegister("10.0.0.1", 60 * 60 * 1000 - 1));
  EXPECT_TRUE(guard.MayRegister("10.0.0.1", 60 * 60 * 1000 + 1));

  LoginLimits open;
  open.registrationsPerHour = 0;
  LoginGuard unlimited(open);
  for (int i = 0; i < 100; ++i) unlimited.Registered("10.0.0.1", 0);
  EXPECT_TRUE(unlimited.MayRegister("10.0.0.1", 0));
}

TEST(TokenBucketTest, ABurstIsFreeThenTheRateHolds) {
  TokenBucket bucket(16 * 1024, 256 * 1024);
  int64_t now = 0;
  // 256 KiB at once is within the burst.
  for (int i = 0; i < 4; ++i) EXPECT_EQ(bucket.Spend(64 * 1024, now), 0);
  // The next 16 KiB is a second's debt.
  EXPECT_EQ(bucket.Spend(16 * 1024, now), 1000);
  now += 1000;
  EXPECT_EQ(bucket.Spend(0, now), 0) << "the debt is paid after the wait it named";
  // Idle time refills no more than the burst.
  now += 3'600'000;
  EXPECT_EQ(bucket.Spend(256 * 1024, now), 0);
  EXPECT_GT(bucket.Spend(1, now), 0);
  TokenBucket off(0, 0);
  EXPECT_EQ(off.Spend(1 << 30, 0), 0);
}

}  // namespace
