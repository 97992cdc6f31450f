// The records the fp5 page scan makes from a page: column definitions and field values
// (CFM5Item), and pieces of long texts (CFM5LongPiece). Each record and its text share one block
// of the library heap, so a failed allocation costs only the one record (Create returns null) and
// a record is released whole with Release, never by freeing its text alone.
#pragma once

#include <cstddef>
#include <cstdint>

struct CFM5Item {
  uint16_t m_nRecord;  // 0 for a column definition
  uint16_t m_nColumn;
  uint8_t m_nType;  // the column's type byte for a definition; 0 for a value
  char* m_szText;   // zero-terminated, in the record's block: the column name or the field value

  // A record holding a zero-terminated copy of `length` bytes of `text`.
  static CFM5Item* Create(uint16_t record, uint16_t column, uint8_t type, const char* text,
                          size_t length);
  // A record whose `length` text bytes are left for the caller to fill in (the terminator is set).
  static CFM5Item* CreateBlank(uint16_t record, uint16_t column, uint8_t type, size_t length);
  // Releases the record and its text; null is allowed.
  static void Release(CFM5Item* item);
};

struct CFM5LongPiece {
  uint16_t m_nPiece;  // the piece's selector byte less 0x40
  uint16_t m_nRecord;
  uint16_t m_nColumn;  // the key of the long-text block
  uint16_t m_nLength;  // bytes in m_szText, not counting the terminator
  char* m_szText;      // zero-terminated, in the record's block

  // A record whose `length` text bytes are left for the caller to fill in (the terminator is set).
  static CFM5LongPiece* CreateBlank(uint16_t piece, uint16_t record, uint16_t column,
                                    uint16_t length);
  static void Release(CFM5LongPiece* piece);
};
