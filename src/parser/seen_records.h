// One bit per record id, for telling a record met for the first time from a repeated one. The bits
// live in pages of 20 MiB taken from the library heap when an id first needs them, so a table whose
// ids stay small costs one page, and ids up to 2^32 - 1 need at most 26.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class CSeenRecords {
 public:
  static constexpr size_t kPageBytes = 20971520;
  static constexpr uint64_t kIdsPerPage = uint64_t{kPageBytes} * 8;

  // True when the id's bit is set. A page never allocated holds no set bit.
  bool Test(uint32_t id) const;
  // Sets the id's bit, allocating its page (zero-filled) when it has none yet. False when that page
  // cannot be allocated: the id is then not recorded.
  bool Set(uint32_t id);
  // Releases every page.
  void Clear();

 private:
  struct PageRelease {
    void operator()(uint8_t* page) const;
  };
  using Page = std::unique_ptr<uint8_t[], PageRelease>;

  // Indexed by page number; null where no id has needed the page yet.
  std::vector<Page> m_Pages;
};
