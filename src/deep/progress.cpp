#include "deep/progress.h"

#include <algorithm>

#include "diag/status_link.h"

namespace deep {

Progress::Progress(const char16_t* text, uint64_t totalWork, int32_t from, int32_t to)
    : text_(text), total_(std::max<uint64_t>(1, totalWork)), from_(from), to_(to) {}

void Progress::Advance() {
  ++done_;
  const auto percent =
      static_cast<int32_t>(from_ + (to_ - from_) * std::min(done_, total_) / total_);
  if (percent > shown_) {
    shown_ = percent;
    g_StatusLink.SBar(text_, percent);
  }
}

}  // namespace deep
