// The pages of a source file, read straight from the file in large runs: pass after pass in file
// order, or one page at a time where a later pass needs only some of them. A page that the file
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

  qrx::platform::File& file_;
  uint64_t fileSize_;
  size_t pageSize_;
  std::vector<uint8_t> run_;  // pages [runFirst_, runFirst_ + runPages_) as read
  uint64_t runFirst_ = 0;
  size_t runBytes_ = 0;
};

}  // namespace deep
