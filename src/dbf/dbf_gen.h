// The writer of one recovered table: a dBase .dbf file, and beside it a .dbt memo file as soon as
// the first long value arrives. The client calls, in this order: the constructor with the result
// path, Prepare, AddOneColInfo once per column, WriteOneValue for every value of every record
// (columns in column order within a record), Close.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/dbf_layout.h"
#include "platform/file.h"

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

  // Whether the .dbf file was created; without it every later call does nothing.
  bool HasTableFile() const { return m_hDBFFile.IsOpen(); }

  // Writes the table header. `dwRecordSize` is the sum of the field widths, without the deletion
  // flag. The record count is kept as given, even if more records are written.
  void Prepare(uint32_t dwFieldCount, uint32_t dwRecordCount, uint32_t dwRecordSize);
  // Declares one field (see field_shape.h for the type letters and widths) for the values of
  // column `dwColumnId`. Columns without a name or of an unknown letter are left out. Values of a
  // column id declared twice all go to its first field. Returns 0.
  int AddOneColInfo(const char* szName, char chType, uint32_t dwWidth, uint32_t dwColumnId);
  // Writes one value into the field of its column; a length of 0 means a zero-terminated text.
  // Fields skipped on the way are left blank; a value for a column at or before the previous one
  // starts the next record. Returns 0, -6 when a memo value finds no memory, -20 on a failed write.
  int WriteOneValue(const char* pValue, uint32_t dwColumnId, uint32_t dwLength);
  // Completes the last record, ends the table and rewrites both headers. Returns 0, or -20 when
  // the end of the table cannot be written.
  int Close();
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
  void PrepareDBTFile();
  int WriteToDBTFile(const char* pValue, size_t length);
  void WriteHeaders();
  void WriteLastFields();
  int WriteField(std::string_view value, size_t columnIndex);
  void WriteBlankFields(size_t firstColumn, size_t endColumn);
  void MoveToColumn(size_t targetColumn);
  // Index of the first field declared for the column id, or the column count when there is none.
  size_t FindColumn(uint32_t dwColumnId) const;

  qrx::platform::File m_hDBFFile;
  qrx::platform::File m_hDBTFile;
  uint8_t m_DbfHeader[dbf_layout::kHeaderSize] = {};
  uint8_t m_DbtHeader[dbf_layout::kMemoHeaderSize] = {};
  bool m_bTerminatorPending = true;
  std::u16string m_szShortName;  // base name of both files, at most 8 characters
  std::u16string m_szDirectory;  // with a trailing separator
  bool m_bHasMemo = false;       // set by the first memo value, even if no .dbt could be made
  uint32_t m_dwNextMemoBlock = 1;
  std::vector<ColumnEntry> m_Columns;
  size_t m_nCurrentColumn = 0;  // field that the next value fills
};
