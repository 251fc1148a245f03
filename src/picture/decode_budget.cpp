#include "picture/decode_budget.h"

#include "picture/decoded_image.h"

namespace picture {

bool MemoryBudget::Take(int64_t bytes) {
  int64_t used = used_.load(std::memory_order_relaxed);
  do {
    if (bytes > Limit() - used) return false;
  } while (!used_.compare_exchange_weak(used, used + bytes, std::memory_order_relaxed));
  return true;
}

MemoryBudget& ProcessBudget() {
  static MemoryBudget budget(kPictureBudgetBytes);
  return budget;
}

BudgetCharge::BudgetCharge(MemoryBudget* budget, int64_t perPictureLimit)
    : budget_(budget), limit_(perPictureLimit) {}

BudgetCharge::~BudgetCharge() { ShrinkTo(0); }

bool BudgetCharge::Grow(int64_t bytes) {
  if (bytes <= 0) return true;
  if (bytes > limit_ - bytes_) {
    overBudget_ = false;
    wanted_ = bytes;
    return false;
  }
  if (budget_ && !budget_->Take(bytes)) {
    overBudget_ = true;
    wanted_ = bytes;
    return false;
  }
  bytes_ += bytes;
  return true;
}

void BudgetCharge::ShrinkTo(int64_t bytes) {
  if (bytes < 0) bytes = 0;
  if (bytes >= bytes_) return;
  if (budget_) budget_->Give(bytes_ - bytes);
  bytes_ = bytes;
}

}  // namespace picture
