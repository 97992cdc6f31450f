// The tables of the last recovery, one entry each (those with nothing recovered included), with
// the files written for each. The report's entries are texts for people and follow the report's
// conventions; these are the same facts as numbers and file names, for hosts that need to know
// which file holds which table.
//
// A recovery starts a table's entry, records every file it completes for that table (table,
// memo, code page and stored files) and ends the entry with its counts. Entries are dropped by
// Clear, at the start of every recovery.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qrx/qrx.h"

namespace KtUtils {

class TableResults {
 public:
  TableResults();
  ~TableResults();
  TableResults(const TableResults&) = delete;
  TableResults& operator=(const TableResults&) = delete;

  void Clear();
  // Opens the entry of the next table: files recorded from now on are its own.
  void BeginTable(std::u16string name);
  // A file completed for the open table; `path` may carry the folder, only the name is kept. A
  // file recorded while no table is open, or twice, is ignored.
  void AddFile(const std::u16string& path);
  // The columns of the open table (deep recovery), with the damaged units holding its records.
  struct Column {
    std::u16string name;
    std::u16string fieldName;
    char type = 'C';
    const char16_t* kind = u"text";
  };
  void SetColumns(std::vector<Column> columns, uint32_t damagedUnits);
  // The number of entries so far; an entry's index is the count before its BeginTable.
  size_t Count() const { return entries_.size(); }
  // A file completed for an entry already closed (one file holding several tables).
  void AddFileTo(size_t entry, const std::u16string& path);
  // Closes the open entry. `note` says what was lost; empty when nothing was. `folder` is where
  // its files are.
  void EndTable(uint32_t columns, uint32_t rows, std::u16string note, const std::u16string& folder);

  // The entries as the C interface hands them out (a null-terminated array of pointers), each
  // with those of its files that still exist (a later failure may have removed one again);
  // valid until the next call of any method.
  const qrx_table_result* const* Build(int32_t& count);

 private:
  struct Entry {
    std::u16string name;
    uint32_t columns = 0;
    uint32_t rows = 0;
    std::vector<std::u16string> files;  // names in `folder`
    std::u16string note;
    std::u16string folder;
    std::vector<Column> columnList;
    uint32_t damagedUnits = 0;
  };
  struct Built;

  std::vector<Entry> entries_;
  bool open_ = false;
  std::unique_ptr<Built> built_;
};

}  // namespace KtUtils

extern KtUtils::TableResults g_TableResults;
