#include "engine/fp5_item.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "platform/heap.h"

namespace {

// A record of type T and its text of `length` bytes plus terminator, in one heap block: one
// allocation per record keeps the page scan fast, and a failure leaves nothing half made.
template <typename T>
T* AllocateWithText(size_t length) {
  if (length > SIZE_MAX - sizeof(T) - 1) return nullptr;
  void* storage = qrx::heap::Allocate(sizeof(T) + length + 1);
  if (storage == nullptr) return nullptr;
  T* record = new (storage) T{};
  record->m_szText = static_cast<char*>(storage) + sizeof(T);
  record->m_szText[length] = '\0';
  return record;
}

}  // namespace

CFM5Item* CFM5Item::CreateBlank(uint16_t record, uint16_t column, uint8_t type, size_t length) {
  CFM5Item* item = AllocateWithText<CFM5Item>(length);
  if (item != nullptr) {
    item->m_nRecord = record;
    item->m_nColumn = column;
    item->m_nType = type;
  }
  return item;
}

CFM5Item* CFM5Item::Create(uint16_t record, uint16_t column, uint8_t type, const char* text,
                           size_t length) {
  CFM5Item* item = CreateBlank(record, column, type, length);
  if (item != nullptr && length > 0) std::memcpy(item->m_szText, text, length);
  return item;
}

void CFM5Item::Release(CFM5Item* item) {
  qrx::heap::Release(item);
}

CFM5LongPiece* CFM5LongPiece::CreateBlank(uint16_t piece, uint16_t record, uint16_t column,
                                          uint16_t length) {
  CFM5LongPiece* longPiece = AllocateWithText<CFM5LongPiece>(length);
  if (longPiece != nullptr) {
    longPiece->m_nPiece = piece;
    longPiece->m_nRecord = record;
    longPiece->m_nColumn = column;
    longPiece->m_nLength = length;
  }
  return longPiece;
}

void CFM5LongPiece::Release(CFM5LongPiece* piece) {
  qrx::heap::Release(piece);
}
