// The writer of one recovered table: a dBase .dbf file, and beside it a .dbt memo file as soon as
// the first long value arrives. The client calls, in this order: the constructor with the result
// path, Prepare, AddOneColInfo once per column, WriteOneValue for every value of every record
// (columns in column order within a record), Close.
//
// Both files are written under temporary names and get their final names at Close, when they are
// complete. Every write is checked: after the first failure (logged with the file and the
// system's reason) the writer drops both files and every later call does nothing; Close then
// answers -20. An output limit caps the bytes of both files together: the first record that
// would pass it is not written, nor any after it, and the table is cut there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/dbf_layout.h"
#include "dbf/result_file.h"

class CDbfGen {
 public:
  // Works out the names of the output files and creates the .dbf file. The files are named by the
  // short (8.3) form of the result path's file name, in its folder. A result path whose file
  // exists already, or a table file that cannot be created new, leaves the writer without files:
  // nothing is ever overwritten, and every later call does nothing.
  explicit CDbfGen(const char16_t* szResultPath);
  CDbfGen(const CDbfGen&) = delete;
  CDbfGen& operator=(const CDbfGen&) = delete;
  virtual ~CDbfGen();

  // Whether the .dbf file is open for writing: created, and nothing has failed since.
  bool HasTableFile() const { return m_Dbf.IsOpen(); }
  // Whether a write failed (the table then has no files).
  bool WriteFailed() const { return m_bWriteFailed; }
  // Whether the output limit cut the table.
  bool IsCut() const { return m_bCut; }
  uint32_t RecordsWritten() const { return m_dwRecordsWritten; }
  // Bytes of the .dbf and .dbt files so far.
  uint64_t BytesWritten() const { return m_Dbf.Size() + m_Dbt.Size(); }

  // Caps the bytes of both files together (no cap by default).
  void SetOutputLimit(uint64_t bytes) { m_qwOutputLimit = bytes; }

  // Writes the table header. `dwRecordSize` is the sum of the field widths, without the deletion
  // flag. The header's record count becomes the number of records written when the table is
  // closed.
  void Prepare(uint32_t dwFieldCount, uint32_t dwRecordCount, uint32_t dwRecordSize);
  // Declares one field (see field_shape.h for the type letters and widths) for the values of
  // column `dwColumnId`. Columns without a name or of an unknown letter are left out. Values of a
  // column id declared twice all go to its first field. Returns 0.
  int AddOneColInfo(const char* szName, char chType, uint32_t dwWidth, uint32_t dwColumnId);
  // Writes one value into the field of its column; a length of 0 means a zero-terminated text.
  // Fields skipped on the way are left blank; a value for a column at or before the previous one
  // starts the next record. Returns 0, -6 when a memo value finds no memory, -20 on a failed write.
  int WriteOneValue(const char* pValue, uint32_t dwColumnId, uint32_t dwLength);
  // Completes the last record, ends the table, rewrites both headers and gives both files their
  // final names. Returns 0, or -20 when anything of the table could not be written.
  int Close();
  // Drops the table: both files are removed, and every later call does nothing.
  void Discard();
  // Ends the record being filled: its remaining fields stay blank and the next value starts a new
  // record, whichever column it is for. Nothing happens between records.
  void EndRecord();

 private:
  struct ColumnEntry {
    uint32_t dwColumnId;
    char chType;     // as written to the descriptor
    uint8_t nWidth;  // as written to the descriptor
  };

  void SetDate();
  bool PrepareDBTFile();
  int WriteToDBTFile(const char* pValue, size_t length);
  bool WriteHeaders();
  // 0 when `ok`; otherwise logs the first failure, drops both files and returns -20.
  int Checked(bool ok);
  // Whether the record that starts now still fits the output limit; logs the cut when not.
  bool RecordFitsLimit();
  // Chooses the base name when the memo name of the short name is taken.
  void AvoidTakenMemoName();
  void WriteLastFields();
  int WriteField(std::string_view value, size_t columnIndex);
  void WriteBlankFields(size_t firstColumn, size_t endColumn);
  void MoveToColumn(size_t targetColumn);
  // Index of the first field declared for the column id, or the column count when there is none.
  size_t FindColumn(uint32_t dwColumnId) const;

  ResultFile m_Dbf;
  ResultFile m_Dbt;
  uint8_t m_DbfHeader[dbf_layout::kHeaderSize] = {};
  uint8_t m_DbtHeader[dbf_layout::kMemoHeaderSize] = {};
  bool m_bTerminatorPending = true;
  std::u16string m_szShortName;  // base name of both files, at most 8 characters
  std::u16string m_szDirectory;  // with a trailing separator
  bool m_bHasMemo = false;       // set by the first memo value, even if no .dbt could be made
  uint32_t m_dwNextMemoBlock = 1;
  std::vector<ColumnEntry> m_Columns;
  size_t m_nCurrentColumn = 0;    // field that the next value fills
  uint32_t m_dwRecordLength = 0;  // with the deletion flag
  uint32_t m_dwRecordsWritten = 0;
  uint64_t m_qwOutputLimit = UINT64_MAX;
  bool m_bCut = false;
  bool m_bWriteFailed = false;
};
