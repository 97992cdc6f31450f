// How an fp5 record keeps its values, read from a value's path and key.
//   5/R   key F (40+F, a one-byte key 01 F, a VLI key 02 <2 bytes>, their FF long forms): the
//         value of field F; a key of two VLIs (F, n): repetition n of field F (1 is the field
//         itself); the one-byte key 0xFC is the record's bookkeeping, not a field.
//   5/R/F a long value of field F in pieces, joined in piece order. Two forms: keys 1, 2, ...
//         closed by the length check (key 0xFF, five bytes, the last four the total length), and
//         two-VLI keys (0, 1), (0, 2), ... without a check.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <span>

#include "deep/fp5_block.h"

namespace deep {

// Repetitions beyond the program's own limit are not taken from a key.
inline constexpr uint32_t kFp5MaxRepetitions = 1000;

// A field of a record: the field id and the repetition (1 for the field itself).
struct Fp5Slot {
  uint32_t field = 0;
  uint32_t repetition = 1;
  auto operator<=>(const Fp5Slot&) const = default;
};

// A path inside a record: 5/R (field nullopt) or 5/R/F.
struct Fp5RecordPlace {
  uint64_t record = 0;
  std::optional<uint32_t> field;
};

// Where `path` lies in the records; nullopt when it is not 5/R or 5/R/F with numbers.
std::optional<Fp5RecordPlace> RecordPlaceOf(Fp5Path path);

// RecordPlaceOf for the values of a block, which mostly come several under one open path: a path
// of the same components (the same bytes of the block) as the one before is placed once. Forget
// before every block, whose bytes may lie where the last one's did.
class Fp5RecordPlaces {
 public:
  void Forget() { size_ = kNone; }
  std::optional<Fp5RecordPlace> Of(Fp5Path path);

 private:
  static constexpr size_t kNone = 4;  // no path of a record is that long
  std::array<Fp5Part, 3> parts_;
  size_t size_ = kNone;
  std::optional<Fp5RecordPlace> place_;
};
// The field a key at 5/R gives a value for; nullopt for bookkeeping and keys that name none.
std::optional<Fp5Slot> SlotOfKey(const Fp5Key& key);
// The piece a key at 5/R/F holds; nullopt for the length check and keys that name none.
std::optional<uint32_t> PieceOfKey(const Fp5Key& key);
// The total length a length check at 5/R/F declares; nullopt when the value is none.
std::optional<uint32_t> DeclaredLength(const Fp5Key& key, std::span<const uint8_t> value);

}  // namespace deep
