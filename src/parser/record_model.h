// The in-memory picture of one recovered table, built by the parsers before anything is written:
// columns, rows of field values and (fp7) container objects, with the internal column type codes.
//
// Records come from the library heap: `new` gives null instead of throwing when memory runs out,
// and a record's texts and buffers are heap blocks that the record releases. Containers own their
// records through unique_ptr, so each record is released exactly once, when its row, list or map
// lets go of it (emptying, erasing, destruction).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <vector>

// Internal column type codes; ColumnTypeToDbf gives the field type letter of each.
enum ColumnType : uint32_t {
  kColumnText = 1,
  kColumnNumber = 2,
  kColumnDate = 3,
  // Two further kinds of column, kept apart from 1 in the column records and the log lines but
  // written as text: fp5 type 4 and fp7 0x0401, and fp7 0x0501.
  kColumnTextKind4 = 4,
  kColumnTextKind5 = 5,
  kColumnMemo = 6,  // set by the column sizing for long values
};

// Records allocated with `new` come from the library heap; null when it has no memory.
struct CHeapRecord {
  static void* operator new(size_t size) noexcept;
  static void operator delete(void* block) noexcept;
};

// Common part of a column and a field value: an id and an owned text.
class CBaseInfo : public CHeapRecord {
 public:
  CBaseInfo() = default;
  CBaseInfo(const CBaseInfo&) = delete;
  CBaseInfo& operator=(const CBaseInfo&) = delete;
  virtual ~CBaseInfo();

  // Replaces the text by a heap copy of `length` bytes and a terminating zero. When the copy
  // cannot be allocated the text becomes null and false is returned.
  bool SetText(const char* text, size_t length);

  uint32_t m_dwID = 0;       // a column's id, or the id of the column a value belongs to
  char* m_szText = nullptr;  // a column's name, or a value's text; owned
};

class CColumnInfo : public CBaseInfo {
 public:
  uint32_t m_dwType = kColumnText;
};

class CDataOfField : public CBaseInfo {
 public:
  uint32_t m_dwLength = 0;      // bytes of the text handed to the table writer
  uint32_t m_dwFullLength = 0;  // length the fp7 value record declares for the whole value
};

// One row: the values found for one record, in the order found. A row need not hold a value for
// every column, and may hold two for one column. Moving a row moves its values.
struct CRowOfTable {
  std::vector<std::unique_ptr<CDataOfField>> m_Fields;
  uint32_t m_dwKey = 0;  // id of the record the row was built from (fp7)
};

// The fp5 parser's mark of a record already turned into a row.
struct CWasData : CHeapRecord {
  uint16_t m_wRecordNumber = 0;
  uint16_t m_wRowPosition = 0;  // of its row in the table's row list
};

// Releases a block of the library heap.
struct CHeapRelease {
  void operator()(void* block) const;
};

// Bytes found for a container object at an offset of it. Pieces are kept as found until all of an
// object's occurrences are known; only then is its size settled and its buffer made, so a gap
// between pieces costs nothing while they are collected.
struct CBinaryPiece {
  uint32_t m_dwOffset = 0;
  uint32_t m_dwLength = 0;
  std::unique_ptr<uint8_t[], CHeapRelease> m_pBytes;  // null when m_dwLength is 0
};

// One container object (a stored file or a picture) of an fp7 table.
class CBinaryDataInfo : public CHeapRecord {
 public:
  CBinaryDataInfo() = default;
  CBinaryDataInfo(const CBinaryDataInfo&) = delete;
  CBinaryDataInfo& operator=(const CBinaryDataInfo&) = delete;
  virtual ~CBinaryDataInfo();

  uint8_t* m_pData = nullptr;  // the object's bytes, once its pieces are placed; owned
  char* m_szName = nullptr;    // file name stored with the object; owned
  uint32_t m_dwSize = 0;       // bytes of the object (in m_pData once its pieces are placed)
  uint32_t m_dwTotalSize = 0;  // size the object declares
  uint32_t m_dwNameLength = 0;
  std::vector<CBinaryPiece> m_Pieces;  // found and not yet placed, in the order found
};

// The containers of a table.
using ColumnList = std::vector<std::unique_ptr<CColumnInfo>>;  // m_ArrOfColumns, output order
using TableData = std::vector<CRowOfTable>;                    // m_DataOfTable, output order
using DateColumnSet = std::set<uint32_t>;                      // m_DateColumns
using ColumnWidthMap = std::map<uint32_t, uint32_t>;           // m_ColumnWidths
using BinaryDataMap = std::map<uint32_t, std::unique_ptr<CBinaryDataInfo>>;  // m_BinaryData

// The type code of an fp5 column type byte: 2, 6 and 7 are numbers, 3 dates, 4 is kind 4, every
// other byte text.
uint32_t Fp5TypeToColumnType(uint8_t fp5Type);
// The dBase type letter of a type code: 'N', 'D', 'M', or 'C' for every other code.
char ColumnTypeToDbf(uint32_t columnType);
