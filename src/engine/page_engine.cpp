#include "engine/page_engine.h"

#include <algorithm>
#include <cstring>

#include "platform/heap.h"

CFMCEngine::CFMCEngine(uint16_t pageSize, uint8_t headerSize, uint32_t firstPage,
                       bool countRequired)
    : m_nCurrentPage(firstPage),
      m_nHeaderSize(headerSize),
      m_nPageSize(pageSize),
      countRequired_(countRequired) {}

CFMCEngine::~CFMCEngine() {
  qrx::heap::Release(m_pCache);
}

bool CFMCEngine::Connect(CFileConnector* connector) {
  if (connector == nullptr || !connector->m_hFile.IsOpen() || connector->m_nFileSize == 0) {
    return false;
  }
  m_hFile = &connector->m_hFile;
  m_nFileSize = connector->m_nFileSize;
  EmptyCache();
  m_nPageCount = static_cast<uint32_t>(m_nFileSize / m_nPageSize);
  return true;
}

void CFMCEngine::EmptyCache() {
  qrx::heap::Release(m_pCache);
  m_pCache = nullptr;
  cacheCapacity_ = 0;
  m_nCacheFirstPage = kNoPage;
  m_nCacheLastPage = kNoPage;
  m_nCacheBytes = kNoPage;
}

bool CFMCEngine::IsPageCached(uint32_t page) const {
  return m_nCacheBytes != kNoPage && m_nCacheBytes > 0 && page >= m_nCacheFirstPage &&
         page <= m_nCacheLastPage;
}

bool CFMCEngine::LoadCache(uint32_t page) {
  // Offsets are formed in 64 bits, so pages beyond the first 4 GiB are read where they lie.
  const uint64_t offset = static_cast<uint64_t>(page) * m_nPageSize;
  if (m_hFile == nullptr || offset >= m_nFileSize) return false;
  const uint32_t runBytes =
      static_cast<uint32_t>(std::min<uint64_t>(kCacheRunBytes, m_nFileSize - offset));
  if (runBytes + 10 > cacheCapacity_) {
    qrx::heap::Release(m_pCache);
    m_pCache = static_cast<uint8_t*>(qrx::heap::Allocate(runBytes + 10));
    cacheCapacity_ = m_pCache != nullptr ? runBytes + 10 : 0;
    if (m_pCache == nullptr) {
      EmptyCache();
      return false;
    }
  }
  size_t got = 0;
  if (m_hFile->Seek(offset)) got = m_hFile->Read(m_pCache, runBytes);
  // A short read leaves zeros, never stale bytes of an earlier run.
  std::memset(m_pCache + got, 0, cacheCapacity_ - got);
  m_nCacheFirstPage = page;
  m_nCacheLastPage = page + runBytes / m_nPageSize - 1;
  m_nCacheBytes = runBytes;
  return true;
}

void CFMCEngine::ReadPageDirect(uint32_t page) {
  if (m_hFile != nullptr && m_hFile->Seek(static_cast<uint64_t>(page) * m_nPageSize)) {
    m_hFile->Read(m_pPage, m_nPageSize);
  }
}

bool CFMCEngine::ReadPage() {
  m_nLevel = 0;
  const uint32_t page = m_nCurrentPage;
  if (page >= m_nPageCount) return false;
  if (!IsPageCached(page) && !LoadCache(page)) {
    ReadPageDirect(page);
  } else {
    std::memcpy(m_pPage, m_pCache + static_cast<size_t>(page - m_nCacheFirstPage) * m_nPageSize,
                m_nPageSize);
  }
  m_nFreeBytes = static_cast<uint16_t>((m_pPage[14] << 8) | m_pPage[15]);
  const uint16_t area = static_cast<uint16_t>(m_nPageSize - m_nHeaderSize);
  if (m_nFreeBytes >= 1 && m_nFreeBytes < area) {
    m_nDataLength = static_cast<uint16_t>(area - m_nFreeBytes);
    return true;
  }
  m_nDataLength = countRequired_ ? 0 : area;
  return !countRequired_;
}

void CFMCEngine::NextPage() {
  std::memset(m_pPage, 0, m_nPageSize);
  ++m_nCurrentPage;
  m_nFreeBytes = 0;
  m_nDataLength = 0;
}
