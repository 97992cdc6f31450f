#include "engine/file_connector.h"

#include <algorithm>
#include <string>

int32_t CFileConnector::OpenSource(const char16_t* path) {
  if (path == nullptr) return -4;
  const std::u16string source(path);
  if (source.empty() || source.size() >= kMaxPath) return -4;
  m_hFile = qrx::platform::File::OpenForRead(source);
  if (!m_hFile.IsOpen()) return -4;
  std::fill(std::begin(m_szFilePath), std::end(m_szFilePath), u'\0');
  std::copy(source.begin(), source.end(), m_szFilePath);
  m_nFileSize = m_hFile.Size();
  if (m_nFileSize == 0) {
    m_hFile.Close();
    return -3;
  }
  m_hFile.Seek(0);
  return 0;
}
