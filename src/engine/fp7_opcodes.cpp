#include "engine/fp7_opcodes.h"

namespace {

using Action = Fp7RowAction;
using Key = Fp7KeyForm;
using Value = Fp7ValueForm;
using Bad = Fp7BadLength;

constexpr Fp7OpcodeRow KeyValue(Key key, Value value, uint8_t size, uint8_t badKeyAdvance = 1) {
  return {Action::kKeyValue, key, value, size, Bad::kDropped, badKeyAdvance, 1};
}
constexpr Fp7OpcodeRow Counted(Key key, Value value, Bad badLength, uint8_t badKeyAdvance = 1,
                               uint8_t badLengthAdvance = 1) {
  return {Action::kKeyValue, key, value, 0, badLength, badKeyAdvance, badLengthAdvance};
}
constexpr Fp7OpcodeRow Push(Key key, uint8_t badKeyAdvance = 1) {
  return {Action::kPathPush, key, Value::kNone, 0, Bad::kDropped, badKeyAdvance, 1};
}
constexpr Fp7OpcodeRow Skip(Value value, uint8_t size) {
  return {Action::kSkip, Key::kNone, value, size, Bad::kDropped, 1, 1};
}

constexpr Fp7OpcodeTable MakeStrictTable() {
  Fp7OpcodeTable t{};
  t[0x00] = KeyValue(Key::kByte1, Value::kFillsChunk, 2);
  t[0x01] = KeyValue(Key::kByte1, Value::kFillsChunk, 3);
  t[0x08] = t[0x01];
  t[0x02] = KeyValue(Key::kByte1, Value::kFillsChunk, 4);
  t[0x03] = KeyValue(Key::kByte1, Value::kFillsChunk, 6);
  t[0x04] = KeyValue(Key::kByte1, Value::kFillsChunk, 8);
  t[0x05] = KeyValue(Key::kByte1, Value::kFillsChunk, 10);
  t[0x06] = Counted(Key::kByte1, Value::kLength8, Bad::kKeptWithoutValue);
  t[0x07] = Counted(Key::kByte1, Value::kLength16, Bad::kDropped);
  t[0x09] = KeyValue(Key::kId2OrByte1, Value::kFillsChunk, 4);
  t[0x0A] = KeyValue(Key::kId2, Value::kFillsChunk, 5, 5);
  t[0x0B] = KeyValue(Key::kId2, Value::kFillsChunk, 7, 7);
  t[0x0C] = KeyValue(Key::kId2, Value::kFillsChunk, 9, 9);
  t[0x0D] = KeyValue(Key::kId2, Value::kFillsChunk, 11, 11);
  t[0x0E] = Counted(Key::kByte1OrWide12, Value::kLength8, Bad::kDropped);
  t[0x0F] = Counted(Key::kId2OrByte2, Value::kLength16, Bad::kDropped);
  t[0x12] = Skip(Value::kFillsChunk, 47);
  t[0x15] = KeyValue(Key::kId2, Value::kFillsChunk, 12, 12);
  t[0x16] = Counted(Key::kId2PlusByte3, Value::kLength8, Bad::kAccepted, 12);
  t[0x17] = Counted(Key::kK3, Value::kLength16, Bad::kKeptWithoutValue);
  t[0x1A] = Skip(Value::kCountedSkip, 4);
  t[0x1B] = KeyValue(Key::kKeyBytes, Value::kFixed, 4, 2);
  t[0x1D] = KeyValue(Key::kKeyBytes, Value::kFixed, 8, 2);
  // A refused length skips the key bytes, the length and (0x1E) one byte more.
  t[0x1E] = Counted(Key::kKeyBytes, Value::kLength8, Bad::kDropped, 2, 4);
  t[0x1F] = Counted(Key::kKeyBytes, Value::kLength16, Bad::kDropped, 2, 4);
  t[0x20] = Push(Key::kByte1);
  t[0x28] = Push(Key::kId2OrByte2);
  t[0x30] = Push(Key::kId3);
  t[0x38] = Push(Key::kPathName);
  t[0x40] = {Action::kPathPop, Key::kNone, Value::kNone, 0, Bad::kDropped, 1, 1};
  t[0x80] = Skip(Value::kNone, 0);
  t[0xE8] = Push(Key::kByte2);
  return t;
}

}  // namespace

const Fp7OpcodeTable kFp7StrictOpcodes = MakeStrictTable();
