#include "deep/fp5_records.h"

#include "deep/first_kept.h"
#include "diag/log.h"

namespace deep {

Fp5Records::Fp5Records(RecordSink emit)
    : held_([emit = std::move(emit)](uint64_t id, const Fp5Record& record) {
        if (CheckRecord(id, record)) emit(id, record);
      }) {}

void Fp5Records::BeginBlock(uint64_t number, uint64_t firstId) {
  block_ = number;
  places_.Forget();
  held_.ReleaseBelow(firstId);
}

void Fp5Records::Finish() {
  held_.ReleaseAll();
}

void Fp5Records::Keep(std::vector<uint8_t>& slot, uint64_t& slotBlock,
                      std::span<const uint8_t> bytes, uint64_t recordId, uint32_t field) {
  if (!KeepFirst(slot, slotBlock, block_, bytes)) return;
  ++conflicts_;
  g_Log.LogFormat(
      "Record %llu: field %u differs between blocks %llu and %llu; the value of block %llu is "
      "kept",
      static_cast<unsigned long long>(recordId), field, static_cast<unsigned long long>(slotBlock),
      static_cast<unsigned long long>(block_), static_cast<unsigned long long>(slotBlock));
}

void Fp5Records::OnValue(Fp5Path path, const Fp5Key& key, std::span<const uint8_t> value) {
  const std::optional<Fp5RecordPlace> place = places_.Of(path);
  if (!place) return;
  if (!place->field) {
    const std::optional<Fp5Slot> slot = SlotOfKey(key);
    if (!slot) return;
    Fp5Value& field = held_.At(place->record).values[*slot];
    Keep(field.whole, field.block, value, place->record, slot->field);
    return;
  }
  const std::optional<uint32_t> piece = PieceOfKey(key);
  const std::optional<uint32_t> declared = DeclaredLength(key, value);
  if (!piece && !declared) return;
  Fp5Value& field = held_.At(place->record).values[Fp5Slot{*place->field, 1}];
  if (declared) {
    if (!field.declaredLength) field.declaredLength = declared;
    return;
  }
  Keep(field.pieces[*piece], field.pieceBlocks[*piece], value, place->record, *place->field);
}

bool Fp5Records::CheckRecord(uint64_t recordId, const Fp5Record& record) {
  bool anyBytes = false;
  for (const auto& [slot, value] : record.values) {
    size_t joined = 0;
    for (const auto& [number, piece] : value.pieces) joined += piece.size();
    anyBytes = anyBytes || joined != 0 || !value.whole.empty();
    if (!value.declaredLength || value.pieces.empty() || joined == *value.declaredLength) {
      continue;
    }
    g_Log.LogFormat(
        "Record %llu: field %u has %zu bytes in its pieces, its length check says %u; the "
        "joined pieces are kept",
        static_cast<unsigned long long>(recordId), slot.field, joined, *value.declaredLength);
  }
  return anyBytes;
}

}  // namespace deep
