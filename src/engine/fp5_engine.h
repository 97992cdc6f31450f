// The fp5 page engine: scans the data area of each 1024-byte page for nested blocks (0xC1 key ...
// 0xC0) and collects what the fp5 parser makes a table of: the types of the columns, the column
// definitions, the field values of the records and the pieces of long texts.
//
// Usage: Connect, then ReadPage / ParsePage / NextPage until IsEndOfFile, then take the lists.
// No byte sequence makes the scan read or write outside the page buffer or loop forever: every
// read goes through Fp5BlockCursor, and every loop ends on one of the Fp5StopRules.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/fp5_block_cursor.h"
#include "engine/fp5_item.h"
#include "engine/fp5_stop_rules.h"
#include "engine/page_engine.h"

// One entry of a column type block.
struct CFM5ColumnType {
  uint16_t m_nColumn;
  uint8_t m_nType;
};

class CFM5 : public CFMCEngine {
 public:
  static constexpr uint16_t kPageSize = 1024;
  static constexpr uint8_t kHeaderSize = 14;
  static constexpr uint32_t kFirstPage = 4;  // behind the 4096-byte start of the file
  // The type of a column that no column type block names.
  static constexpr uint8_t kDefaultColumnType = 1;

  // `rules` must outlive the engine.
  explicit CFM5(const Fp5StopRules& rules = Fp5StopRules::Strict());
  ~CFM5() override;

  // Whether a page (its first 1024 bytes, header included) looks like an fp5 page: the data area
  // opens with 0xC1 and the page holds both block markers, 0xC1 and 0xC0.
  static bool IsFp5Page(std::span<const uint8_t> page);

  // Scans the data area of the current page and appends what it finds to the lists. After a block
  // of column definitions it moves on to the next page itself and goes on scanning there.
  void ParsePage();

  // Copies of the lists, in the order found. The records stay owned by the engine: they live until
  // the engine is destroyed, and the caller must neither release them nor use them afterwards. The
  // caller may change their fields (the parser clears the keys of joined pieces).
  std::vector<CFM5Item*> GetFieldItems() const { return m_Items; }
  std::vector<CFM5LongPiece*> GetLongTextPieces() const { return m_LongPieces; }
  const std::vector<CFM5ColumnType>& GetColumnTypes() const { return m_ColumnTypes; }
  // The type of the first column type entry for the column; kDefaultColumnType when none.
  uint8_t GetColumnType(uint16_t column) const;

  // The block readers, on the current page. All take and advance one shared position.
  Fp5BlockCursor CursorAt(uint16_t position) const {
    return Fp5BlockCursor(m_pPage, kPageBufferSize, m_nHeaderSize, position);
  }
  // Moves to the 0xC0 that closes the block the position is in (m_nLevel counts the nesting).
  void SkipBlock(Fp5BlockCursor& at);
  // Looks behind the position, inside the current block, for a sub-block 0xC1 `key`; on success
  // the position rests on its 0xC1.
  bool FindKey(uint8_t key, Fp5BlockCursor& at);
  // From the 0xC1 of a block 0xC1 2: entries 0xC1 type (0x81 column)... 0xC0.
  void ReadColumnTypes(Fp5BlockCursor& at);
  // From the 0xC1 of a block 0xC1 5: entries (0xC1 id | 0xC2 id id) 'A' length name ... 0xC0.
  // When any column is known afterwards, moves on to the next page and to position 0.
  void ReadColumns(Fp5BlockCursor& at);
  // From the key 5 of a data block: records (0xC1 | 0xC2 | 0xC3) id, fields ... 0xC0.
  void ReadDataOfPage(Fp5BlockCursor& at);
  // From the 0xC1 selector of a long-text field: column, then pieces [0xFF] selector length bytes.
  void ReadLongData(uint16_t record, Fp5BlockCursor& at);

  // Number of record data blocks read; the fp5 parser rates the file by it.
  uint32_t m_nDataPages = 0;

 private:
  // The rules' bounds, kept inside the page buffer so that every loop ends.
  uint16_t PageEnd() const;
  uint16_t ScanEnd() const;

  void ReadDefinitionBlock(Fp5BlockCursor& at);
  void ReadColumnDefinition(uint8_t form, const Fp5BlockCursor& atId);
  void ReadFields(uint16_t record, Fp5BlockCursor& at);
  void ReadLongPiece(uint16_t record, uint16_t column, bool wideLength, Fp5BlockCursor& at);
  void AppendItem(CFM5Item* item);

  const Fp5StopRules* m_pRules;
  std::vector<CFM5Item*> m_Items;
  std::vector<CFM5LongPiece*> m_LongPieces;
  std::vector<CFM5ColumnType> m_ColumnTypes;
  // The type of the first entry of each column (type entries name columns by one byte).
  std::array<uint8_t, 0x100> m_FirstColumnTypes{};
  std::bitset<0x100> m_ColumnsTyped;
  // Column ids that some item carries, so that a column is defined once.
  std::bitset<0x10000> m_ColumnsInItems;
};
