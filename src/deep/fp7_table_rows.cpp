#include "deep/fp7_table_rows.h"

#include "deep/first_kept.h"
#include "deep/fp7_places.h"
#include "diag/log.h"

namespace deep {

using namespace fp7_places;

Fp7TableRows::Fp7TableRows(uint64_t tableId, RecordSink emit)
    : tableId_(tableId), held_(std::move(emit)) {}

void Fp7TableRows::BeginPage(uint64_t number, uint64_t firstId) {
  page_ = number;
  held_.ReleaseBelow(firstId);
}

void Fp7TableRows::Finish() {
  held_.ReleaseAll();
}

Fp7Record* Fp7TableRows::RecordAt(std::span<const PathPart> path) {
  if (path.size() < 3 || path[0].isName || path[0].id != tableId_ || path[1].isName ||
      path[1].id != kRecords || path[2].isName) {
    return nullptr;
  }
  return &held_.At(IdOf(path[2]));
}

void Fp7TableRows::Keep(std::vector<uint8_t>& slot, uint64_t& slotPage,
                        std::span<const uint8_t> bytes, uint64_t recordId, uint32_t column) {
  if (!KeepFirst(slot, slotPage, page_, bytes)) return;
  ++conflicts_;
  g_Log.LogFormat(
      "Record %llu of table %llu: column %u differs between pages %llu and %llu; the value of "
      "page %llu is kept",
      static_cast<unsigned long long>(recordId), static_cast<unsigned long long>(tableId_), column,
      static_cast<unsigned long long>(slotPage), static_cast<unsigned long long>(page_),
      static_cast<unsigned long long>(slotPage));
}

void Fp7TableRows::OnValue(std::span<const PathPart> path, const ChunkKey& key,
                           std::span<const uint8_t> value) {
  if (key.isBytes) return;
  if (path.size() == 3) {
    if (key.number == kBookkeepingKey || key.number == kStylingKey) return;
    Fp7Record* record = RecordAt(path);
    if (record == nullptr) return;
    Fp7Field& field = record->fields[key.number];
    Keep(field.whole, field.page, value, IdOf(path[2]), key.number);
  } else if (path.size() == 4 && !path[3].isName && key.number != kStylingKey) {
    // A long value's piece given as a key/value: the key is its number.
    Fp7Record* record = RecordAt(path);
    if (record == nullptr) return;
    const auto column = static_cast<uint32_t>(path[3].id);
    Fp7Field& field = record->fields[column];
    uint64_t piecePage = field.pieces.contains(key.number) ? field.page : 0;
    Keep(field.pieces[key.number], piecePage, value, IdOf(path[2]), column);
    if (field.page == 0) field.page = piecePage;
  }
}

void Fp7TableRows::OnSegment(std::span<const PathPart> path, uint32_t piece,
                             std::span<const uint8_t> bytes) {
  if (path.size() != 4 || path[3].isName) return;
  Fp7Record* record = RecordAt(path);
  if (record == nullptr) return;
  const auto column = static_cast<uint32_t>(path[3].id);
  Fp7Field& field = record->fields[column];
  uint64_t piecePage = field.pieces.contains(piece) ? field.page : 0;
  Keep(field.pieces[piece], piecePage, bytes, IdOf(path[2]), column);
  if (field.page == 0) field.page = piecePage;
}

}  // namespace deep
