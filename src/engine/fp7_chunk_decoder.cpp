#include "engine/fp7_chunk_decoder.h"

namespace {

// The key part of a chunk: its numeric id or its key bytes, and the offset where it ends.
struct KeyPart {
  bool valid = true;
  uint32_t id = 0;
  uint32_t end = 1;
  const uint8_t* bytes = nullptr;
  uint32_t byteCount = 0;
};

bool IsId2Lead(uint8_t b1) {
  return b1 >= 0x80 && b1 <= 0xBF;
}

uint32_t Id2(Fp7ByteReader& r) {
  return ((static_cast<uint32_t>(r.U8(1) & 0x3F) << 8) | r.U8(2)) + 128;
}

// The key of opcode 0x17. Its t can come out negative for h below 8; the key then wraps modulo
// 2^32 like the unsigned arithmetic of the stored form.
uint32_t K3(Fp7ByteReader& r) {
  const int h = r.U8(1) >> 4;
  const int t = (h & 4) != 0 ? (h & 3) * 256 + 4 : h - 8;
  return static_cast<uint32_t>(r.U16(2)) + 4096u * static_cast<uint32_t>(t) + 128u;
}

KeyPart ReadPathName(Fp7ByteReader& r) {
  KeyPart key;
  const uint32_t n = r.U8(1);
  key.end = n + 2;
  if (n >= 5 && r.U8(n + 2) == 0x80) {
    key.id = 0xFFFFFFFF;
    return key;
  }
  const uint8_t first = r.U8(2);
  if (first < 0xE0) {
    key.bytes = r.Bytes(2, n);
    key.byteCount = n;
  } else {
    const uint32_t base = (first >> 4) == 14 ? 0x204080 : 0x304080;
    key.id = (r.U32(2) & 0x0FFFFFFF) + base;
  }
  return key;
}

KeyPart ReadKey(Fp7KeyForm form, Fp7ByteReader& r) {
  KeyPart key;
  switch (form) {
    case Fp7KeyForm::kNone:
      break;
    case Fp7KeyForm::kByte1:
      key.id = r.U8(1);
      key.end = 2;
      break;
    case Fp7KeyForm::kByte2:
      key.id = r.U8(2);
      key.end = 3;
      break;
    case Fp7KeyForm::kId2:
      key.valid = IsId2Lead(r.U8(1));
      key.id = key.valid ? Id2(r) : 0;
      key.end = 3;
      break;
    case Fp7KeyForm::kId2OrByte1:
      if (IsId2Lead(r.U8(1))) {
        key.id = Id2(r);
        key.end = 3;
      } else {
        key.id = r.U8(1);
        key.end = 2;
      }
      break;
    case Fp7KeyForm::kId2OrByte2:
      key.id = IsId2Lead(r.U8(1)) ? Id2(r) : r.U8(2);
      key.end = 3;
      break;
    case Fp7KeyForm::kByte1OrWide12:
      key.id = r.U8(1) < 0x80 ? r.U8(1) : (r.U16(1) & 0xFFFu) + 128;
      key.end = 3;
      break;
    case Fp7KeyForm::kId2PlusByte3:
      key.valid = IsId2Lead(r.U8(1));
      key.id = key.valid ? Id2(r) + r.U8(3) : 0;
      key.end = 4;
      break;
    case Fp7KeyForm::kK3:
      key.id = K3(r);
      key.end = 4;
      break;
    case Fp7KeyForm::kId3:
      key.valid = r.U8(1) >= 0xC0;
      key.id = key.valid ? (r.U24(1) & 0x3FFFFF) + 16512 : 0;
      key.end = 4;
      break;
    case Fp7KeyForm::kKeyBytes:
      key.byteCount = r.U8(1);
      key.valid = key.byteCount > 0;
      key.bytes = key.valid ? r.Bytes(2, key.byteCount) : nullptr;
      key.end = key.byteCount + 2;
      break;
    case Fp7KeyForm::kPathName:
      key = ReadPathName(r);
      break;
  }
  return key;
}

Fp7ChunkKind KindOf(Fp7RowAction action) {
  switch (action) {
    case Fp7RowAction::kPathPush:
      return Fp7ChunkKind::kPathPush;
    case Fp7RowAction::kPathPop:
      return Fp7ChunkKind::kPathPop;
    default:
      return Fp7ChunkKind::kKeyValue;
  }
}

uint32_t SkipLength(const Fp7OpcodeRow& row, Fp7ByteReader& r) {
  switch (row.value) {
    case Fp7ValueForm::kFillsChunk:
      return row.size;
    case Fp7ValueForm::kCountedSkip:
      return r.U8(1) + uint32_t{row.size};
    default:
      return 1;
  }
}

// Fills the value part of `step` for a chunk whose key part is `key`.
void ReadValue(const Fp7OpcodeRow& row, const KeyPart& key, Fp7ByteReader& r, Fp7Step& step) {
  uint32_t at = key.end;  // first value byte
  uint32_t length = 0;
  switch (row.value) {
    case Fp7ValueForm::kNone:
    case Fp7ValueForm::kCountedSkip:
      break;
    case Fp7ValueForm::kFillsChunk:
      length = row.size > key.end ? row.size - key.end : 0;
      break;
    case Fp7ValueForm::kFixed:
      length = row.size;
      break;
    case Fp7ValueForm::kLength8:
    case Fp7ValueForm::kLength16: {
      const bool wide = row.value == Fp7ValueForm::kLength16;
      length = wide ? r.U16(key.end) : r.U8(key.end);
      at = key.end + (wide ? 2 : 1);
      const bool refused = (length == 0 && row.badLength != Fp7BadLength::kAccepted) ||
                           (wide && length > kMaxLength16);
      if (refused) {
        step.advance = row.badLengthAdvance + key.byteCount;
        if (row.badLength != Fp7BadLength::kKeptWithoutValue) {
          step.result = Fp7StepResult::kNoChunk;
          return;
        }
        step.chunk.length = length;
        return;
      }
      break;
    }
  }
  step.chunk.length = length;
  step.chunk.value = length > 0 ? r.Bytes(at, length) : nullptr;
  step.advance = at + length;
}

}  // namespace

Fp7Step DecodeChunk(const Fp7OpcodeRow& row, Fp7ByteReader& reader) {
  Fp7Step step;
  if (row.action == Fp7RowAction::kSkip) {
    step.advance = SkipLength(row, reader);
  } else {
    const KeyPart key = ReadKey(row.key, reader);
    if (!key.valid) {
      step.advance = row.badKeyAdvance;
    } else {
      step.result = Fp7StepResult::kChunk;
      step.chunk.kind = KindOf(row.action);
      step.chunk.id = key.id;
      step.chunk.keyBytes = key.bytes;
      step.chunk.keyByteCount = key.byteCount;
      step.advance = key.end;
      if (row.action == Fp7RowAction::kKeyValue) ReadValue(row, key, reader, step);
    }
  }
  if (!reader.ok()) step.result = Fp7StepResult::kPastBuffer;
  return step;
}
