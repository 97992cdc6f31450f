// The progress a deep recovery shows the host: a percentage over a stretch of the bar that only
// rises as units of work (pages, blocks) are done, sent when it changes.
#pragma once

#include <cstdint>

namespace deep {

class Progress {
 public:
  // `totalWork` units take the bar from `from` to `to` percent.
  Progress(const char16_t* text, uint64_t totalWork, int32_t from, int32_t to);
  void Advance();

 private:
  const char16_t* text_;
  uint64_t total_;
  int32_t from_;
  int32_t to_;
  uint64_t done_ = 0;
  int32_t shown_ = 0;
};

}  // namespace deep
