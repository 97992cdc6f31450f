#include "parser/seen_records.h"

#include "platform/heap.h"

namespace {

struct BitPosition {
  size_t page;
  size_t byte;
  uint8_t mask;
};

BitPosition PositionOf(uint32_t id) {
  const uint64_t bit = id % CSeenRecords::kIdsPerPage;
  return {static_cast<size_t>(id / CSeenRecords::kIdsPerPage), static_cast<size_t>(bit / 8),
          static_cast<uint8_t>(1u << (bit % 8))};
}

}  // namespace

void CSeenRecords::PageRelease::operator()(uint8_t* page) const {
  qrx::heap::Release(page);
}

bool CSeenRecords::Test(uint32_t id) const {
  const BitPosition at = PositionOf(id);
  return at.page < m_Pages.size() && m_Pages[at.page] != nullptr &&
         (m_Pages[at.page][at.byte] & at.mask) != 0;
}

bool CSeenRecords::Set(uint32_t id) {
  const BitPosition at = PositionOf(id);
  if (at.page >= m_Pages.size()) m_Pages.resize(at.page + 1);
  Page& page = m_Pages[at.page];
  if (page == nullptr) {
    page.reset(static_cast<uint8_t*>(qrx::heap::AllocateZeroed(kPageBytes)));
    if (page == nullptr) return false;
  }
  page[at.byte] |= at.mask;
  return true;
}

void CSeenRecords::Clear() {
  m_Pages.clear();
}
