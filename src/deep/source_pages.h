// The pages of a source file, read straight from the file in runs: a long run where a pass goes on
// in file order, a short one where a pass jumps (one in record id order through a file whose
// blocks lie out of order), so that a jump costs a few pages, not a long run. A page that the file
// ends inside of comes back short; a page that cannot be read comes back empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/file.h"

namespace deep {

class SourcePages {
 public:
  // `file` stays owned by the caller and must outlive this object.
  SourcePages(qrx::platform::File& file, uint64_t fileSize, size_t pageSize);

  uint64_t PageCount() const { return (fileSize_ + pageSize_ - 1) / pageSize_; }

  // Page `number`; the bytes stay valid until the next call.
  std::span<const uint8_t> Page(uint64_t number);

 private:
  static constexpr size_t kPagesPerRun = 256;
  static constexpr size_t kPagesPerJump = 16;

  qrx::platform::File& file_;
  uint64_t fileSize_;
  size_t pageSize_;
  std::vector<uint8_t> run_;  // pages [runFirst_, runFirst_ + runPages_) as read
  uint64_t runFirst_ = 0;
  size_t runBytes_ = 0;
};

}  // namespace deep
