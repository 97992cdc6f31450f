#include "deep/source_pages.h"

#include <algorithm>

namespace deep {

SourcePages::SourcePages(qrx::platform::File& file, uint64_t fileSize, size_t pageSize)
    : file_(file), fileSize_(fileSize), pageSize_(pageSize), run_(kPagesPerRun * pageSize) {}

std::span<const uint8_t> SourcePages::Page(uint64_t number) {
  const uint64_t offset = number * pageSize_;
  if (number >= PageCount()) return {};
  const uint64_t runStart = runFirst_ * pageSize_;
  if (offset < runStart || offset >= runStart + runBytes_) {
    // The page right after the run continues a pass in file order: a whole run is read from it,
    // so the next pages are at hand. A jump elsewhere (a pass in another order) reads a short run.
    const bool continues = runBytes_ != 0 && offset == runStart + runBytes_;
    const size_t pages = continues || runBytes_ == 0 ? kPagesPerRun : kPagesPerJump;
    runFirst_ = number;
    const uint64_t wanted = std::min<uint64_t>(pages * pageSize_, fileSize_ - offset);
    runBytes_ = file_.Seek(offset) ? file_.Read(run_.data(), static_cast<size_t>(wanted)) : 0;
    if (runBytes_ == 0) return {};
  }
  const size_t at = static_cast<size_t>(offset - runFirst_ * pageSize_);
  return {run_.data() + at, std::min(pageSize_, runBytes_ - at)};
}

}  // namespace deep
