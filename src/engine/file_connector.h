// The damaged source database, opened once for reading: its handle, its size and its path. The
// connector never reads page data; the page engines read through its handle.
#pragma once

#include <cstdint>

#include "platform/file.h"

class CFileConnector {
 public:
  static constexpr size_t kMaxPath = 260;

  // 0: open, size known and non-zero. -3: the file is empty (nothing stays open). -4: the file
  // cannot be opened, or its path does not fit kMaxPath - 1 units.
  int32_t OpenSource(const char16_t* path);

  qrx::platform::File m_hFile;
  uint64_t m_nFileSize = 0;
  char16_t m_szFilePath[kMaxPath] = {};
};
