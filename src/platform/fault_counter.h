// Counts the operations of one kind (heap allocations, writes of result files) so that a test can
// make the n-th one fail and watch the recovery cope.
#pragma once

#include <atomic>
#include <cstdint>

namespace qrx {

// kOnlyThatOne fails the numbered operation alone; kFromThenOn fails it and every later one.
enum class Failing { kFromThenOn, kOnlyThatOne };

class FaultCounter {
 public:
  // Operations are counted from 1 after this; the one numbered `failAt` (0: none) fails.
  void Reset(uint64_t failAt, Failing failing) {
    count_ = 0;
    failAt_ = failAt;
    onlyThatOne_ = failing == Failing::kOnlyThatOne;
  }
  // Counts one operation; false when it is to fail.
  bool NextMayProceed() {
    const uint64_t number = ++count_;
    const uint64_t failAt = failAt_.load(std::memory_order_relaxed);
    if (failAt == 0 || number < failAt) return true;
    return number > failAt && onlyThatOne_.load(std::memory_order_relaxed);
  }
  uint64_t Count() const { return count_; }

 private:
  std::atomic<uint64_t> count_{0};
  std::atomic<uint64_t> failAt_{0};
  std::atomic<bool> onlyThatOne_{false};
};

}  // namespace qrx
