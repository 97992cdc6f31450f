// What the first pass over an fp5 file learns from every block: the fields (names and flags under
// 3/5/F, types under 3/2/T, their order under 3/3), the field ids and repetitions that records
// use, and which blocks hold records, with the first record id on each. Nothing of the records
// themselves is kept, so the index stays small whatever the size of the file.
//
// A block that ends early (damaged) gives nothing: bytes that decode to tokens up to a point
// where they stop making sense (noise, another file's text) are no evidence of fields or records
// before that point either, so neither its definitions nor its records are kept, and the second
// pass does not read it.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "deep/fp5_block.h"
#include "deep/fp5_places.h"
#include "deep/fp5_record_keys.h"

namespace deep {

// A field as its definition describes it.
struct Fp5Field {
  std::vector<uint8_t> storedName;  // MacRoman; empty when lost
  std::optional<std::array<uint8_t, fp5_places::kFlagsSize>> flags;
  uint8_t listedType = 0;  // the type 3/2 lists it under; 0 when not listed

  bool Defined() const { return !storedName.empty() || flags || listedType != 0; }
  // The flags' type when they give one (not 0), else the listed one, else text.
  uint8_t Type() const;
  // False for globals and unstored fields: their values are not kept in records.
  bool HoldsRecordData() const;
};

// A block that holds record values, with the lowest record id among them.
struct Fp5RecordBlock {
  uint64_t block = 0;
  uint64_t firstId = 0;
};

// Takes the blocks one by one (as a block visitor) and keeps what the first pass learns.
class Fp5Catalogue final : public Fp5BlockVisitor {
 public:
  // Call before the tokens of block `number` are handed on, and EndBlock after them.
  void BeginBlock(uint64_t number);
  void EndBlock(const BlockOutcome& outcome);

  void OnValue(Fp5Path path, const Fp5Key& key, std::span<const uint8_t> value) override;
  void OnPush(Fp5Path path) override;
  void OnData(Fp5Path path, std::span<const uint8_t> bytes) override;

  // Fields by id, ascending: defined ones and those only records name.
  const std::map<uint32_t, Fp5Field>& Fields() const { return fields_; }
  // Field ids in the order the file lists them (3/3), by position.
  const std::map<uint64_t, uint32_t>& Order() const { return order_; }
  // Field ids that records hold values for, with the highest repetition among them.
  const std::map<uint32_t, uint32_t>& FieldsInRecords() const { return inRecords_; }
  const std::vector<Fp5RecordBlock>& RecordBlocks() const { return recordBlocks_; }
  // Blocks holding record values that ended early (and are left out).
  uint32_t DamagedRecordBlocks() const { return damagedRecordBlocks_; }
  // Items of the record-id list (0D): the records the file itself counts as live.
  uint64_t ListedRecords() const { return listedRecords_; }

 private:
  void NoteRecord(uint64_t record);
  void NoteType(uint64_t type, std::optional<uint64_t> field);
  // Keeps the definitions as they were before this block, the first time it changes them.
  void KeepDefinitionsBeforeBlock();

  std::map<uint32_t, Fp5Field> fields_;
  std::map<uint64_t, uint32_t> order_;
  std::map<uint32_t, uint32_t> inRecords_;
  std::map<uint32_t, uint32_t> blockInRecords_;  // what this block's records use
  // The definitions before this block changed them: put back when it turns out damaged.
  std::optional<std::pair<std::map<uint32_t, Fp5Field>, std::map<uint64_t, uint32_t>>> before_;
  std::vector<Fp5RecordBlock> recordBlocks_;
  std::optional<Fp5RecordBlock> onBlock_;
  Fp5RecordPlaces places_;
  uint64_t block_ = 0;
  uint32_t damagedRecordBlocks_ = 0;
  uint64_t listedRecords_ = 0;
};

}  // namespace deep
