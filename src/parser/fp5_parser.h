// The fp5 parser: walks every page of an fp5 file once with the fp5 page engine, builds the file's
// one table from what the engine found (columns from the column definitions, rows from the field
// values, long texts joined from their pieces, dates in dBase order) and writes it as Table.dbf
// in the target folder.
//
// Ownership: the engine owns its item and piece records until it is destroyed; m_Items and
// m_LongPieces only borrow them. The parser owns the items it makes of joined long texts, the
// row markers, and the column and value records of the table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/fp5_engine.h"
#include "engine/fp5_item.h"
#include "parser/parser_base.h"
#include "parser/record_model.h"

// The markers of the records already turned into rows, in the order made. A record number may be
// marked more than once; the first marker of a record names its row.
class CWasDataList {
 public:
  // False, logged, when the marker cannot be allocated.
  bool Add(uint16_t wRecordNumber, uint16_t wRowPosition);
  // The first marker of the record; null when there is none.
  const CWasData* FirstOf(uint16_t wRecordNumber) const;
  void Clear();

  const std::vector<std::unique_ptr<CWasData>>& Markers() const { return m_Markers; }

 private:
  std::vector<std::unique_ptr<CWasData>> m_Markers;
  // Record number to its first marker, so that finding a record's row does not grow with the
  // number of records.
  std::unordered_map<uint16_t, const CWasData*> m_FirstOfRecord;
};

class CFMLogicParser5 : public CFMLogicParserBase {
 public:
  CFMLogicParser5();
  ~CFMLogicParser5() override;

  // Recovers the file into Table.dbf inside `szTargetDir`, creating that folder when missing.
  // 0 when the table was handed to the writer, -2 without a target folder, -3 when no column was
  // found, -1000 when the host asked for a stop.
  int Process(const char16_t* szTargetDir);

  // m_ArrOfColumns from the column definitions, in the order the engine found them.
  void ReadListOfColumns5();
  // m_DataOfTable from the field values and the joined long texts: consecutive values of one
  // record make a row; a record that comes back later adds its values to its first row.
  void ReadDataOfTable5();
  // Joins the pieces of each long text (same record and column, in list order) into one value
  // item appended to m_Items, and clears the record and column of every joined piece.
  void LongTextCollect();

 protected:
  struct ItemRelease {
    void operator()(CFM5Item* item) const { CFM5Item::Release(item); }
  };

  CFM5 m_Engine5;
  std::vector<CFM5Item*> m_Items;  // the engine's items, then the joined long texts
  std::vector<CFM5LongPiece*> m_LongPieces;
  std::vector<std::unique_ptr<CFM5Item, ItemRelease>> m_JoinedLongTexts;  // also in m_Items
  CWasDataList m_WasData;  // of the last ReadDataOfTable5

  // Reads, scans and steps over every page once; the number of pages walked.
  uint32_t WalkPages();

 private:
  // The rows being built by ReadDataOfTable5.
  struct RowBuilder {
    uint16_t wCurrentRecord = 1;
    CRowOfTable currentRow;
    const CWasData* pSeenBefore = nullptr;
  };

  void GradeFile(uint32_t dwPagesWalked);
  // Columns, then rows, with a break check behind each; false when the host asked for a stop.
  bool BuildTable();
  // Creates the target folder when missing, writes Table.dbf, reports and releases the table.
  int WriteResult(const std::u16string& targetDir, const std::u16string& resultPath);
  void ReportTable();

  void JoinPiecesOf(const std::vector<CFM5LongPiece*>& samePieces);
  void StartRecord(RowBuilder& rows, size_t itemIndex);
  // The row that takes the values of the current record.
  CRowOfTable& RowFor(RowBuilder& rows);
  void FinishRow(RowBuilder& rows);
  std::unique_ptr<CDataOfField> MakeValue(const CFM5Item& item);
};
