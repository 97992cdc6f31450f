// The fp7 logical parser. It learns a damaged fp7 file's tables and the columns of each from the
// path tree of its pages, reads every table's records twice (a counting pass that sizes the
// columns, then a writing pass that joins the repeated occurrences of a record and writes it once
// its last occurrence has been read), collects the table's container objects, and writes one
// result table per table that has records, with the container files beside it.
//
// Nothing is navigated by links stored in the file: every scan reads the pages in page-number order
// from the first fp7 page and asks the engine whether a page holds the path it looks for.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/fp7_engine.h"
#include "engine/fp7_node.h"
#include "parser/parser_base.h"
#include "parser/record_model.h"
#include "parser8/fp7_walk_rules.h"

class CFMLogicParser8 : public CFMLogicParserBase {
 public:
  explicit CFMLogicParser8(const Fp7WalkRules& walkRules = Fp7WalkRules::Strict());
  ~CFMLogicParser8() override;

  // Recovers every table of the attached source into `targetDir`: 0, or the result of the last
  // table's writing pass (-3 when a record list ended early, -20 when its table file or a stored
  // file could not be written); -3 when no table was found or no value was written at all; -2
  // without a target folder; -1000 when the host asked for a stop.
  int32_t Process(const char16_t* targetDir);

  // --- Tables and columns ---

  // Fills m_ArrOfTables from the first page that lists tables (3/16/5); may set
  // m_bSingleTableLayout.
  void ReadListOfTables();
  // Replaces m_ArrOfColumns by the columns of the table, from every page that defines some.
  void ReadListOfColumns(uint32_t tableId);
  // Enters m_ArrOfColumns into the column catalogue; the first definition of an id wins. 1.
  int FillColumnCatalogue();
  // The internal type code of a column from the bytes stored under its key 2.
  static uint32_t ColumnTypeFromCode(std::span<const uint8_t> bytes);

  // --- Records ---

  // Walks the table's records: `write` false counts them and sizes the columns, true joins and
  // writes them. 0, or -3 when a page holds the record list without records, or memory ran out.
  int32_t ReadRecords(uint8_t tableId, bool write);
  // Counting pass: notes the occurrence's record id and widens or adds its columns. 1.
  int SaveRecord(const CRowOfTable& occurrence);
  // Writing pass: joins the occurrence (its fields move out of it) into its record and writes the
  // record when this was its last occurrence. 1 when written, 0 while still pending.
  int AddRecord(CRowOfTable& occurrence);
  // Whether `met` occurrences are all the counting pass found for the record.
  bool IsRecordComplete(uint32_t id, uint32_t met) const;
  void LogRecordSummary() const;
  void LogPendingRecords() const;
  // Logs the page, the record bookkeeping and the page buffer; for the crash report. 0.
  int DumpParserState() const;

  // --- Container objects ---

  // Rebuilds m_BinaryData with the table's container objects (T/31/5), their pieces joined by
  // object id and each object bounded by the bytes found for it. False when the host asked for a
  // stop (the objects are then left unassembled, without bytes to write).
  bool ReadBynaryData(uint32_t tableId);
  // The decoded file name carried by a stored file reference, or null.
  Fp7HeapArray<char> ParseFileReference(const uint8_t* bytes, uint32_t length) const;

 protected:
  // What a page visitor tells the page walk.
  enum class PageStep { kNextPage, kStop };
  using PageVisitor = std::function<PageStep(uint16_t pathIndex)>;

  // Reads the pages from the first fp7 page on, as far as the walk rules let it, and hands `visit`
  // the index of `path` on each page (kNotFound when the page lacks it). True when the walk ran out
  // of pages, false when `visit` stopped it (the engine then stays on that page) or the host asked
  // to stop.
  bool WalkPages(std::span<const uint32_t> path, const PageVisitor& visit);
  // Empties the per-table state: the base's reset, and records left pending.
  void ResetTable();

  CFMEngine m_Engine;
  const Fp7WalkRules& m_WalkRules;
  std::vector<std::unique_ptr<CBaseInfo>> m_ArrOfTables;  // id and name of each table
  bool m_bSingleTableLayout = false;
  CRowOfTable* m_pCurrentRecord = nullptr;  // the record AddRecord works on, else null
  uint32_t m_dwWrittenRecords = 0;          // records written in the current writing pass

 private:
  enum class RecordStep { kNextRecord, kLeavePage, kOutOfMemory };
  enum class ObjectStep { kNext, kLeavePage, kOutOfMemory };
  struct TableTally;

  // kStop when the page's table list is damaged; the scan then keeps what it has.
  PageStep ReadTablesOnPage(uint16_t listIndex);
  void ReadColumn(uint16_t subPath);

  RecordStep ReadRecord(uint16_t subPath, bool write);
  // The fields of one record occurrence; false when memory ran out.
  bool BuildOccurrence(const CFMNode& node, CRowOfTable& occurrence) const;
  void JoinOccurrence(CRowOfTable& stored, CRowOfTable& occurrence) const;
  void WriteRecord(const CRowOfTable& record);
  void LogFields(const CRowOfTable& record) const;

  ObjectStep ReadObject(uint16_t subPath);
  void TakeObjectName(CBinaryDataInfo& object, const CFMValue& value) const;

  // One table from its columns to its container files; false when the host asked for a stop.
  bool ProcessTable(const CBaseInfo& table, const char16_t* targetDir, TableTally& tally,
                    int32_t& result);
  void AddReportEntries(const TableTally& tally) const;
  int32_t Grade() const;
};
