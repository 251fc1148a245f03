#pragma once
// The memory decoded pictures may hold.  Every decoding draws what it is
// about to allocate (its frames and its working copies) from a charge before
// allocating it; a charge never grows past the per-picture limit, and all
// charges of one budget together never pass the budget's limit.  A picture
// whose charge cannot grow is not decoded.  The charge travels with the
// decoded frames and gives its bytes back when they go.
#include <atomic>
#include <cstdint>

namespace picture {

class MemoryBudget {
 public:
  explicit MemoryBudget(int64_t limit) : limit_(limit) {}
  MemoryBudget(const MemoryBudget&) = delete;
  MemoryBudget& operator=(const MemoryBudget&) = delete;

  // Takes `bytes` when they fit under the limit; false (nothing taken) else.
  bool Take(int64_t bytes);
  void Give(int64_t bytes) { used_.fetch_sub(bytes, std::memory_order_relaxed); }
  int64_t Used() const { return used_.load(std::memory_order_relaxed); }
  int64_t Limit() const { return limit_.load(std::memory_order_relaxed); }
  void SetLimit(int64_t limit) { limit_.store(limit, std::memory_order_relaxed); }

 private:
  std::atomic<int64_t> used_{0};
  std::atomic<int64_t> limit_;
};

// The budget of every picture the program shows: 256 MiB.
MemoryBudget& ProcessBudget();

// What one picture holds of a budget.  Without a budget only the
// per-picture limit applies.
class BudgetCharge {
 public:
  BudgetCharge(MemoryBudget* budget, int64_t perPictureLimit);
  ~BudgetCharge();
  BudgetCharge(const BudgetCharge&) = delete;
  BudgetCharge& operator=(const BudgetCharge&) = delete;

  // Adds `bytes` to the charge; false when the picture would pass its own
  // limit or the budget is spent (then OverBudget() tells which).
  bool Grow(int64_t bytes);
  // Gives back everything above `bytes` (working copies that went away).
  void ShrinkTo(int64_t bytes);
  int64_t Bytes() const { return bytes_; }
  // The last refusal came from the shared budget, not the picture's limit.
  bool OverBudget() const { return overBudget_; }
  // The bytes the refused growth asked for, on top of Bytes().
  int64_t Wanted() const { return wanted_; }

 private:
  MemoryBudget* budget_;
  int64_t limit_;
  int64_t bytes_ = 0;
  int64_t wanted_ = 0;
  bool overBudget_ = false;
};

}  // namespace picture
