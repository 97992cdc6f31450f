// One decoded chunk of an fp7 page: a path push, a path pop or a key/value pair.
//
// Chunk records, and the value bytes, key bytes and texts they point to, live in the page arena of
// the engine that decoded them: they are valid only until the next NextPage (or the engine's end).
#pragma once

#include <cstdint>

enum class Fp7ChunkKind : uint8_t {
  kPathPush = 2,
  kPathPop = 3,
  kKeyValue = 4,
  kUnset = 0xFF,
};

struct CFMChunk {
  Fp7ChunkKind m_nKind = Fp7ChunkKind::kUnset;
  // For a push: the position in the page's chunk list of the pop that closes the level it opens,
  // or 0xFFFF when the page leaves the level open. Set for the whole list by each ParsePage.
  uint16_t m_nLevelEnd = 0xFFFF;
  // A push's path id or a key/value's key; 0 when the key or path is named by key bytes.
  uint32_t m_dwId = 0;
  // Number of value bytes as the chunk declares them. A chunk kept without its bytes (an
  // impossible length, or no memory for them) has a length but no m_pValue.
  uint32_t m_dwLength = 0;
  // m_dwLength bytes copied from the page and one zero byte; null when there are none.
  uint8_t* m_pValue = nullptr;
  // A key or path name given as bytes, zero-terminated; null when the chunk has a numeric id.
  const char* m_pKeyBytes = nullptr;
  // The decoded value text, made on first request by CFMEngine::GetText.
  char* m_pText = nullptr;

  bool IsPush() const { return m_nKind == Fp7ChunkKind::kPathPush; }
  bool IsPop() const { return m_nKind == Fp7ChunkKind::kPathPop; }
  bool IsKeyValue() const { return m_nKind == Fp7ChunkKind::kKeyValue; }
};
