#include "deep/fp5_record_keys.h"

#include <algorithm>
#include <limits>

#include "deep/fp5_places.h"

namespace deep {

using namespace fp5_places;

namespace {

constexpr uint64_t kMaxField = std::numeric_limits<uint32_t>::max();

// A byte-string key read as one or two VLIs; a single byte is a number whatever its value (the
// one-byte form holds field ids up to 255).
struct KeyNumbers {
  uint64_t first = 0;
  std::optional<uint64_t> second;
};

std::optional<KeyNumbers> NumbersOf(const Fp5Key& key) {
  if (!key.isBytes) return KeyNumbers{key.number, std::nullopt};
  if (key.bytes.size() == 1) return KeyNumbers{key.bytes[0], std::nullopt};
  ByteCursor in(key.bytes);
  const std::optional<uint64_t> first = ReadFp5Number(in);
  if (!first) return std::nullopt;
  if (in.remaining() == 0) return KeyNumbers{*first, std::nullopt};
  const std::optional<uint64_t> second = ReadFp5Number(in);
  if (!second || in.remaining() != 0) return std::nullopt;
  return KeyNumbers{*first, second};
}

bool IsOneByteKey(const Fp5Key& key, uint8_t byte) {
  return key.isBytes && key.bytes.size() == 1 && key.bytes[0] == byte;
}

}  // namespace

std::optional<Fp5RecordPlace> RecordPlaceOf(Fp5Path path) {
  if (path.size() < 2 || path.size() > 3 || path[0].size() != 1 || path[0][0] != kRecords) {
    return std::nullopt;
  }
  const std::optional<uint64_t> record = Fp5Number(path[1]);
  if (!record) return std::nullopt;
  if (path.size() == 2) return Fp5RecordPlace{*record, std::nullopt};
  const std::optional<uint64_t> field = Fp5Number(path[2]);
  if (!field || *field == 0 || *field > kMaxField) return std::nullopt;
  return Fp5RecordPlace{*record, static_cast<uint32_t>(*field)};
}

std::optional<Fp5RecordPlace> Fp5RecordPlaces::Of(Fp5Path path) {
  if (path.size() >= kNone) return std::nullopt;
  const auto same = [](const Fp5Part& a, const Fp5Part& b) {
    return a.data() == b.data() && a.size() == b.size();
  };
  if (path.size() == size_ && std::equal(path.begin(), path.end(), parts_.begin(), same)) {
    return place_;
  }
  size_ = path.size();
  std::copy(path.begin(), path.end(), parts_.begin());
  place_ = RecordPlaceOf(path);
  return place_;
}

std::optional<Fp5Slot> SlotOfKey(const Fp5Key& key) {
  // The common form first: a field id as the key number itself.
  if (!key.isBytes) return key.number != 0 ? std::optional(Fp5Slot{key.number, 1}) : std::nullopt;
  if (IsOneByteKey(key, kBookkeepingKey)) return std::nullopt;
  const std::optional<KeyNumbers> numbers = NumbersOf(key);
  if (!numbers || numbers->first == 0 || numbers->first > kMaxField) return std::nullopt;
  const uint64_t repetition = numbers->second.value_or(1);
  if (repetition == 0 || repetition > kFp5MaxRepetitions) return std::nullopt;
  return Fp5Slot{static_cast<uint32_t>(numbers->first), static_cast<uint32_t>(repetition)};
}

std::optional<uint32_t> PieceOfKey(const Fp5Key& key) {
  if (IsOneByteKey(key, kLengthCheckKey)) return std::nullopt;
  const std::optional<KeyNumbers> numbers = NumbersOf(key);
  if (!numbers) return std::nullopt;
  // Keyed pieces: the key itself; two-VLI pieces: (0, n).
  const uint64_t piece =
      numbers->second ? (numbers->first == 0 ? *numbers->second : 0) : numbers->first;
  if (piece == 0 || piece > kMaxField) return std::nullopt;
  return static_cast<uint32_t>(piece);
}

std::optional<uint32_t> DeclaredLength(const Fp5Key& key, std::span<const uint8_t> value) {
  if (!IsOneByteKey(key, kLengthCheckKey) || value.size() != kLengthCheckSize) return std::nullopt;
  ByteCursor in(value, 1);
  return static_cast<uint32_t>(in.U32());
}

}  // namespace deep
