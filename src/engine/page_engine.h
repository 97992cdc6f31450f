// The page engine base: page geometry, reading one page at a time (served from a read-ahead run of
// up to 32 MiB), the data area of a page derived from the page's own count of unused bytes, and
// stepping from page to page. The fp5 and fp7 engines decode the data area.
#pragma once

#include <cstdint>

#include "engine/file_connector.h"

class CFMCEngine {
 public:
  static constexpr uint32_t kPageBufferSize = 4112;  // the largest page plus 16 zeroed bytes
  static constexpr uint32_t kCacheRunBytes = 33554432;
  static constexpr uint32_t kNoPage = 0xFFFFFFFF;

  // The geometry of a format. `countRequired`: a page whose count of unused bytes is 0 or not
  // below the data area's size is refused (fp7) instead of read as a full page (fp5).
  CFMCEngine(uint16_t pageSize, uint8_t headerSize, uint32_t firstPage, bool countRequired);
  CFMCEngine(const CFMCEngine&) = delete;
  CFMCEngine& operator=(const CFMCEngine&) = delete;
  virtual ~CFMCEngine();

  // Takes the connector's handle and size and empties the cache. False when the connector is
  // absent or not open or the file is empty. Does not move the current page.
  bool Connect(CFileConnector* connector);
  // Loads page m_nCurrentPage into m_pPage and derives m_nFreeBytes and m_nDataLength. False when
  // the page lies past the last whole page (the buffer is then untouched) or, for fp7 pages, when
  // the count of unused bytes is 0 or not below the data area's size.
  bool ReadPage();
  // Zeroes the page, steps to the next page number, clears the data length. Virtual so that an
  // engine which keeps per-page state (the fp7 chunk list) always releases it.
  virtual void NextPage();
  // True once the current page number has passed the page count (so a loop until this holds also
  // visits page number m_nPageCount, which ReadPage refuses).
  bool IsEndOfFile() const { return m_nPageCount < m_nCurrentPage; }
  bool IsPageCached(uint32_t page) const;

  // Reads the run of pages starting at `page` into the cache. False when the page lies past the
  // file's end.
  bool LoadCache(uint32_t page);

  uint32_t m_nPageCount = 0;
  uint32_t m_nCacheFirstPage = kNoPage;
  uint32_t m_nCacheLastPage = kNoPage;
  uint32_t m_nCacheBytes = kNoPage;
  uint32_t m_nLevel = 0;
  uint8_t m_pPage[kPageBufferSize] = {};
  qrx::platform::File* m_hFile = nullptr;
  uint32_t m_nCurrentPage;
  uint16_t m_nFreeBytes = 0;
  uint16_t m_nDataLength = 0;
  uint8_t m_nHeaderSize;
  uint16_t m_nPageSize;
  uint64_t m_nFileSize = 0;
  uint8_t* m_pCache = nullptr;

 private:
  void EmptyCache();
  // Reads the page directly from the file when no run could be cached.
  void ReadPageDirect(uint32_t page);

  bool countRequired_;
  uint32_t cacheCapacity_ = 0;
};
