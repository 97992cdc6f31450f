// What the first pass over an fp7 file learns from every page: the tables (their catalogue names
// under 3/16/5/T, the names of their occurrences under 3/17/5/O), their columns (names and 26-byte
// definitions under T/3/5/C), and, for each table, which pages hold its records, with the first and
// last record id on each page and the column ids its records use. Nothing of the records themselves
// is kept, so the index stays small whatever the size of the file.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <vector>

#include "deep/fp7_page.h"

namespace deep {

// A column as its definition describes it.
struct Fp7Column {
  std::vector<uint8_t> storedName;  // as stored (encoded text); empty when lost
  std::optional<std::array<uint8_t, 26>> definition;

  uint8_t FieldClass() const { return definition ? (*definition)[0] : 1; }
  uint8_t DataType() const { return definition ? (*definition)[1] : 1; }
  uint8_t Storage() const { return definition ? (*definition)[9] : 0; }
};

// A page that holds records of a table (or stored objects), with the range of their ids.
struct Fp7PageRange {
  uint64_t page = 0;
  uint64_t firstId = 0;
  uint64_t lastId = 0;
};

struct Fp7Table {
  std::vector<uint8_t> storedName;      // from the table catalogue; empty when lost
  std::vector<uint8_t> occurrenceName;  // from a table occurrence based on this table
  bool inCatalogue = false;
  std::map<uint32_t, Fp7Column> columns;  // by column id
  std::set<uint32_t> fieldsInRecords;     // column ids that records use
  std::vector<Fp7PageRange> recordPages;
  uint32_t damagedPages = 0;  // pages holding its records that ended early
};

// Takes the pages one by one (as a page visitor) and keeps what the first pass learns.
class Fp7Catalogue final : public Fp7PageVisitor {
 public:
  // Call before the values of page `number` are handed on, and EndPage after them.
  void BeginPage(uint64_t number);
  void EndPage(const PageOutcome& outcome);

  void OnValue(std::span<const PathPart> path, const ChunkKey& key,
               std::span<const uint8_t> value) override;
  void OnSegment(std::span<const PathPart> path, uint32_t piece,
                 std::span<const uint8_t> bytes) override;

  // After the last page: tables that lost their catalogue name take the name of an occurrence
  // based on them.
  void NameTablesFromOccurrences();

  // Tables by id, ascending.
  const std::map<uint64_t, Fp7Table>& Tables() const { return tables_; }
  // The pages that hold stored objects (31/5/O), with the range of object ids on each.
  const std::vector<Fp7PageRange>& ObjectPages() const { return objectPages_; }

 private:
  // Notes that a record of table `table` lies on the current page.
  void NoteRecord(uint64_t table, uint64_t record);
  // Notes a stored object when `path` lies under 31/5/O; false otherwise.
  bool NoteObject(std::span<const PathPart> path);

  std::map<uint64_t, Fp7Table> tables_;
  std::map<uint64_t, uint64_t> occurrenceOf_;  // occurrence id to the id of its table
  std::map<uint64_t, std::vector<uint8_t>> occurrenceNames_;
  uint64_t page_ = 0;
  // Tables whose records the current page holds, with their record range on it.
  std::map<uint64_t, Fp7PageRange> onPage_;
  std::optional<Fp7PageRange> objectsOnPage_;
  std::vector<Fp7PageRange> objectPages_;
};

// Table ids are 2-byte path ids, 128 and above; lower ids are the file's own structures.
inline bool IsTableId(const PathPart& part) {
  return !part.isName && part.id >= 128 && part.id <= 0xFFFF;
}

}  // namespace deep
