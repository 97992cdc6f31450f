// The second pass over an fp5 file: the records, read from the blocks that the first pass found
// them on, in the order of their first record id, and handed on whole in ascending record id
// order.
//
// A record's tokens may continue on the next block (which re-opens 5/R), and a long value's pieces
// may lie on several blocks: occurrences are joined field by field and piece by piece. When two
// blocks give different bytes for the same field (or piece) of a record, as an old copy of a block
// would, the bytes of the block read first are kept, every such conflict is counted and logged
// with both blocks. A long value whose pieces do not add up to the length its check declares is
// logged and kept as joined.
//
// Records are held only until no block still to be read can hold them: a block whose first record
// id is r releases every record below r.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>

#include "deep/fp5_block.h"
#include "deep/fp5_record_keys.h"
#include "deep/held_in_order.h"
#include "deep/long_value.h"

namespace deep {

// One field of a record: its value, or the pieces of a long value.
struct Fp5Value : LongValue {
  uint64_t block = 0;                        // where the whole value was met
  std::map<uint32_t, uint64_t> pieceBlocks;  // where each piece was first met
  std::optional<uint32_t> declaredLength;    // from a long value's length check
};

struct Fp5Record {
  std::map<Fp5Slot, Fp5Value> values;
};

class Fp5Records final : public Fp5BlockVisitor {
 public:
  // `emit` receives each record once, in ascending record id order.
  using RecordSink = std::function<void(uint64_t recordId, const Fp5Record& record)>;
  explicit Fp5Records(RecordSink emit);

  // Blocks must come in ascending order of their first record id.
  void BeginBlock(uint64_t number, uint64_t firstId);
  // Hands on every record still held.
  void Finish();

  void OnValue(Fp5Path path, const Fp5Key& key, std::span<const uint8_t> value) override;

  uint32_t Conflicts() const { return conflicts_; }

 private:
  // Keeps `bytes` in `slot` unless it was filled already on block `slotBlock` (0: not yet) with
  // other bytes (a conflict).
  void Keep(std::vector<uint8_t>& slot, uint64_t& slotBlock, std::span<const uint8_t> bytes,
            uint64_t recordId, uint32_t field);
  // Whether `record` holds any bytes; logs its long values whose pieces disagree with their
  // length check.
  static bool CheckRecord(uint64_t recordId, const Fp5Record& record);

  uint64_t block_ = 0;
  Fp5RecordPlaces places_;
  HeldInOrder<Fp5Record> held_;
  uint32_t conflicts_ = 0;
};

}  // namespace deep
