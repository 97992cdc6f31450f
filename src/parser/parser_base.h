// The part common to the fp5 and fp7 parsers: the in-memory table and everything that turns it into
// result files. It converts fp5 date texts, sizes the columns, writes a whole table through the
// table writer (fp5), declares a table's fields from the column catalogue and takes its values
// one by one (fp7), and writes container objects as files of their own beside the result.
//
// A derived parser owns its page engine and hands it to the base at construction; the base only
// keeps the reference until AttachSource connects the engine to the source.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "dbf/dbf_gen.h"
#include "engine/file_connector.h"
#include "engine/page_engine.h"
#include "parser/record_model.h"
#include "parser/seen_records.h"

// One column of the fp7 column catalogue.
struct CCatalogueColumn {
  uint32_t m_dwWidth = 0;
  std::string m_strName;
  uint32_t m_dwType = kColumnText;
};

using ColumnCatalogue = std::map<uint32_t, CCatalogueColumn>;  // by column id, ascending
using PendingRecordMap = std::map<uint32_t, CRowOfTable>;      // by record id
using OccurrenceCountMap = std::map<uint32_t, uint32_t>;       // record id to occurrences

// How the writing of the last result table ended, for the report.
struct CTableOutcome {
  bool bWriteFailed = false;  // the table could not be written, or not in full: it has no file
  bool bCut = false;          // the output limit cut it
  uint32_t dwRowsWritten = 0;
};

class CFMLogicParserBase {
 public:
  // The name the fp7 record pass gives a column it adds for a field id without a definition;
  // WriteTableHeader numbers such columns "Unknown 1", "Unknown 2", ... in ascending id order.
  static constexpr const char* kUnknownColumnName = "Unknown %";

  explicit CFMLogicParserBase(CFMCEngine& engine);
  CFMLogicParserBase(const CFMLogicParserBase&) = delete;
  CFMLogicParserBase& operator=(const CFMLogicParserBase&) = delete;
  // Drops a table still open for writing and releases everything the parser holds.
  virtual ~CFMLogicParserBase();

  // Takes over the source path and connects the page engine to the opened source. False when the
  // engine refuses the source. Sets the output limit of the run from the source's size.
  bool AttachSource(CFileConnector* connector);

  // The bytes all result tables of a run may take together: a fixed allowance and a multiple of
  // the source's size. Real files give tables of one to three times their size; the margin lets
  // sparse tables with wide columns come out whole, while a file made to blow its tables up
  // (one record of long values fixing the width of every later record) is cut.
  static constexpr uint64_t kOutputAllowance = 16ull << 20;
  static constexpr uint64_t kOutputPerSourceByte = 32;

  // Rewrites a day-first date text with two separators ("31.12.1999", "31/12/99") in the dBase
  // order "19991231" (rules in date_conversion.h). `*ppText` is a library-heap text and may be
  // replaced by a new one. A text that is null, empty, longer than 10 characters, shorter than 5
  // or not of this pattern stays as it is.
  void ConvertDate(char** ppText);
  // Computes m_ColumnWidths from the values of m_DataOfTable; a value over 250 bytes turns its
  // column into a memo column.
  void CountMaxSizeForFields();

  // Writes m_ArrOfColumns and m_DataOfTable as one result table at `szResultPath` (see
  // ResultPathFor). Only the first value of a column in a row is written. 0; -20 (logged) when
  // the table file cannot be created or written or its fields do not fit its header; -1000 when
  // the host asked to stop while the rows were written (the table is then dropped).
  int CreateResultFile(const char16_t* szResultPath);

  // fp7: starts the result table at `szResultPath` with the fields of m_ColumnCatalogue, in id
  // order. 0, or -20 (logged, no table open) when the table file cannot be created or its fields
  // do not fit its header.
  int WriteTableHeader(const char16_t* szResultPath);
  // fp7: writes one value into the table started by WriteTableHeader; nothing when none is open.
  void WriteValue(const char* szText, uint32_t dwColumnId, uint32_t dwLength);
  // fp7: finishes the open table, if any, and notes its outcome. 0, or -20 when the table could not
  // be written in full.
  int CloseDbf();
  // fp7: drops the open table, if any, with its files (a stop in the middle of it).
  void DiscardDbf();
  // The report's note on a table: empty when it was written in full, else what is missing.
  static std::u16string ReportNote(const CTableOutcome& outcome);
  // Creates the target folder when it is missing (one level: its parent must exist); `created`
  // tells whether this call made it. False, with a log line, when no folder stands there after.
  static bool EnsureTargetFolder(const std::u16string& folder, bool& created);
  // fp7: the reset around each table: empties the catalogue, the counts and the seen record ids
  // and finishes the open table. Records still pending stay. Always 1.
  int CloseResult();

  // Writes every container object of m_BinaryData that has a name and bytes as a new file in the
  // folder of `szResultPath`; a file of the same name is removed first (never followed where it
  // links to). The files of one recovery hold at most 4 times the source file's bytes; objects
  // beyond are left out, logged. 0; -20 when a file could not be written (logged, removed, the
  // next object tried); -1000 when the host asked for a stop.
  int CreateBinaryFiles(const char16_t* szResultPath);

 protected:
  char16_t m_szSourcePath[CFileConnector::kMaxPath] = {};
  ColumnWidthMap m_ColumnWidths;
  DateColumnSet m_DateColumns;
  ColumnList m_ArrOfColumns;
  TableData m_DataOfTable;
  PendingRecordMap m_PendingRecords;
  CSeenRecords m_SeenRecords;
  OccurrenceCountMap m_DuplicateCounts;
  OccurrenceCountMap m_WrittenCounts;
  ColumnCatalogue m_ColumnCatalogue;
  // The writer of the fp7 table being written. Held in place, so starting a table needs no
  // allocation that could fail.
  std::optional<CDbfGen> m_pDbfGen;
  uint32_t m_dwTotalColumns = 0;
  uint32_t m_dwTotalRecords = 0;
  uint32_t m_dwUnknownColumns = 0;
  BinaryDataMap m_BinaryData;
  uint64_t m_qwContainerBytesWritten = 0;      // by CreateBinaryFiles since the parser was made
  bool m_bTableWritten = false;                // a result table has been started; never reset
  CTableOutcome m_TableOutcome;                // of the last table closed
  uint64_t m_qwOutputLeft = kOutputAllowance;  // what the run's later tables may still take

 private:
  // What the table writer is told about one column.
  struct DbfColumn {
    const char* szName;
    uint32_t dwType;
    uint32_t dwWidth;
    uint32_t dwId;
  };

  // The columns of m_ArrOfColumns with their width entries, giving 0 to a column without one.
  std::vector<DbfColumn> TableColumns();
  // Numbers the placeholder names and clamps the widths of m_ColumnCatalogue; its columns in id
  // order.
  std::vector<DbfColumn> CatalogueColumns();
  // The record length the writer will declare for the columns (the sum of its field widths), or
  // nullopt, logged, when the table's header cannot describe that many columns or bytes.
  static std::optional<uint32_t> RecordLengthFor(const std::vector<DbfColumn>& columns,
                                                 size_t columnCount);
  static uint32_t SumOfWidths(const std::vector<DbfColumn>& columns);
  static void AddColumn(CDbfGen& writer, const DbfColumn& column);
  // 0, -20 or -1000 as CreateResultFile.
  int WriteTable(const char16_t* szResultPath, const std::vector<DbfColumn>& columns,
                 uint32_t dwRecordLength);
  // False when the host asked to stop.
  bool WriteRows(CDbfGen& writer);
  // Closes the writer, notes the table's outcome and takes its bytes from the run's output limit.
  int FinishTable(CDbfGen& writer);

  CFMCEngine& m_Engine;
};
