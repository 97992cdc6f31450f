// Long texts and binary data are stored as a sub-path whose values are consecutive pieces. In the
// plain form every piece has a non-zero key; in the declared-length form the first piece has key
// 0 and holds the total length as a 4-byte number.
#include <cstring>

#include "engine/fp7_engine.h"

namespace {

const uint8_t* PieceBytes(const CFMValue& piece, bool binary) {
  return binary ? piece.m_pRaw : reinterpret_cast<const uint8_t*>(piece.m_pText);
}

// A piece kept without its bytes (an impossible stored length) adds nothing.
uint32_t PieceLength(const CFMValue& piece, bool binary) {
  return PieceBytes(piece, binary) != nullptr ? piece.m_dwLength : 0;
}

uint32_t ReadDeclaredLength(const CFMValue& first) {
  if (first.m_pRaw == nullptr || first.m_dwLength < 4) return 0;
  const uint8_t* p = first.m_pRaw;
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Joins `pieces` into a new buffer of `room` bytes and a zero; null when a piece would overflow
// it or no memory can be had. `copied` receives the bytes joined.
Fp7HeapArray<uint8_t> JoinPieces(std::span<const CFMValue> pieces, bool binary, uint64_t room,
                                 uint32_t& copied) {
  Fp7HeapArray<uint8_t> buffer(static_cast<uint8_t*>(qrx::heap::AllocateZeroed(room + 1)));
  if (!buffer) return buffer;
  copied = 0;
  for (const CFMValue& piece : pieces) {
    const uint32_t length = PieceLength(piece, binary);
    if (length == 0) continue;
    if (copied + uint64_t{length} > room) return nullptr;
    std::memcpy(buffer.get() + copied, PieceBytes(piece, binary), length);
    copied += length;
  }
  return buffer;
}

}  // namespace

void CFMEngine::AssembleLongValue(uint16_t index, CFMValue& value, bool binary) {
  if (index >= chunks_.size() || !chunks_[index]->IsPush()) return;
  std::optional<CFMNode> node = GetNode(index, false, false);
  if (!node) return;
  const std::span<const CFMValue> pieces(node->m_Values);
  const CFMValue& first = pieces.front();

  Fp7HeapArray<uint8_t> buffer;
  uint32_t copied = 0;
  uint32_t declared = 0;
  uint32_t firstPieceKey = 0;
  if (first.m_dwKey != 0) {
    uint64_t total = 0;
    for (const CFMValue& piece : pieces) {
      if (piece.m_dwKey != 0) total += PieceLength(piece, binary);
    }
    if (total > 0) buffer = JoinPieces(pieces, binary, total, copied);
    if (PieceLength(first, binary) > 0) firstPieceKey = first.m_dwKey;
  } else {
    declared = ReadDeclaredLength(first);
    // Room for the pieces present, never for the whole declared length: the rest lies on other
    // pages, and the length is the page's word, not a promise.
    uint64_t present = 0;
    for (const CFMValue& piece : pieces.subspan(1)) present += PieceLength(piece, binary);
    if (declared > 0 && present <= declared) {
      buffer = JoinPieces(pieces.subspan(1), binary, present, copied);
    }
    if (pieces.size() > 1 && PieceLength(pieces[1], binary) > 0) firstPieceKey = pieces[1].m_dwKey;
  }
  if (!buffer) {
    value = CFMValue{};
    return;
  }
  value.m_dwKey = node->m_dwId;
  value.m_OwnedName = std::move(node->m_szName);
  value.m_pKeyBytes = value.m_OwnedName.get();
  value.m_bBinary = binary ? 1 : 0;
  value.m_bDeclaredText = (declared > 0 && !binary) ? 1 : 0;
  value.m_dwLength = copied;
  value.m_dwDeclaredLength = declared;
  value.m_dwFirstPieceKey = firstPieceKey;
  if (binary) {
    value.m_pRaw = buffer.get();
  } else {
    value.m_pText = reinterpret_cast<const char*>(buffer.get());
  }
  value.m_OwnedBuffer = std::move(buffer);
}
