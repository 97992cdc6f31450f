#include "deep/fp5_catalogue.h"

#include <algorithm>
#include <limits>
#include <tuple>

#include "deep/fp5_record_keys.h"

namespace deep {

using namespace fp5_places;

namespace {

bool Is(const Fp5Part& part, uint64_t number) {
  return Fp5Number(part) == number;
}

// A field id as a path component or data item names it; nullopt when it cannot be one.
std::optional<uint32_t> FieldId(std::optional<uint64_t> number) {
  if (!number || *number == 0 || *number > std::numeric_limits<uint32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<uint32_t>(*number);
}

}  // namespace

uint8_t Fp5Field::Type() const {
  // Flags whose type byte is 0 say nothing of the type: the lists may.
  if (flags && (*flags)[kTypeAt] != 0) return (*flags)[kTypeAt];
  return listedType != 0 ? listedType : uint8_t{kText};
}

bool Fp5Field::HoldsRecordData() const {
  const bool unstored = flags && (*flags)[kStorageAt] > kHighestStoredStorage;
  return Type() != kGlobal && !unstored;
}

void Fp5Catalogue::BeginBlock(uint64_t number) {
  block_ = number;
  onBlock_.reset();
  blockInRecords_.clear();
  before_.reset();
  places_.Forget();
}

void Fp5Catalogue::EndBlock(const BlockOutcome& outcome) {
  if (outcome.damaged) {
    if (before_) std::tie(fields_, order_) = std::move(*before_);
    if (onBlock_) ++damagedRecordBlocks_;
    return;
  }
  if (!onBlock_) return;
  recordBlocks_.push_back(*onBlock_);
  for (const auto& [field, repetition] : blockInRecords_) {
    uint32_t& highest = inRecords_[field];
    highest = std::max(highest, repetition);
  }
}

void Fp5Catalogue::KeepDefinitionsBeforeBlock() {
  if (!before_) before_.emplace(fields_, order_);
}

void Fp5Catalogue::NoteRecord(uint64_t record) {
  if (!onBlock_) {
    onBlock_ = Fp5RecordBlock{block_, record};
  } else {
    onBlock_->firstId = std::min(onBlock_->firstId, record);
  }
}

void Fp5Catalogue::NoteType(uint64_t type, std::optional<uint64_t> field) {
  const std::optional<uint32_t> id = FieldId(field);
  if (!id || type == 0 || type > std::numeric_limits<uint8_t>::max()) return;
  KeepDefinitionsBeforeBlock();
  uint8_t& listed = fields_[*id].listedType;
  if (listed == 0) listed = static_cast<uint8_t>(type);
}

void Fp5Catalogue::OnValue(Fp5Path path, const Fp5Key& key, std::span<const uint8_t> value) {
  if (const std::optional<Fp5RecordPlace> place = places_.Of(path)) {
    std::optional<Fp5Slot> slot;
    if (!place->field) {
      slot = SlotOfKey(key);
    } else if (PieceOfKey(key)) {
      slot = Fp5Slot{*place->field, 1};
    }
    if (!slot) return;
    NoteRecord(place->record);
    uint32_t& highest = blockInRecords_[slot->field];
    highest = std::max(highest, slot->repetition);
    return;
  }
  if (path.empty() || !Is(path[0], kFields)) return;
  KeepDefinitionsBeforeBlock();
  // 3/3: key (0, n) -> a length byte, then the n-th field's id.
  if (path.size() == 2 && Is(path[1], kFieldOrder) && key.isBytes && key.bytes.size() >= 2 &&
      key.bytes[0] == 0 && !value.empty() && value[0] == value.size() - 1) {
    const std::optional<uint64_t> position = Fp5Number(key.bytes.subspan(1));
    const std::optional<uint32_t> id = FieldId(Fp5Number(value.subspan(1)));
    if (position && id) order_.try_emplace(*position, *id);
    return;
  }
  // 3/5/F: key 1 the name, key 2 the flags.
  if (path.size() == 3 && Is(path[1], kFieldDefinitions) && !key.isBytes) {
    const std::optional<uint32_t> id = FieldId(Fp5Number(path[2]));
    if (!id) return;
    Fp5Field& field = fields_[*id];
    if (key.number == kNameKey && field.storedName.empty()) {
      field.storedName.assign(value.begin(), value.end());
    }
    if (key.number == kFlagsKey && value.size() >= kFlagsSize && !field.flags) {
      field.flags.emplace();
      std::copy_n(value.begin(), kFlagsSize, field.flags->begin());
    }
  }
}

void Fp5Catalogue::OnPush(Fp5Path path) {
  // 3/2/T/F: field F listed under type T as a sub-path of its own.
  if (path.size() == 4 && Is(path[0], kFields) && Is(path[1], kFieldTypes)) {
    if (const std::optional<uint64_t> type = Fp5Number(path[2]))
      NoteType(*type, Fp5Number(path[3]));
  }
}

void Fp5Catalogue::OnData(Fp5Path path, std::span<const uint8_t> bytes) {
  if (path.size() == 1 && Is(path[0], kRecordList)) {
    ++listedRecords_;
    return;
  }
  // 3/2/T: field F listed under type T as a data item.
  if (path.size() == 3 && Is(path[0], kFields) && Is(path[1], kFieldTypes)) {
    if (const std::optional<uint64_t> type = Fp5Number(path[2])) NoteType(*type, Fp5Number(bytes));
  }
}

}  // namespace deep
