#include "parser/record_model.h"

#include <cstring>

#include "platform/heap.h"

void* CHeapRecord::operator new(size_t size) noexcept {
  return qrx::heap::Allocate(size);
}

void CHeapRecord::operator delete(void* block) noexcept {
  qrx::heap::Release(block);
}

void CHeapRelease::operator()(void* block) const {
  qrx::heap::Release(block);
}

CBaseInfo::~CBaseInfo() {
  qrx::heap::Release(m_szText);
}

bool CBaseInfo::SetText(const char* text, size_t length) {
  qrx::heap::Release(m_szText);
  m_szText = static_cast<char*>(qrx::heap::Allocate(length + 1));
  if (m_szText == nullptr) return false;
  if (length != 0) std::memcpy(m_szText, text, length);
  m_szText[length] = '\0';
  return true;
}

CBinaryDataInfo::~CBinaryDataInfo() {
  qrx::heap::Release(m_pData);
  qrx::heap::Release(m_szName);
}

uint32_t Fp5TypeToColumnType(uint8_t fp5Type) {
  switch (fp5Type) {
    case 2:
    case 6:
    case 7:
      return kColumnNumber;
    case 3:
      return kColumnDate;
    case 4:
      return kColumnTextKind4;
    default:
      return kColumnText;
  }
}

char ColumnTypeToDbf(uint32_t columnType) {
  switch (columnType) {
    case kColumnNumber:
      return 'N';
    case kColumnDate:
      return 'D';
    case kColumnMemo:
      return 'M';
    default:
      return 'C';
  }
}
