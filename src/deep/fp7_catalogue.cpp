#include "deep/fp7_catalogue.h"

#include <algorithm>

#include "deep/fp7_places.h"
#include "deep/fp7_stored_objects.h"

namespace deep {

using namespace fp7_places;

namespace {

constexpr size_t kDefinitionSize = 26;
// An occurrence's key 2: byte 4 is 2, bytes 5 and 6 the 2-byte id of the table it shows.
constexpr size_t kOccurrenceTableAt = 4;

bool Is(const PathPart& part, uint64_t id) {
  return !part.isName && part.id == id;
}

uint64_t TwoByteId(uint8_t b0, uint8_t b1) {
  return 0x80 + ((uint64_t{b0} & 0x7F) << 8) + b1;
}

}  // namespace

void Fp7Catalogue::BeginPage(uint64_t number) {
  page_ = number;
  onPage_.clear();
  objectsOnPage_.reset();
}

void Fp7Catalogue::EndPage(const PageOutcome& outcome) {
  if (objectsOnPage_) objectPages_.push_back(*objectsOnPage_);
  for (const auto& [table, range] : onPage_) {
    Fp7Table& entry = tables_[table];
    entry.recordPages.push_back(range);
    if (outcome.damaged) ++entry.damagedPages;
  }
}

void Fp7Catalogue::NoteRecord(uint64_t table, uint64_t record) {
  const auto [range, added] = onPage_.try_emplace(table, Fp7PageRange{page_, record, record});
  if (!added) {
    range->second.firstId = std::min(range->second.firstId, record);
    range->second.lastId = std::max(range->second.lastId, record);
  }
}

bool Fp7Catalogue::NoteObject(std::span<const PathPart> path) {
  uint64_t object = 0;
  if (!IsStoredObjectPath(path, object)) return false;
  if (!objectsOnPage_) {
    objectsOnPage_ = Fp7PageRange{page_, object, object};
  } else {
    objectsOnPage_->firstId = std::min(objectsOnPage_->firstId, object);
    objectsOnPage_->lastId = std::max(objectsOnPage_->lastId, object);
  }
  return true;
}

void Fp7Catalogue::OnValue(std::span<const PathPart> path, const ChunkKey& key,
                           std::span<const uint8_t> value) {
  if (NoteObject(path) || key.isBytes) return;
  const auto copy = [&](std::vector<uint8_t>& into) { into.assign(value.begin(), value.end()); };
  // 3/16/5/T: a table's catalogue entry.
  if (path.size() == 4 && Is(path[0], kStructures) && Is(path[1], kTableList) &&
      Is(path[2], kEntries) && IsTableId(path[3])) {
    Fp7Table& table = tables_[path[3].id];
    table.inCatalogue = true;
    if (key.number == kNameKey && table.storedName.empty()) copy(table.storedName);
    return;
  }
  // 3/17/5/O: an occurrence names the table it is based on.
  if (path.size() == 4 && Is(path[0], kStructures) && Is(path[1], kOccurrenceList) &&
      Is(path[2], kEntries)) {
    if (key.number == kDefinitionKey && value.size() >= kOccurrenceTableAt + 3 &&
        value[kOccurrenceTableAt] == 2) {
      occurrenceOf_[path[3].id] =
          TwoByteId(value[kOccurrenceTableAt + 1], value[kOccurrenceTableAt + 2]);
    }
    if (key.number == kNameKey) occurrenceNames_[path[3].id].assign(value.begin(), value.end());
    return;
  }
  if (path.empty() || !IsTableId(path[0])) return;
  // T/3/5/C: a column.
  if (path.size() == 4 && Is(path[1], kColumnList) && Is(path[2], kEntries) && !path[3].isName) {
    Fp7Column& column = tables_[path[0].id].columns[static_cast<uint32_t>(path[3].id)];
    if (key.number == kNameKey && column.storedName.empty()) copy(column.storedName);
    if (key.number == kDefinitionKey && value.size() == kDefinitionSize && !column.definition) {
      column.definition.emplace();
      std::copy(value.begin(), value.end(), column.definition->begin());
    }
    return;
  }
  // T/5/R: a record's field, and T/5/R/C: a piece of a long field value.
  if ((path.size() == 3 || path.size() == 4) && Is(path[1], kRecords) && !path[2].isName) {
    if (path.size() == 3 && (key.number == kBookkeepingKey || key.number == 0)) return;
    if (path.size() == 4 && (path[3].isName || key.number == 0)) return;  // 0: text styling
    NoteRecord(path[0].id, IdOf(path[2]));
    tables_[path[0].id].fieldsInRecords.insert(
        path.size() == 3 ? key.number : static_cast<uint32_t>(path[3].id));
  }
}

void Fp7Catalogue::OnSegment(std::span<const PathPart> path, uint32_t, std::span<const uint8_t>) {
  if (NoteObject(path)) return;
  if (path.size() == 4 && IsTableId(path[0]) && Is(path[1], kRecords) && !path[2].isName &&
      !path[3].isName) {
    NoteRecord(path[0].id, IdOf(path[2]));
    tables_[path[0].id].fieldsInRecords.insert(static_cast<uint32_t>(path[3].id));
  }
}

void Fp7Catalogue::NameTablesFromOccurrences() {
  for (const auto& [occurrence, table] : occurrenceOf_) {
    const auto found = tables_.find(table);
    const auto name = occurrenceNames_.find(occurrence);
    if (found != tables_.end() && name != occurrenceNames_.end() &&
        found->second.occurrenceName.empty()) {
      found->second.occurrenceName = name->second;
    }
  }
}

}  // namespace deep
